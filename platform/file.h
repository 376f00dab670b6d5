// The file layer: every byte the data engine reads or writes passes through an Env and its Files,
// so that a test can wrap the real one and fail, stop or tear the k-th write or flush.
//
// Offsets are absolute (pread/pwrite); a File has no current position. Flush is fdatasync: what
// was written before a successful Flush survives a crash, what was written after may be lost or
// torn. Byte-range locks are open-file-description locks, so two opens of one file conflict even
// inside one process, and closing another descriptor of the same file keeps them.
//
// Errors: every call returns a Status whose error is a system error number (platform/
// system_error.h, 0 for success) and also leaves it in LastSystemError().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pellucor::platform {

struct [[nodiscard]] Status {
  int32_t error = 0;
  bool ok() const { return error == 0; }
  static Status Ok() { return {}; }
};

enum class Access { kRead, kWrite, kReadWrite };

// Share modes: what this open lets other opens do while it is open. Emulated with lock bytes in a
// reserved region far above every data and driver lock offset (see share_modes.cpp), checked at
// open; a conflicting open fails with syserr::kSharingViolation.
enum class Share { kCompat, kDenyAll, kDenyWrite, kDenyRead, kDenyNone };

enum class Disposition {
  kOpenExisting,  // fails with kFileNotFound when absent
  kCreateNew,     // fails with kFileExists when present
  kCreateAlways,  // creates or truncates
  kOpenAlways,    // opens or creates
};

enum class LockWait { kNoWait, kWait };

// The access mode byte of the file statements: bits 0-1 the access (0 read, 1 write, 2 read and
// write), bits 4-6 the sharing (0x00 compatibility, 0x10 deny all, 0x20 deny write, 0x30 deny
// read, 0x40 deny none). Returns false for a byte outside these values (other bits set, access 3,
// sharing above 0x40).
[[nodiscard]] bool DecodeAccessMode(uint8_t mode, Access* access, Share* share);

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; *got tells how many were read (fewer at end of file).
  virtual Status Read(uint64_t offset, void* buf, size_t n, size_t* got) = 0;
  // Writes all n bytes at offset, extending the file when needed.
  virtual Status Write(uint64_t offset, const void* buf, size_t n) = 0;
  virtual Status Flush() = 0;
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  // An exclusive lock of [offset, offset + length). kNoWait fails at once with
  // syserr::kLockViolation when another open holds an overlapping lock; kWait blocks until it is
  // free. A range overlapping one this open already holds fails with kLockViolation; the range
  // must be non-empty and end below 2^62 (the region above holds the share modes), else
  // kInvalidParameter. Unlock must name exactly a locked range (else kLockViolation). A file
  // this user may only read locks shared: it still keeps every writer out.
  virtual Status Lock(uint64_t offset, uint64_t length, LockWait wait) = 0;
  virtual Status Unlock(uint64_t offset, uint64_t length) = 0;
  // The path the file was opened by.
  virtual const std::string& Path() const = 0;
};

class Env {
 public:
  virtual ~Env() = default;
  // The real file system. Never deleted.
  static Env* Default();

  virtual Status Open(const std::string& path, Access access, Share share, Disposition disposition,
                      std::unique_ptr<File>* out) = 0;
  virtual Status Remove(const std::string& path) = 0;
  // Removes a scratch file that nothing needs after a crash (a view's spilled rows): the removal
  // need not be made durable, which saves a directory sync each time.
  virtual Status RemoveTemporary(const std::string& path) { return Remove(path); }
  // Replaces `to` when it exists; the directory is synced afterwards.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  // Whether this user may write the existing file `path`, asked without opening it: 0, else
  // syserr::kAccessDenied (its permissions), kWriteProtect (its file system is mounted read-only),
  // kFileNotFound, ... So an open for writing that failed can be told apart from one that another
  // program's sharing refused.
  virtual Status Writable(const std::string& path) = 0;
  // Creates the directory and its missing parents.
  virtual Status CreateDirectories(const std::string& path) = 0;
  // Makes a new empty file "<dir>/<prefix>XXXXXX" in $TMPDIR (or /tmp) and returns its path.
  virtual Status CreateTempFile(const std::string& prefix, std::string* path) = 0;
};

// Forwards every call to another Env; a test derives from it and overrides the calls it wants to
// fail or observe.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* out) override {
    return target_->Open(path, access, share, disposition, out);
  }
  Status Remove(const std::string& path) override { return target_->Remove(path); }
  Status RemoveTemporary(const std::string& path) override {
    return target_->RemoveTemporary(path);
  }
  Status Rename(const std::string& from, const std::string& to) override {
    return target_->Rename(from, to);
  }
  bool Exists(const std::string& path) override { return target_->Exists(path); }
  bool IsDirectory(const std::string& path) override { return target_->IsDirectory(path); }
  Status Writable(const std::string& path) override { return target_->Writable(path); }
  Status CreateDirectories(const std::string& path) override {
    return target_->CreateDirectories(path);
  }
  Status CreateTempFile(const std::string& prefix, std::string* path) override {
    return target_->CreateTempFile(prefix, path);
  }

 private:
  Env* target_;
};

}  // namespace pellucor::platform
