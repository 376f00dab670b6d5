#include "data/view/row_store.h"

#include <cstring>

#include "data/view/view.h"

namespace pellucor::data::view {

RowStore::~RowStore() {
  Clear();
}

void RowStore::Clear() {
  if (file_) {
    file_.reset();
    platform::Env* env = env_ ? env_ : platform::Env::Default();
    (void)env->RemoveTemporary(path_);
  }
  path_.clear();
  memory_.clear();
  chunk_.clear();
  flushed_ = 0;
  size_ = 0;
  failed_ = false;
}

bool RowStore::Spill() {
  platform::Env* env = env_ ? env_ : platform::Env::Default();
  std::string path;
  if (!env->CreateTempFile("TMP", &path).ok()) return false;
  std::unique_ptr<platform::File> file;
  if (!env->Open(path, platform::Access::kReadWrite, platform::Share::kDenyNone,
                 platform::Disposition::kOpenExisting, &file)
           .ok()) {
    (void)env->RemoveTemporary(path);
    return false;
  }
  file_ = std::move(file);
  path_ = std::move(path);
  if (!memory_.empty()) {
    if (!file_->Write(0, memory_.data(), memory_.size()).ok()) return false;
  }
  flushed_ = memory_.size();
  memory_.clear();
  memory_.shrink_to_fit();
  chunk_.reserve(kRowBufferMemory);
  return true;
}

bool RowStore::WriteChunk() {
  if (chunk_.empty()) return true;
  if (!file_->Write(flushed_, chunk_.data(), chunk_.size()).ok()) return false;
  flushed_ += chunk_.size();
  chunk_.clear();
  return true;
}

bool RowStore::Append(std::string_view row, uint64_t* offset) {
  if (failed_) return false;
  char length[4];
  const auto n = static_cast<uint32_t>(row.size());
  for (int i = 0; i < 4; ++i) length[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  const size_t total = 4 + row.size();
  if (!file_ && memory_.size() + total > kRowBufferMemory) {
    if (!Spill()) {
      failed_ = true;
      return false;
    }
  }
  *offset = size_;
  if (!file_) {
    memory_.append(length, 4);
    memory_.append(row);
  } else {
    // Rows go out in whole chunks; a row larger than a chunk is written in pieces.
    std::string_view parts[2] = {std::string_view(length, 4), row};
    for (std::string_view part : parts) {
      while (!part.empty()) {
        const size_t room = kRowBufferMemory - chunk_.size();
        const size_t take = part.size() < room ? part.size() : room;
        chunk_.append(part.substr(0, take));
        part.remove_prefix(take);
        if (chunk_.size() == kRowBufferMemory && !WriteChunk()) {
          failed_ = true;
          return false;
        }
      }
    }
  }
  size_ += total;
  return true;
}

bool RowStore::ReadBytes(uint64_t offset, void* out, size_t n) {
  auto* dst = static_cast<char*>(out);
  if (!file_) {
    if (offset + n > memory_.size()) return false;
    std::memcpy(dst, memory_.data() + offset, n);
    return true;
  }
  // The part already in the file.
  if (offset < flushed_) {
    const size_t from_file = static_cast<size_t>(std::min<uint64_t>(n, flushed_ - offset));
    size_t got = 0;
    if (!file_->Read(offset, dst, from_file, &got).ok() || got != from_file) return false;
    dst += from_file;
    n -= from_file;
    offset += from_file;
  }
  if (n == 0) return true;
  const uint64_t in_chunk = offset - flushed_;
  if (in_chunk + n > chunk_.size()) return false;
  std::memcpy(dst, chunk_.data() + in_chunk, n);
  return true;
}

bool RowStore::Read(uint64_t offset, std::string* row) {
  if (failed_) return false;
  unsigned char length[4];
  if (!ReadBytes(offset, length, 4)) {
    failed_ = true;
    return false;
  }
  const uint32_t n = uint32_t{length[0]} | uint32_t{length[1]} << 8 | uint32_t{length[2]} << 16 |
                     uint32_t{length[3]} << 24;
  row->resize(n);
  if (n > 0 && !ReadBytes(offset + 4, row->data(), n)) {
    failed_ = true;
    return false;
  }
  return true;
}

}  // namespace pellucor::data::view
