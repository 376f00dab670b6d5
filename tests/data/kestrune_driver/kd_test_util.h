// Helpers of the Kestrune driver tests: the scratch working directory (the note tables name their
// file "plk" relative to it) and the second program of tests/support, note records, and calls of
// the driver entry that read like the file statements.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/pagefile/checker.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "tests/support/child_process.h"
#include "tests/support/note_fixture.h"
#include "tests/support/scratch_dir.h"

namespace pellucor::data::kdtest {

namespace nr = testsupport::note_record;
using testsupport::MakeArchiveTable;
using testsupport::MakeNotesTable;

using testsupport::ScratchCwd;

// The second program of the sharing tests: this binary again, running KdChild.Run in the role.
class Child : public testsupport::ChildProgram {
 public:
  explicit Child(const std::string& role, const std::vector<std::string>& env = {})
      : ChildProgram("KdChild.Run", role, env) {}
};
using testsupport::ChildIn;
using testsupport::ChildOut;
using testsupport::ReadLine;
using testsupport::WriteLine;

struct Note {
  // Dates as day, month, year; 0 0 0 is no date.
  Note(std::string topic_ = "", char reminder_ = 'N', int nd = 0, int nm = 0, int ny = 0,
       int rd = 0, int rm = 0, int ry = 0, std::string memo_ = "", char done_ = 'N')
      : topic(std::move(topic_)),
        reminder(reminder_),
        note_day(nd),
        note_month(nm),
        note_year(ny),
        rem_day(rd),
        rem_month(rm),
        rem_year(ry),
        memo(std::move(memo_)),
        done(done_) {}
  std::string topic;
  char reminder;
  int note_day, note_month, note_year;
  int rem_day, rem_month, rem_year;
  std::string memo;
  char done;
};

inline void PutDate(uint8_t* p, int day, int month, int year) {
  p[0] = static_cast<uint8_t>(day);
  p[1] = static_cast<uint8_t>(month);
  p[2] = static_cast<uint8_t>(year & 0xFF);
  p[3] = static_cast<uint8_t>(year >> 8);
}

inline void FillNote(FileDecl& decl, const Note& n) {
  uint8_t* r = decl.RecordBuffer();
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(),
              std::min<size_t>(n.topic.size(), nr::kTopicSize));
  r[nr::kReminderOffset] = static_cast<uint8_t>(n.reminder);
  PutDate(r + nr::kNoteDateOffset, n.note_day, n.note_month, n.note_year);
  PutDate(r + nr::kReminderDateOffset, n.rem_day, n.rem_month, n.rem_year);
  std::memcpy(r + nr::kMainMemoOffset, n.memo.data(),
              std::min<size_t>(n.memo.size(), nr::kMainMemoSize));
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

inline std::string Topic(FileDecl& decl) {
  std::string t(reinterpret_cast<const char*>(decl.RecordBuffer()), nr::kTopicSize);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

inline int32_t Call(FileDecl& f, Op op) {
  return Dispatch(f, op).error;
}
inline int32_t Open(FileDecl& f, int32_t mode = 0x22) {
  OpArgs a;
  a.mode = mode;
  return Dispatch(f, Op::kOPEN, a).error;
}
inline int32_t Create(FileDecl& f) {
  OpArgs a;
  a.mode = 0x22;
  return Dispatch(f, Op::kCREATE, a).error;
}
// Opens, creating the file or table when it is missing (what the file manager does).
inline int32_t OpenOrCreate(FileDecl& f, int32_t mode = 0x22) {
  int32_t e = Open(f, mode);
  if (e == runtime::err::kFileNotFound) {
    if ((e = Create(f)) != 0) return e;
    e = Open(f, mode);
  }
  return e;
}
inline int32_t KeyOp(FileDecl& f, Op op, size_t key) {
  OpArgs a;
  a.key = f.Key(key);
  return Dispatch(f, op, a).error;
}
inline int64_t Records(FileDecl& f) {
  return Dispatch(f, Op::kRECORDSfile).value;
}
inline int64_t KeyRecords(FileDecl& f, size_t key) {
  OpArgs a;
  a.key = f.Key(key);
  return Dispatch(f, Op::kRECORDSkey, a).value;
}
inline uint32_t Pointer(FileDecl& f) {
  return static_cast<uint32_t>(Dispatch(f, Op::kPOINTERfile).value);
}
inline int32_t GetPtr(FileDecl& f, uint32_t ptr) {
  OpArgs a;
  a.pointer = ptr;
  return Dispatch(f, Op::kGETfileptr, a).error;
}
inline std::string Send(FileDecl& f, const std::string& text) {
  OpArgs a;
  a.text = text;
  return Dispatch(f, Op::kSEND, a).text;
}

// The structural check of a file on disk, opened read-only beside the driver.
inline std::string CheckFile(const std::string& path) {
  pagefile::OpenOptions o;
  o.mode = pagefile::OpenMode::kReadOnly;
  auto pf = pagefile::PageFile::Open(path, o);
  if (!pf) return "cannot open " + path;
  if (!pf->CheckHeader(pagefile::LogHandling::kReadThrough)) return "header";
  auto report = pagefile::CheckPageFile(pf.get());
  return report.sound() ? std::string() : report.Text();
}

}  // namespace pellucor::data::kdtest
