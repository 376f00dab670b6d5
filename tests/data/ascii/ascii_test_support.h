// What the ASCII driver's tests share: a text file in a fresh directory, declared as a FILE with
// one STRING field, and short ways to run operations on it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "data/ascii/ascii_driver.h"
#include "data/driver/declaration.h"
#include "data/driver/driver.h"
#include "runtime/core/error_state.h"
#include "tests/platform/temp_dir.h"

namespace pellucor::data::testing {

using platform::testing::ReadWholeFile;
using platform::testing::WriteWholeFile;

inline constexpr int32_t kReadDenyWrite = 0x20;  // read only, deny write
inline constexpr int32_t kReadWriteDenyWrite = 0x22;
inline constexpr int32_t kReadWriteDenyAll = 0x12;
inline constexpr int32_t kReadWriteDenyNone = 0x42;
inline constexpr int32_t kReadDenyNone = 0x40;

// Keeps the trace switches of the real system profile out of the tests.
inline void UseNoSystemProfile() {
  ::setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-ascii-test-system.ini", 1);
}

struct TextFile {
  std::unique_ptr<FileDecl> decl;

  TextFile(const std::string& path, uint32_t record_length, std::string driver_string = {},
           uint8_t attributes = decl_attr::kCreate) {
    DeclarationBuilder b("Lines", "LIN", &AsciiDriverInstance());
    b.Name(path).Attributes(attributes).String("LINE", record_length);
    if (!driver_string.empty()) b.DriverString(driver_string);
    decl = b.Build();
  }
  ~TextFile() {
    if (decl->Block() != nullptr && (decl->Block()->state & state_bit::kOpen)) Op(Op::kCLOSE);
  }

  int32_t Op(data::Op op) { return Dispatch(*decl, op).error; }
  int32_t Op(data::Op op, OpArgs& args) { return Dispatch(*decl, op, args).error; }
  int32_t Open(int32_t mode) {
    OpArgs a;
    a.mode = mode;
    return Dispatch(*decl, Op::kOPEN, a).error;
  }
  std::string Send(const std::string& text) {
    OpArgs a;
    a.text = text;
    return Dispatch(*decl, Op::kSEND, a).text;
  }
  uint32_t Length() const { return decl->record_length; }
  std::string Record() {
    return std::string(reinterpret_cast<char*>(decl->RecordBuffer()), Length());
  }
  // The record without its blank padding.
  std::string Line() {
    std::string r = Record();
    const size_t last = r.find_last_not_of(' ');
    r.resize(last == std::string::npos ? 0 : last + 1);
    return r;
  }
  void SetRecord(const std::string& text) {
    std::string r = text;
    r.resize(Length(), ' ');
    std::copy(r.begin(), r.end(), decl->RecordBuffer());
  }
  int32_t Add(const std::string& text) {
    SetRecord(text);
    return Op(Op::kADD);
  }
  // Every line from the start, until NEXT fails; *last gets the failing error.
  std::vector<std::string> ReadAll(int32_t* last = nullptr) {
    std::vector<std::string> lines;
    if (Op(Op::kSETfile) != 0) return lines;
    int32_t e = 0;
    while ((e = Op(Op::kNEXT)) == 0) lines.push_back(Line());
    if (last != nullptr) *last = e;
    return lines;
  }
  int64_t Value(data::Op op) { return Dispatch(*decl, op).value; }
};

}  // namespace pellucor::data::testing
