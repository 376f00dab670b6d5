#include "data/ascii/line_file.h"

#include <algorithm>
#include <cstring>

#include "platform/system_error.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::ascii {
namespace {

int32_t SystemFailure(const platform::Status& status) {
  return runtime::err::kSystemBase + status.error;
}

}  // namespace

LineFile::LineFile(std::unique_ptr<platform::File> file)
    : file_(std::move(file)), buffer_(kMinBuffer) {}

void LineFile::SetBufferSize(size_t bytes) {
  buffer_.assign(std::max(bytes, kMinBuffer), 0);
  buffer_.shrink_to_fit();
  held_ = 0;
}

platform::Status LineFile::Window(uint64_t offset, size_t wanted, std::string_view* bytes,
                                  bool* at_end) {
  const bool inside = held_ > 0 && offset >= start_ && offset - start_ <= held_;
  if (inside) {
    const size_t skip = static_cast<size_t>(offset - start_);
    const size_t left = held_ - skip;
    if (left >= wanted || held_to_end_) {
      *bytes = std::string_view(reinterpret_cast<const char*>(buffer_.data()) + skip, left);
      *at_end = held_to_end_;
      return {};
    }
  }
  held_ = 0;
  size_t got = 0;
  const platform::Status s = file_->Read(offset, buffer_.data(), buffer_.size(), &got);
  if (!s.ok()) {
    *bytes = {};
    *at_end = true;
    return s;
  }
  start_ = offset;
  held_ = got;
  held_to_end_ = got < buffer_.size();
  *bytes = std::string_view(reinterpret_cast<const char*>(buffer_.data()), got);
  *at_end = held_to_end_;
  return {};
}

int32_t LineFile::ReadLine(uint64_t offset, const LineFormat& format, uint8_t* record,
                           uint32_t length, LineRead* read) {
  std::memset(record, ' ', length);
  const std::string_view terminator = format.terminator;
  const size_t k = terminator.size();
  const char first = terminator[0];
  uint64_t at = offset;  // the next byte of the file to look at
  uint32_t out = 0;      // the next column of the record
  for (;;) {
    std::string_view bytes;
    bool at_end = false;
    if (const platform::Status s = Window(at, k, &bytes, &at_end); !s.ok()) {
      return SystemFailure(s);
    }
    if (bytes.empty()) break;  // the file ends: the last line has no terminator
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
      const char c = bytes[i];
      if (c == first) {
        if (n - i < k && !at_end) break;  // the terminator may run past the window
        if (n - i >= k && bytes.compare(i, k, terminator) == 0) {
          at += k;
          read->stored_length = at - offset;
          read->characters = out;
          return 0;
        }
      }
      if (c == static_cast<char>(kCtrlZ) && format.ctrl_z_is_eof) {
        if (at == offset) return runtime::err::kRecordNotAvailable;
        read->stored_length = at - offset;
        read->characters = out;
        return 0;
      }
      if (c == static_cast<char>(kTab) && format.tab != kKeepTabs) {
        if (format.tab > 0) {
          const uint32_t t = static_cast<uint32_t>(format.tab);
          out = std::min(length, out + (t - out % t));
        } else if (format.tab < 0) {
          out = std::min(length, out + static_cast<uint32_t>(-format.tab));
        }
        ++i;
        ++at;
        continue;
      }
      // A run of plain bytes: nothing in it ends the line or needs expanding. This is the fast
      // path of ordinary lines: copied as they are.
      size_t j = i + 1;
      while (j < n) {
        const char d = bytes[j];
        if (d == first || d == static_cast<char>(kTab) ||
            (d == static_cast<char>(kCtrlZ) && format.ctrl_z_is_eof)) {
          break;
        }
        ++j;
      }
      const size_t run = j - i;
      if (out < length) {
        const size_t copied = std::min<size_t>(run, length - out);
        std::memcpy(record + out, bytes.data() + i, copied);
        out += static_cast<uint32_t>(copied);
      }
      i = j;
      at += run;
    }
    if (at_end && i >= n) break;
  }
  if (at == offset) return runtime::err::kRecordNotAvailable;  // nothing there after all
  read->stored_length = at - offset;
  read->characters = out;
  return 0;
}

int32_t LineFile::WriteLine(uint64_t offset, std::string_view line, std::string_view terminator) {
  std::string bytes;
  bytes.reserve(line.size() + terminator.size());
  bytes.append(line);
  bytes.append(terminator);
  // What the buffer holds may be stale now; later reads take it from the file again.
  held_ = 0;
  if (const platform::Status s = file_->Write(offset, bytes.data(), bytes.size()); !s.ok()) {
    return SystemFailure(s);
  }
  return 0;
}

int32_t LineFile::TakeLock() {
  if (lock_depth_ > 0) {
    ++lock_depth_;
    return 0;
  }
  const platform::Status s = file_->Lock(0, 1, platform::LockWait::kNoWait);
  if (!s.ok()) {
    if (s.error == platform::syserr::kLockViolation) return runtime::err::kFileLocked;
    return SystemFailure(s);
  }
  lock_depth_ = 1;
  return 0;
}

int32_t LineFile::ReleaseLock() {
  if (lock_depth_ == 0) return 0;
  if (--lock_depth_ > 0) return 0;
  if (const platform::Status s = file_->Unlock(0, 1); !s.ok()) return SystemFailure(s);
  return 0;
}

}  // namespace pellucor::data::ascii
