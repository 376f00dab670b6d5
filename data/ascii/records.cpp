// Reading and writing the lines of an open text file.
#include <algorithm>
#include <string>

#include "data/ascii/ascii_state.h"
#include "platform/codepage.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::ascii {
namespace {

namespace err = runtime::err;

// Holds the file lock for one write in an open that denies nothing, unless the program holds it
// already (then the depth only goes up and down again, and LOCKfile's lock stays).
class WriteLock {
 public:
  explicit WriteLock(AsciiFileState& state) : state_(state) {
    if (!(state.switches & switch_bit::kShared)) return;
    const int32_t e = state.file->TakeLock();
    if (e == err::kFileLocked) {
      error_ = err::kAccessDenied;  // another program holds the lock
    } else {
      error_ = e;
    }
    taken_ = e == 0;
  }
  ~WriteLock() {
    if (taken_) (void)state_.file->ReleaseLock();
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;
  int32_t error() const { return error_; }

 private:
  AsciiFileState& state_;
  int32_t error_ = 0;
  bool taken_ = false;
};

// The bytes a record gives as a line: converted to OEM for an OEM file, trailing blanks dropped
// with CLIP on.
std::string LineOf(const FileBlock& block, const AsciiFileState& state, uint32_t length) {
  std::string line(reinterpret_cast<const char*>(block.record), length);
  if (block.attributes & attr::kOem) platform::AnsiToOemInPlace(line);
  if (state.clip) {
    const size_t last = line.find_last_not_of(' ');
    line.resize(last == std::string::npos ? 0 : last + 1);
  }
  return line;
}

// A record length that never runs past the record buffer, whatever a caller passes.
uint32_t Bounded(const FileBlock& block, uint32_t length) {
  return std::min(length, block.record_length);
}

}  // namespace

int32_t RefreshSize(AsciiFileState& state) {
  uint64_t size = 0;
  if (const platform::Status s = state.file->file().Size(&size); !s.ok()) {
    return err::kSystemBase + s.error;
  }
  if (size != state.file_size) state.file->Invalidate();
  state.file_size = size;
  return 0;
}

int32_t ReadRecordAt(FileBlock& block, AsciiFileState& state, uint64_t offset, uint32_t length) {
  length = Bounded(block, length);
  if (!state.QuickScan()) {
    // Every read goes to the disk, so that lines others wrote or changed are seen.
    state.file->Invalidate();
    if (const int32_t e = RefreshSize(state); e != 0) return e;
  }
  if (offset >= state.file_size) return err::kRecordNotAvailable;
  LineRead read;
  if (const int32_t e = state.file->ReadLine(offset, state.Format(), block.record, length, &read);
      e != 0) {
    return e;
  }
  if (block.attributes & attr::kOem) {
    for (uint32_t i = 0; i < length; ++i) block.record[i] = platform::OemToAnsi(block.record[i]);
  }
  state.current_start = offset;
  state.current_length = read.stored_length;
  state.next_position = offset + read.stored_length;
  state.switches |= switch_bit::kCurrent;
  state.last_record_bytes = read.characters;
  return 0;
}

int32_t AppendRecord(FileBlock& block, AsciiFileState& state, uint32_t length) {
  if (state.switches & switch_bit::kReadOnly) return err::kAccessDenied;
  length = Bounded(block, length);
  const WriteLock lock(state);
  if (lock.error() != 0) return lock.error();
  // The end of the file as it is now: in a shared file another program may have appended.
  if (const int32_t e = RefreshSize(state); e != 0) return e;
  uint64_t offset = state.file_size;
  if (!state.appended) {
    state.appended = true;
    // A Ctrl-Z that ends the file would hide every line appended after it: write over it.
    if (offset > 0 && state.CtrlZIsEof()) {
      uint8_t last = 0;
      size_t got = 0;
      if (const platform::Status s = state.file->file().Read(offset - 1, &last, 1, &got); !s.ok()) {
        return err::kSystemBase + s.error;
      }
      if (got == 1 && last == kCtrlZ) --offset;
    }
  }
  const std::string line = LineOf(block, state, length);
  if (const int32_t e = state.file->WriteLine(offset, line, state.terminator); e != 0) return e;
  const uint64_t written = line.size() + state.terminator.size();
  state.file_size = std::max(state.file_size, offset + written);
  state.current_start = offset;
  state.current_length = written;
  state.next_position = offset + written;
  state.switches |= switch_bit::kCurrent;
  state.last_record_bytes = static_cast<int64_t>(line.size());
  return 0;
}

int32_t PutRecordAt(FileBlock& block, AsciiFileState& state, uint64_t offset, uint32_t length,
                    AfterPut after) {
  if (state.switches & switch_bit::kReadOnly) return err::kAccessDenied;
  length = Bounded(block, length);
  const WriteLock lock(state);
  if (lock.error() != 0) return lock.error();
  const std::string line = LineOf(block, state, length);
  if (const int32_t e = state.file->WriteLine(offset, line, state.terminator); e != 0) return e;
  const uint64_t written = line.size() + state.terminator.size();
  state.file_size = std::max(state.file_size, offset + written);
  state.current_start = offset;
  state.current_length = written;
  if (after == AfterPut::kFollowLine) state.next_position = offset + written;
  state.switches |= switch_bit::kCurrent;
  state.last_record_bytes = static_cast<int64_t>(line.size());
  return 0;
}

int32_t AtEndOfFile(AsciiFileState& state, bool* at_end) {
  if (!state.QuickScan()) {
    state.file->Invalidate();
    if (const int32_t e = RefreshSize(state); e != 0) return e;
  }
  const uint64_t next = state.next_position;
  if (next >= state.file_size) {
    *at_end = true;
    return 0;
  }
  *at_end = false;
  if (!state.CtrlZIsEof()) return 0;
  std::string_view bytes;
  bool file_end = false;
  if (const platform::Status s = state.file->Window(next, 1, &bytes, &file_end); !s.ok()) {
    return err::kSystemBase + s.error;
  }
  *at_end = bytes.empty() || static_cast<uint8_t>(bytes[0]) == kCtrlZ;
  return 0;
}

}  // namespace pellucor::data::ascii
