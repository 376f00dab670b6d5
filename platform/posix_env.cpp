// The real Env: POSIX descriptors, OFD byte-range locks and share modes (share_modes.cpp).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/file.h"
#include "platform/share_modes.h"
#include "platform/system_error.h"

namespace pellucor::platform {

namespace {

Status Result(int32_t error) {
  SetLastSystemError(error);
  return Status{error};
}
Status FromErrno() {
  return Result(SetLastSystemErrorFromErrno());
}
Status FromErrno(int errno_value) {
  return Result(SystemErrorFromErrno(errno_value));
}

std::string ParentDirectory(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes a directory entry (a created, renamed or removed name) durable.
int SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL) error = errno;  // some file systems cannot sync dirs
  ::close(fd);
  return error;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path, Access access, FdMode fd_mode)
      : fd_(fd), path_(std::move(path)), access_(access), fd_mode_(fd_mode) {}
  ~PosixFile() override { ::close(fd_); }  // drops this open's locks and share mode

  Status Read(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (access_ == Access::kWrite) return Result(syserr::kAccessDenied);
    auto* out = static_cast<char*>(buf);
    while (*got < n) {
      const ssize_t r = ::pread(fd_, out + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return FromErrno();
      }
      if (r == 0) break;  // end of file
      *got += static_cast<size_t>(r);
    }
    return Result(0);
  }

  Status Write(uint64_t offset, const void* buf, size_t n) override {
    if (access_ == Access::kRead) return Result(syserr::kAccessDenied);
    const auto* in = static_cast<const char*>(buf);
    size_t done = 0;
    while (done < n) {
      const ssize_t w = ::pwrite(fd_, in + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return FromErrno();
      }
      if (w == 0) return Result(syserr::kHandleDiskFull);
      done += static_cast<size_t>(w);
    }
    return Result(0);
  }

  Status Flush() override {
    while (::fdatasync(fd_) != 0) {
      if (errno == EINTR) continue;
      if (errno == EINVAL) break;  // special files cannot be synced; nothing is buffered
      return FromErrno();
    }
    return Result(0);
  }

  Status Size(uint64_t* size) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return FromErrno();
    *size = static_cast<uint64_t>(st.st_size);
    return Result(0);
  }

  Status Truncate(uint64_t size) override {
    if (access_ == Access::kRead) return Result(syserr::kAccessDenied);
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return FromErrno();
    }
    return Result(0);
  }

  // Like the system's region locks, a range that overlaps one this open already holds cannot be
  // locked again (POSIX would merge them, and the first unlock would then free both), and an
  // unlock must name exactly a range that was locked. The ranges held are kept here for that.
  Status Lock(uint64_t offset, uint64_t length, LockWait wait) override {
    if (length == 0 || offset >= kShareRegionStart || length > kShareRegionStart - offset)
      return Result(syserr::kInvalidParameter);
    {
      std::lock_guard guard(mutex_);
      auto next = held_.lower_bound(offset);
      if (next != held_.end() && next->first < offset + length)
        return Result(syserr::kLockViolation);
      if (next != held_.begin() && std::prev(next)->first + std::prev(next)->second > offset)
        return Result(syserr::kLockViolation);
      held_[offset] = length;  // reserved while the lock call runs, so no other thread takes it
    }
    struct flock lock {};
    // A descriptor this user may only read cannot take an exclusive lock; its lock is shared,
    // which still keeps every writer (all of whom lock exclusively) out of the range.
    lock.l_type = fd_mode_ == FdMode::kReadOnly ? F_RDLCK : F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    const int command = wait == LockWait::kWait ? F_OFD_SETLKW : F_OFD_SETLK;
    int error = 0;
    while (::fcntl(fd_, command, &lock) != 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (error != 0) {
      std::lock_guard guard(mutex_);
      held_.erase(offset);
      return FromErrno(error == EACCES ? EAGAIN : error);
    }
    return Result(0);
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    std::lock_guard guard(mutex_);
    auto it = held_.find(offset);
    if (it == held_.end() || it->second != length) return Result(syserr::kLockViolation);
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    if (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) return FromErrno();
    held_.erase(it);
    return Result(0);
  }

  const std::string& Path() const override { return path_; }

 private:
  const int fd_;
  const std::string path_;
  const Access access_;
  const FdMode fd_mode_;
  std::mutex mutex_;                   // guards held_
  std::map<uint64_t, uint64_t> held_;  // offset -> length of the ranges this open has locked
};

