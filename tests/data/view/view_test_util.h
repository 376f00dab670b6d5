// Helpers of the VIEW engine tests: a scratch working directory (the note tables name their data
// file "plk" relative to it), a driver that counts the calls reaching the Kestrune driver, and
// notes written and read by value.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"
#include "runtime/values/accessor.h"
#include "tests/support/note_fixture.h"
#include "tests/support/scratch_dir.h"

namespace pellucor::data::view::test {

namespace nr = testsupport::note_record;
using testsupport::MakeArchiveTable;
using testsupport::MakeNotesTable;

using testsupport::ScratchCwd;

class CountingDriver : public Driver {
 public:
  std::string_view Name() const override { return target().Name(); }
  std::string_view ProfileSection() const override { return target().ProfileSection(); }
  std::string_view DefaultTraceFile() const override { return target().DefaultTraceFile(); }
  int32_t CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state) override {
    return target().CreateState(block, state);
  }
  OpResult Handle(FileBlock& block, Op op, OpArgs& args) override {
    ++counts_[static_cast<size_t>(op)];
    ++total_;
    return target().Handle(block, op, args);
  }
  uint64_t Count(Op op) const { return counts_[static_cast<size_t>(op)]; }
  uint64_t Reads() const { return Count(Op::kNEXT) + Count(Op::kPREVIOUS); }
  uint64_t Total() const { return total_; }
  void Reset() {
    counts_.fill(0);
    total_ = 0;
  }

 private:
  static KestruneDriver& target() { return KestruneDriverInstance(); }
  std::array<uint64_t, 256> counts_{};
  uint64_t total_ = 0;
};

// A note by value; dates are day numbers (0 for none).
struct Note {
  std::string topic;
  char reminder = 'N';
  int32_t note_date = 0;
  int32_t reminder_date = 0;
  std::string memo;
  char done = 'N';
};

inline void SetDate(uint8_t* p, int32_t day_number) {
  auto a = runtime::AccessorFactory(runtime::TypeCode::kDate, p, 4);
  a->SetInteger(day_number);
}
inline int32_t GetDate(uint8_t* p) {
  auto a = runtime::AccessorFactory(runtime::TypeCode::kDate, p, 4);
  return a->GetInteger();
}
inline std::string Trimmed(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

inline void Fill(FileDecl& f, const Note& n) {
  uint8_t* r = f.RecordBuffer();
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(), std::min<size_t>(n.topic.size(), 60));
  r[nr::kReminderOffset] = static_cast<uint8_t>(n.reminder);
  SetDate(r + nr::kNoteDateOffset, n.note_date);
  SetDate(r + nr::kReminderDateOffset, n.reminder_date);
  std::memcpy(r + nr::kMainMemoOffset, n.memo.data(), std::min<size_t>(n.memo.size(), 5050));
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

inline Note Read(FileDecl& f) {
  uint8_t* r = f.RecordBuffer();
  Note n;
  n.topic = Trimmed(r + nr::kTopicOffset, 60);
  n.reminder = static_cast<char>(r[nr::kReminderOffset]);
  n.note_date = GetDate(r + nr::kNoteDateOffset);
  n.reminder_date = GetDate(r + nr::kReminderDateOffset);
  n.memo = Trimmed(r + nr::kMainMemoOffset, 5050);
  n.done = static_cast<char>(r[nr::kDoneOffset]);
  return n;
}

inline int32_t OpenOrCreate(FileDecl& f) {
  OpArgs a;
  a.mode = 0x22;
  int32_t e = Dispatch(f, Op::kOPEN, a).error;
  if (e == runtime::err::kFileNotFound) {
    OpArgs c;
    c.mode = 0x22;
    if ((e = Dispatch(f, Op::kCREATE, c).error) != 0) return e;
    OpArgs o;
    o.mode = 0x22;
    e = Dispatch(f, Op::kOPEN, o).error;
  }
  return e;
}

inline int32_t Add(FileDecl& f, const Note& n) {
  Fill(f, n);
  return Dispatch(f, Op::kADD).error;
}

// Many adds in one go: the driver commits once at the end (STREAM ... FLUSH).
class Bulk {
 public:
  explicit Bulk(FileDecl& f) : f_(f) { EXPECT_EQ(Dispatch(f_, Op::kSTREAM).error, 0); }
  ~Bulk() { EXPECT_EQ(Dispatch(f_, Op::kFLUSH).error, 0); }
  Bulk(const Bulk&) = delete;
  Bulk& operator=(const Bulk&) = delete;

 private:
  FileDecl& f_;
};

inline int32_t Today() {
  auto tree = runtime::expr::CompileExpression("today()");
  return tree ? runtime::expr::EvaluateInteger(*tree) : 0;
}

// The rows of a view read forwards to the end, by memo (each test note's memo is unique).
inline std::vector<std::string> ReadForward(View& v, FileDecl& f) {
  std::vector<std::string> out;
  while (v.Next() == 0) out.push_back(Read(f).memo);
  EXPECT_EQ(runtime::ErrorCode(), runtime::err::kRecordNotAvailable);
  return out;
}

}  // namespace pellucor::data::view::test
