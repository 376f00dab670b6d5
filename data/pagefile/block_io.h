// Reads and writes of a page file's bytes, enciphered on the way when the file has an owner.
// Enciphered files are read and written in whole 64-byte units at unit boundaries only; any
// other request is an inner fault of the page file (internal errors 2272 and 2286).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/pagefile/unit_cipher.h"
#include "platform/file.h"

namespace pellucor::data::pagefile {

inline constexpr int32_t kErrShortRead = 2172;
inline constexpr int32_t kErrReadUnaligned = 2272;
inline constexpr int32_t kErrReadFailed = 2277;
inline constexpr int32_t kErrWriteUnaligned = 2286;

class BlockIo {
 public:
  BlockIo(platform::File* file, std::unique_ptr<UnitCipher> cipher);

  // Reads exactly `size` bytes at `offset`. Returns 0, kErrShortRead (the file ends first) or
  // kErrReadFailed (the system refused; its error is in platform::LastSystemError()).
  // Unaligned requests on an enciphered file stop the program (2272).
  [[nodiscard]] int32_t Read(uint64_t offset, uint8_t* data, size_t size);
  // Writes `size` bytes; the caller's buffer is left as it was.
  [[nodiscard]] platform::Status Write(uint64_t offset, const uint8_t* data, size_t size);
  [[nodiscard]] platform::Status Flush();
  bool enciphered() const { return cipher_ != nullptr; }
  uint64_t flushes() const { return flushes_; }

 private:
  platform::File* file_;
  std::unique_ptr<UnitCipher> cipher_;
  std::vector<uint8_t> scratch_;
  uint64_t flushes_ = 0;
};

}  // namespace pellucor::data::pagefile
