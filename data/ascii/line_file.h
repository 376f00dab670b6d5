// The buffered file object of the ASCII driver: one open text file, a read-ahead buffer, and the
// depth of the one-byte file lock. Lines are read out of it and written into it here.
//
// Reading a line at a position:
//   - the record is filled with blanks;
//   - a Ctrl-Z as the line's first byte (with CTRLZISEOF on) means there is no line: 33;
//   - bytes are copied until the terminator, a Ctrl-Z (CTRLZISEOF on) or the end of the file; a
//     tab expands by the TAB value; what does not fit in the record is read past, so that the
//     next line starts after the terminator;
//   - the stored length counts every byte of the line and its terminator (not a Ctrl-Z that
//     ended it: the next read meets that Ctrl-Z and ends the file).
// A lone byte that only begins the terminator (a CR without LF for CR LF) is data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace pellucor::data::ascii {

inline constexpr uint8_t kCtrlZ = 26;
inline constexpr uint8_t kTab = 9;
inline constexpr int32_t kKeepTabs = -100;  // the TAB value that keeps a tab as data
inline constexpr size_t kMaxTerminator = 32;
inline constexpr size_t kMinBuffer = 512;

struct LineFormat {
  std::string_view terminator;  // 1 to kMaxTerminator bytes
  int32_t tab = 8;
  bool ctrl_z_is_eof = true;
};

struct LineRead {
  uint64_t stored_length = 0;  // bytes of the line in the file, terminator included
  uint32_t characters = 0;     // bytes placed in the record before its blank padding
};

class LineFile {
 public:
  explicit LineFile(std::unique_ptr<platform::File> file);

  platform::File& file() { return *file_; }

  // The read buffer; at least kMinBuffer bytes. Changing it drops what it holds.
  void SetBufferSize(size_t bytes);
  size_t buffer_size() const { return buffer_.size(); }
  // Drops what the buffer holds, so that the next read goes to the disk.
  void Invalidate() { held_ = 0; }

  // The bytes from `offset` on, as far as the buffer holds them: at least `wanted` bytes unless
  // the file ends sooner (*at_end then tells that the bytes run to the end of the file). An
  // empty answer with *at_end is the end of the file. REQUIRES: wanted <= buffer_size().
  platform::Status Window(uint64_t offset, size_t wanted, std::string_view* bytes, bool* at_end);

  // Reads the line at `offset` into record[0, length). Returns 0, 33 (no line there) or 300
  // plus the system error of a failed read.
  [[nodiscard]] int32_t ReadLine(uint64_t offset, const LineFormat& format, uint8_t* record,
                                 uint32_t length, LineRead* read);

  // Writes `line` and then the terminator at `offset`. Returns 0 or 300 plus the system error.
  [[nodiscard]] int32_t WriteLine(uint64_t offset, std::string_view line,
                                  std::string_view terminator);

  // The file lock: one exclusive byte at offset 0, counted so that nested takers share it. Take
  // answers 0, 32 when another open holds it, or 300 plus a system error; Release answers 0 or
  // 300 plus a system error. REQUIRES for Release: depth() > 0.
  [[nodiscard]] int32_t TakeLock();
  [[nodiscard]] int32_t ReleaseLock();
  int lock_depth() const { return lock_depth_; }

 private:
  std::unique_ptr<platform::File> file_;
  std::vector<uint8_t> buffer_;
  uint64_t start_ = 0;        // file offset of buffer_[0]
  size_t held_ = 0;           // valid bytes in buffer_
  bool held_to_end_ = false;  // the held bytes run to the end of the file
  int lock_depth_ = 0;
};

}  // namespace pellucor::data::ascii
