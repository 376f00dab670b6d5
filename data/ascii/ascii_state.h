// What the ASCII driver keeps per open file, beyond the driver file block: the buffered file, the
// current line and the next position, the line format and the switches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/ascii/line_file.h"
#include "data/driver/driver.h"

namespace pellucor::data::ascii {

// The switches of an open file.
namespace switch_bit {
inline constexpr uint32_t kCurrent = 0x01;      // a line is current (read or written)
inline constexpr uint32_t kShared = 0x02;       // opened denying nothing: writes take the lock
inline constexpr uint32_t kReadOnly = 0x04;     // access bits 0
inline constexpr uint32_t kQuickScan = 0x08;    // reads served from the read-ahead buffer
inline constexpr uint32_t kCtrlZNotEnd = 0x20;  // CTRLZISEOF is OFF: Ctrl-Z is data
}  // namespace switch_bit

struct AsciiFileState : DriverFileState {
  std::unique_ptr<LineFile> file;  // null while closed
  uint64_t file_size = 0;          // bytes; taken again before reads that must see others' work
  uint64_t current_start = 0;      // offset of the current line
  uint64_t current_length = 0;     // its stored length, terminator included
  uint64_t next_position = 0;      // where NEXT reads
  uint32_t switches = 0;           // switch_bit
  bool clip = true;                // written records lose their trailing blanks
  int32_t tab = 8;
  std::string terminator = "\r\n";
  size_t buffer_size = 512;  // the read buffer in bytes (FILEBUFFERS answers it)
  bool appended = false;     // the first append since the open has been made
  // What BYTES answers after a read or write: the characters the line gave (or the record bytes
  // written, terminator excluded); -1 before the first since the open, when BYTES answers the
  // file size.
  int64_t last_record_bytes = -1;
  // Options that SEND set while the file was closed, applied again at the next OPEN.
  std::vector<std::string> sent_while_closed;

  bool CtrlZIsEof() const { return (switches & switch_bit::kCtrlZNotEnd) == 0; }
  bool QuickScan() const { return (switches & switch_bit::kQuickScan) != 0; }

  LineFormat Format() const { return LineFormat{terminator, tab, CtrlZIsEof()}; }
};

// Applies one option text ("TAB=-100", "CLIP", " quickscan = off ") to the state and returns the
// option's value in force, as text. Unknown options and values that do not parse change nothing;
// an unknown option answers "".
std::string ApplyOption(AsciiFileState& state, std::string_view option, uint32_t record_length);

// The read buffer's size for FILEBUFFERS n: n x 512 bytes, never less than the record length;
// 0 when n is not a usable count.
size_t BufferSizeFor(int64_t blocks, uint32_t record_length);

// Line operations on an open file (records.cpp). Each returns 0 or the error of the operation.

// Reads the line at `offset` into the first `length` bytes of the record buffer and makes it
// current; the next line follows it.
[[nodiscard]] int32_t ReadRecordAt(FileBlock& block, AsciiFileState& state, uint64_t offset,
                                   uint32_t length);

// Writes the first `length` bytes of the record buffer as a new line at the end of the file.
[[nodiscard]] int32_t AppendRecord(FileBlock& block, AsciiFileState& state, uint32_t length);

// Where the sequence goes on after a line is rewritten in place.
enum class AfterPut : uint8_t {
  kKeepSequence,  // PUT: the next line is the one that followed the line before it was written
  kFollowLine,    // PUTfileptr: the next line is the one after the line just written
};
// Rewrites the line at `offset` (REQUIRES: offset <= the file size) from the first `length`
// bytes of the record buffer; it becomes the current line.
[[nodiscard]] int32_t PutRecordAt(FileBlock& block, AsciiFileState& state, uint64_t offset,
                                  uint32_t length, AfterPut after);

// EOF: whether no line follows the current one (a Ctrl-Z there ends the file too). Returns 0 and
// sets *at_end, or an error.
[[nodiscard]] int32_t AtEndOfFile(AsciiFileState& state, bool* at_end);

// Takes the file size again (a file others may change, or before an append).
[[nodiscard]] int32_t RefreshSize(AsciiFileState& state);

}  // namespace pellucor::data::ascii
