// Shared helpers of the page file tests: a scratch directory, small helpers for byte keys, and a
// scan of a whole file into a map (the model the tests compare with).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/pagefile/page_file.h"

namespace pellucor::data::pagefile::testing {

using Bytes = std::vector<uint8_t>;
using Model = std::map<Bytes, Bytes>;

// Where a scratch directory lives: the temporary directory, or a memory file system for the long
// runs whose thousands of flushes would otherwise measure the disk rather than the code.
enum class Medium { kTempDir, kMemory };

class ScratchDir {
 public:
  explicit ScratchDir(Medium medium = Medium::kTempDir) {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    if (medium == Medium::kMemory && std::filesystem::is_directory("/dev/shm")) base = "/dev/shm";
    std::string pattern = (base / "pagefile-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline Bytes B(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
inline ByteSpan S(const Bytes& b) {
  return {b.data(), b.size()};
}

// Every entry, in cursor order.
inline Model Scan(PageFile* file) {
  Model m;
  Cursor c(file);
  for (bool ok = c.SeekFirst(); ok; ok = c.Next()) {
    m.emplace(Bytes(c.key().begin(), c.key().end()), Bytes(c.data().begin(), c.data().end()));
  }
  return m;
}

inline std::unique_ptr<PageFile> OpenFile(const std::string& path, OpenOptions options = {}) {
  if (options.create == CreateMode::kOpenExisting) options.create = CreateMode::kOpenOrCreate;
  return PageFile::Open(path, options);
}

// Small pages, so that a few hundred entries already split, grow the root and move regions.
inline SplitLimits TinyPages() {
  return SplitLimits{900, 450, 6};
}
inline OpenOptions TinyPageOptions() {
  OpenOptions options;
  options.split = TinyPages();
  return options;
}

}  // namespace pellucor::data::pagefile::testing
