// Reads an arbitrary file through the ASCII driver: open, SET, NEXT until the end, PREVIOUS a few
// times, and lines read again by pointer and by position. The first bytes of the input pick the
// record length and the options (terminator, tabs, Ctrl-Z, buffer size, quick scan); the rest is
// the file. Besides not crashing: the sequence ends, every line starts after the one before it,
// and a line read again by its position reads the same.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "data/ascii/ascii_driver.h"
#include "data/driver/declaration.h"
#include "data/driver/driver.h"

namespace d = pellucor::data;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string FilePath() {
  const char* base = std::getenv("TMPDIR");
  return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pellucor-fuzz-ascii-" +
         std::to_string(::getpid()) + ".txt";
}

std::string Options(const uint8_t* p) {
  static const char* const kTerminators[] = {"2,13,10", "1,10", "1,13", "3,13,10,0", "1,26"};
  static const int kTabs[] = {8, -100, 0, -1, 1, 3, -7, 32767};
  std::string s = "/ENDOFRECORD=" + std::string(kTerminators[p[0] % 5]);
  s += "/TAB=" + std::to_string(kTabs[(p[0] >> 3) % 8]);
  s += (p[1] & 1) ? "/CTRLZISEOF=OFF" : "/CTRLZISEOF=ON";
  s += (p[1] & 2) ? "/QUICKSCAN=OFF" : "";
  s += "/FILEBUFFERS=" + std::to_string(1 + (p[1] >> 2) % 4);
  if (p[1] & 0x80) s += "/TAB=/ENDOFRECORD=9,1/FILEBUFFERS=-5/junk";  // bad values change nothing
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    ::setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-fuzz-system.ini", 1);
    return true;
  }();
  (void)quiet;
  if (size < 3) return 0;
  const uint32_t record_length = 1 + data[2] % 96;
  const std::string path = FilePath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 3), static_cast<std::streamsize>(size - 3));
  }
  d::DeclarationBuilder builder("Fuzz", "FZ", &d::AsciiDriverInstance());
  builder.Name(path).DriverString(Options(data)).String("LINE", record_length);
  if (data[1] & 0x40) builder.Attributes(d::decl_attr::kOem);
  auto decl = builder.Build();

  d::OpArgs open;
  open.mode = (data[1] & 0x20) ? 0x40 : 0x20;
  Check(d::Dispatch(*decl, d::Op::kOPEN, open).error == 0);
  Check(d::Dispatch(*decl, d::Op::kSETfile).error == 0);
  int64_t previous_pointer = 0;
  std::string first_position, first_record;
  size_t lines = 0;
  for (;;) {
    const int32_t e = d::Dispatch(*decl, d::Op::kNEXT).error;
    if (e != 0) {
      Check(e == 33);
      break;
    }
    ++lines;
    Check(lines <= size);  // every line takes at least one byte
    const int64_t pointer = d::Dispatch(*decl, d::Op::kPOINTERfile).value;
    Check(pointer > previous_pointer && pointer <= static_cast<int64_t>(size - 3));
    previous_pointer = pointer;
    if (lines == 1) {
      first_position = d::Dispatch(*decl, d::Op::kPOSITIONfile).text;
      first_record.assign(reinterpret_cast<const char*>(decl->RecordBuffer()), record_length);
    }
    (void)d::Dispatch(*decl, d::Op::kEOF);
    (void)d::Dispatch(*decl, d::Op::kBYTES);
  }
  // The end of the sequence ended the sequence; PREVIOUS reaches the driver only in a new one.
  for (int i = 0; i < 3; ++i) {
    Check(d::Dispatch(*decl, d::Op::kSETfile).error == 0);
    const bool ended = i > 0 && d::Dispatch(*decl, d::Op::kNEXT).error != 0;
    const int32_t e = d::Dispatch(*decl, d::Op::kPREVIOUS).error;
    Check(e == 80 || (ended && e == 33));
  }
  if (lines > 0) {
    d::OpArgs reget;
    reget.position = first_position;
    Check(d::Dispatch(*decl, d::Op::kREGETfile, reget).error == 0);
    Check(std::memcmp(decl->RecordBuffer(), first_record.data(), record_length) == 0);
  }
  d::OpArgs by_pointer;
  by_pointer.pointer = 1 + (size > 3 ? data[size - 1] % (size - 3) : 0);
  by_pointer.length = record_length;
  const int32_t e = d::Dispatch(*decl, d::Op::kGETfileptrlen, by_pointer).error;
  Check(e == 0 || e == 33);
  Check(d::Dispatch(*decl, d::Op::kCLOSE).error == 0);
  ::unlink(path.c_str());
  return 0;
}
