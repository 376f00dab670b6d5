// The view's row buffer store: the bytes of every row the view produced since it was set.
//
// Each row is kept as its length (u32, little-endian) followed by its bytes. The store stays in
// memory while it holds at most kRowBufferMemory bytes; the row that would take it beyond that
// creates a temporary file ("TMP" prefix, in $TMPDIR), the memory contents are written to its
// start, and from then on rows are gathered in a chunk of kRowBufferMemory bytes that is written
// out whenever it fills. A row is addressed by the offset of its length word, whether it lies in
// memory, in the file or in the chunk not yet written.
//
// A write that fails or writes short marks the store failed: every later Append and Read then
// fails too, and the view reports the failure instead of returning rows it no longer has.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace pellucor::data::view {

class RowStore {
 public:
  RowStore() = default;
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  void SetEnv(platform::Env* env) { env_ = env; }

  // Appends a row; *offset receives its address. Returns false when the store has failed.
  [[nodiscard]] bool Append(std::string_view row, uint64_t* offset);
  // Reads the row at `offset` into *row. Returns false when the store has failed.
  [[nodiscard]] bool Read(uint64_t offset, std::string* row);
  // Drops every row and deletes the temporary file.
  void Clear();

  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] bool Spilled() const { return file_ != nullptr; }
  [[nodiscard]] const std::string& Path() const { return path_; }
  [[nodiscard]] uint64_t Size() const { return size_; }

 private:
  bool Spill();
  bool WriteChunk();
  bool ReadBytes(uint64_t offset, void* out, size_t n);

  platform::Env* env_ = nullptr;
  std::string memory_;  // everything while not spilled
  std::unique_ptr<platform::File> file_;
  std::string path_;
  uint64_t flushed_ = 0;  // bytes already in the file
  std::string chunk_;     // bytes after `flushed_`, not yet written
  uint64_t size_ = 0;     // total bytes held
  bool failed_ = false;
};

}  // namespace pellucor::data::view
