// Scratch folders for tests: a fresh directory under $TMPDIR (or /tmp) removed with everything in
// it, and one that is also the working directory while a test runs, with the per-user state (the
// transaction control file) and the system profile inside it, so that a test never meets the
// user's own files. PELLUCOR_KEEP_SCRATCH=1 keeps them for a look afterwards.
//
// TempDir and the file helpers need nothing but this header; ScratchCwd is in the test_support
// library.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pellucor::testsupport {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pellucor-test-XXXXXX";
    if (const char* made = mkdtemp(pattern.data())) path_ = made;
  }
  ~TempDir() {
    const char* keep = std::getenv("PELLUCOR_KEEP_SCRATCH");
    if (path_.empty() || (keep != nullptr && *keep != '\0')) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// REQUIRES: one at a time (it changes the process's working directory and environment).
class ScratchCwd {
 public:
  ScratchCwd();
  ~ScratchCwd();
  ScratchCwd(const ScratchCwd&) = delete;
  ScratchCwd& operator=(const ScratchCwd&) = delete;

  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::filesystem::path old_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace pellucor::testsupport
