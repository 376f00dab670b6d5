// The profile functions over ProfileText. Every call reads the file afresh (another program may
// have changed it); a write replaces the file as a whole: the new text goes to a temporary file
// beside it, is synced, and is renamed over the old one, so a crash leaves either the old or the
// new file, never a half-written one. Writers are serialised, also between processes (see
// WriterLock), so that no update is lost; the file's permissions are kept, and a symbolic link
// is followed (its target is replaced, not the link).
#include "platform/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/profile_parser.h"
#include "platform/system_error.h"

namespace pellucor::platform {

namespace {

std::mutex write_mutex;

// The file's bytes; an empty text when it does not exist. False (error set) when it cannot be
// read.
bool ReadProfile(const std::string& file, std::string* bytes) {
  bytes->clear();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;
    SetLastSystemErrorFromErrno();
    return false;
  }
  char buf[8192];
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      SetLastSystemErrorFromErrno();
      ::close(fd);
      return false;
    }
    if (r == 0) break;
    bytes->append(buf, static_cast<size_t>(r));
  }
  ::close(fd);
  return true;
}

std::string Resolve(const std::string& file) {
  // Replacing a symbolic link by a file would cut the link; write where it points instead.
  std::error_code ec;
  if (std::filesystem::is_symlink(file, ec)) {
    const auto target = std::filesystem::canonical(file, ec);
    if (!ec) return target.string();
  }
  return file;
}

std::string Directory(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Fail(int errno_value) {
  SetLastSystemError(SystemErrorFromErrno(errno_value));
  return false;
}

bool WriteReplacing(const std::string& file, const std::string& bytes) {
  const std::string dir = Directory(file);
  std::string temp = file + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  struct stat st {};
  mode_t mode = 0666;
  if (::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0)
      error = w < 0 ? errno : ENOSPC;
    else
      done += static_cast<size_t>(w);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), file.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return Fail(error);
  }
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  SetLastSystemError(0);
  return true;
}

// Serialises the writers of one profile file across processes: each holds an exclusive lock on
// the file it read while it writes the replacement. A writer that waited may find the name
// already pointing at a newer file (the previous writer renamed it there) and then locks that
// one instead. Readers take no lock: they see the old file or the new one, whole. Opening for
// writing also refuses a file the user may not write, which a rename alone would replace.
class WriterLock {
 public:
  WriterLock() = default;
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock() {
    if (fd_ >= 0) ::close(fd_);  // drops the lock, after the rename
  }

  bool Acquire(const std::string& path) {
    for (;;) {
      fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd_ < 0) return Fail(errno);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;  // l_start 0, l_len 0: the whole file
      while (::fcntl(fd_, F_OFD_SETLKW, &lock) != 0) {
        if (errno != EINTR) return Fail(errno);
      }
      struct stat held {
      }, named{};
      if (::fstat(fd_, &held) != 0) return Fail(errno);
      if (::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
          named.st_ino == held.st_ino)
        return true;
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_ = -1;
};

std::string Cut(std::string value, size_t limit) {
  if (limit == 0) return {};
  if (value.size() > limit - 1) value.resize(limit - 1);
  return value;
}

const std::string& FileOrSystem(const std::string& file, std::string* storage) {
  if (!file.empty()) return file;
  *storage = SystemProfilePath();
  return *storage;
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view fallback, size_t limit,
                                    const std::string& file) {
  std::string storage;
  std::string bytes;
  std::optional<std::string> value;
  if (ReadProfile(FileOrSystem(file, &storage), &bytes))
    value = ProfileText(bytes).Get(section, key);
  if (!value) {
    // Like the system, the fallback loses its trailing blanks.
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t'))
      fallback.remove_suffix(1);
    value = std::string(fallback);
  }
  return Cut(std::move(*value), limit);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int fallback,
                         const std::string& file) {
  std::string storage;
  std::string bytes;
  if (!ReadProfile(FileOrSystem(file, &storage), &bytes)) return fallback;
  const std::optional<std::string> value = ProfileText(bytes).Get(section, key);
  if (!value) return fallback;
  // Leading digits after an optional sign; anything else reads as 0, a number too large for an
  // int as the nearest one it can hold.
  std::string_view s = *value;
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  long long n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

std::vector<std::string> GetPrivateProfileKeys(std::optional<std::string_view> section,
                                               const std::string& file) {
  std::string storage;
  std::string bytes;
  if (!ReadProfile(FileOrSystem(file, &storage), &bytes)) return {};
  const ProfileText text(bytes);
  return section ? text.KeyNames(*section) : text.SectionNames();
}

bool WritePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::string& file) {
  if (!ProfileText::ValidSection(section) || (key && !ProfileText::ValidKey(*key)) ||
      (key && value && !ProfileText::ValidValue(*value))) {
    SetLastSystemError(syserr::kInvalidParameter);
    return false;
  }
  std::string storage;
  const std::string path = Resolve(FileOrSystem(file, &storage));
  std::lock_guard guard(write_mutex);
  if ((!key || !value) && ::access(path.c_str(), F_OK) != 0) {
    SetLastSystemError(0);  // nothing to delete: no file is created for it
    return true;
  }
  if (file.empty()) {
    // The system profile's folder is ours to create; a private profile's folder is the caller's.
    std::error_code ec;
    std::filesystem::create_directories(Directory(path), ec);
  }
  WriterLock writer;
  if (!writer.Acquire(path)) return false;
  std::string bytes;
  if (!ReadProfile(path, &bytes)) return false;
  ProfileText text(bytes);
  bool changed = true;
  if (!key) {
    changed = text.DeleteSection(section);
  } else if (!value) {
    changed = text.DeleteKey(section, *key);
  } else {
    text.Set(section, *key, *value);
  }
  const std::string updated = text.Serialize();
  if (!changed || updated == bytes) {
    SetLastSystemError(0);
    return true;
  }
  return WriteReplacing(path, updated);
}

std::string SystemProfilePath() {
  if (const char* over = std::getenv("PELLUCOR_SYSTEM_PROFILE"); over != nullptr && *over != '\0')
    return over;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    config = xdg;  // a relative value is invalid and ignored
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw != nullptr ? pw->pw_dir : "/tmp";
    }
    config = std::string(home) + "/.config";
  }
  return config + "/pellucor/system.ini";
}

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, size_t limit) {
  return GetPrivateProfileString(section, key, fallback, limit, SystemProfilePath());
}

int GetProfileInt(std::string_view section, std::string_view key, int fallback) {
  return GetPrivateProfileInt(section, key, fallback, SystemProfilePath());
}

bool WriteProfileString(std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value) {
  return WritePrivateProfileString(section, key, value, std::string());
}

}  // namespace pellucor::platform