class PosixEnv final : public Env {
 public:
  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* out) override {
    out->reset();
    if (path.empty()) return Result(syserr::kInvalidParameter);
    // Always open for reading and writing when the permissions allow: exclusive locks need a
    // writable descriptor and share-mode bytes a readable one. Access is enforced by PosixFile.
    // A file this user may not both read and write (its permissions, or a file system mounted
    // read-only) still opens for the one access asked for.
    const auto refused_writing = [&](int mode) {
      return (errno == EACCES || errno == EROFS) && mode == O_RDWR && access != Access::kReadWrite;
    };
    int fd = -1;
    FdMode fd_mode = FdMode::kReadWrite;
    bool created = false;
    const bool may_create = disposition != Disposition::kOpenExisting;
    for (const int mode : {O_RDWR, access == Access::kRead ? O_RDONLY : O_WRONLY}) {
      fd_mode = mode == O_RDWR ? FdMode::kReadWrite
                               : (mode == O_RDONLY ? FdMode::kReadOnly : FdMode::kWriteOnly);
      const int base = mode | O_CLOEXEC;
      if (may_create) {
        fd = ::open(path.c_str(), base | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
          created = true;
          break;
        }
        if (errno != EEXIST) {
          if (refused_writing(mode)) continue;
          return FromErrno();
        }
        if (disposition == Disposition::kCreateNew) return Result(syserr::kFileExists);
      }
      fd = ::open(path.c_str(), base);
      if (fd >= 0) break;
      if (refused_writing(mode)) continue;
      return FromErrno();
    }
    if (fd < 0) return FromErrno();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
      ::close(fd);
      return FromErrno(error == 0 ? EINVAL : error);
    }
    auto file = std::make_unique<PosixFile>(fd, path, access, fd_mode);
    // The share mode is settled before anything changes the file: a truncation that another
    // open denies must not happen.
    if (const int32_t error = AcquireShareMode(fd, fd_mode, access, share); error != 0) {
      // A file this open created stays (empty): another open may already be using it.
      return Result(error);
    }
    if (disposition == Disposition::kCreateAlways && !created) {
      if (fd_mode == FdMode::kReadOnly) return Result(syserr::kAccessDenied);
      if (::ftruncate(fd, 0) != 0) return FromErrno();
    }
    if (created) {
      if (const int error = SyncDirectory(ParentDirectory(path)); error != 0)
        return FromErrno(error);
    }
    *out = std::move(file);
    return Result(0);
  }

  Status Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return FromErrno();
    if (const int error = SyncDirectory(ParentDirectory(path)); error != 0) return FromErrno(error);
    return Result(0);
  }

  Status RemoveTemporary(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return FromErrno();
    return Result(0);
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return FromErrno();
    const std::string to_dir = ParentDirectory(to);
    const std::string from_dir = ParentDirectory(from);
    int error = SyncDirectory(to_dir);
    if (error == 0 && from_dir != to_dir) error = SyncDirectory(from_dir);
    if (error != 0) return FromErrno(error);
    return Result(0);
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  bool IsDirectory(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  Status Writable(const std::string& path) override {
    if (::access(path.c_str(), W_OK) != 0) return FromErrno();
    return Result(0);
  }

  Status CreateDirectories(const std::string& path) override {
    if (Exists(path) && !IsDirectory(path)) return Result(syserr::kFileExists);
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) return FromErrno(ec.value());
    if (!IsDirectory(path)) return FromErrno(ENOTDIR);
    return Result(0);
  }

  Status CreateTempFile(const std::string& prefix, std::string* path) override {
    if (prefix.find('/') != std::string::npos) return Result(syserr::kInvalidParameter);
    const char* tmpdir = std::getenv("TMPDIR");
    std::string name = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
    if (name.back() != '/') name += '/';
    name += prefix;
    name += "XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return FromErrno();
    ::close(fd);
    *path = buffer.data();
    return Result(0);
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;  // stateless: safe to use until the very end of the process
  return &env;
}

}  // namespace pellucor::platform
