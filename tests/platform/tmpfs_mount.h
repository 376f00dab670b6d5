// A small tmpfs mounted on a directory for one test, which the test can then make read-only;
// unmounted when the test ends. Mounting needs root (and a container that allows it): when it
// cannot be had, mounted() is false and reason() says why, for GTEST_SKIP.
#pragma once

#include <errno.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace pellucor::platform::testing {

class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& path) : path_(path) {
    if (geteuid() != 0) {
      reason_ =
          "mounting a file system needs root; the tests run as uid " + std::to_string(geteuid());
      return;
    }
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=16m,mode=0700") != 0) {
      reason_ = std::string("cannot mount a tmpfs on ") + path + " (" + std::strerror(errno) + ")";
      return;
    }
    mounted_ = true;
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& reason() const { return reason_; }
  // Remounts it read-only; false (errno set) when that fails, as it does while a file on it is
  // open for writing.
  bool MakeReadOnly() {
    return ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace pellucor::platform::testing
