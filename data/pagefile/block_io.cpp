#include "data/pagefile/block_io.h"

#include <cstring>

#include "platform/system_error.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

BlockIo::BlockIo(platform::File* file, std::unique_ptr<UnitCipher> cipher)
    : file_(file), cipher_(std::move(cipher)) {}

int32_t BlockIo::Read(uint64_t offset, uint8_t* data, size_t size) {
  if (cipher_ && (offset % kCipherUnit != 0 || size % kCipherUnit != 0)) {
    runtime::InternalErrorStop(kErrReadUnaligned);
  }
  size_t done = 0;
  while (done < size) {
    size_t got = 0;
    platform::Status s = file_->Read(offset + done, data + done, size - done, &got);
    if (!s.ok()) return kErrReadFailed;
    if (got == 0) return kErrShortRead;
    done += got;
  }
  if (cipher_) cipher_->Decipher(offset, data, size);
  return 0;
}

platform::Status BlockIo::Write(uint64_t offset, const uint8_t* data, size_t size) {
  if (!cipher_) return file_->Write(offset, data, size);
  if (offset % kCipherUnit != 0 || size % kCipherUnit != 0) {
    runtime::InternalErrorStop(kErrWriteUnaligned);
  }
  scratch_.assign(data, data + size);
  cipher_->Encipher(offset, scratch_.data(), size);
  return file_->Write(offset, scratch_.data(), size);
}

platform::Status BlockIo::Flush() {
  ++flushes_;
  return file_->Flush();
}

}  // namespace pellucor::data::pagefile
