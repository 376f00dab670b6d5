#include "platform/fault_injection_env.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/system_error.h"

namespace pellucor::platform {

namespace {

Status Result(int32_t error) {
  SetLastSystemError(error);
  return Status{error};
}

// The counter-based generator of the tear choices: the same seed gives the same choices.
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  uint64_t state_;
};

bool StatId(const std::string& path, std::pair<uint64_t, uint64_t>* id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

// Reads [offset, offset + n) of a file that holds at least that much.
Status ReadExactly(File* file, uint64_t offset, size_t n, std::string* out) {
  out->assign(n, '\0');
  size_t got = 0;
  if (n == 0) return Status::Ok();
  const Status s = file->Read(offset, out->data(), n, &got);
  if (!s.ok()) return s;
  out->resize(got);
  return Status::Ok();
}

// Plain POSIX rewriting for Crash; 0 or an errno value.
int RawWrite(int fd, uint64_t offset, const char* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::pwrite(fd, data + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return w < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(w);
  }
  return 0;
}
int RawTruncate(int fd, uint64_t size) {
  return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

}  // namespace

// ---- CountingEnv

class CountingFile final : public File {
 public:
  CountingFile(std::unique_ptr<File> target, CountingEnv* env)
      : target_(std::move(target)), env_(env) {}
  Status Read(uint64_t offset, void* buf, size_t n, size_t* got) override {
    return target_->Read(offset, buf, n, got);
  }
  Status Write(uint64_t offset, const void* buf, size_t n) override {
    env_->writes_.fetch_add(1);
    env_->bytes_written_.fetch_add(n);
    return target_->Write(offset, buf, n);
  }
  Status Flush() override {
    env_->flushes_.fetch_add(1);
    return target_->Flush();
  }
  Status Size(uint64_t* size) override { return target_->Size(size); }
  Status Truncate(uint64_t size) override { return target_->Truncate(size); }
  Status Lock(uint64_t offset, uint64_t length, LockWait wait) override {
    return target_->Lock(offset, length, wait);
  }
  Status Unlock(uint64_t offset, uint64_t length) override {
    return target_->Unlock(offset, length);
  }
  const std::string& Path() const override { return target_->Path(); }

 private:
  std::unique_ptr<File> target_;
  CountingEnv* env_;
};

Status CountingEnv::Open(const std::string& path, Access access, Share share,
                         Disposition disposition, std::unique_ptr<File>* out) {
  std::unique_ptr<File> file;
  const Status s = target()->Open(path, access, share, disposition, &file);
  if (s.ok()) *out = std::make_unique<CountingFile>(std::move(file), this);
  return s;
}

void CountingEnv::ResetCounters() {
  writes_ = 0;
  flushes_ = 0;
  bytes_written_ = 0;
}

// ---- FaultInjectionEnv

class FaultFile final : public File {
 public:
  FaultFile(std::unique_ptr<File> target, FaultInjectionEnv* env, FaultInjectionEnv::FileId id)
      : target_(std::move(target)), env_(env), id_(id) {}

  Status Read(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (env_->crashed_) return Result(syserr::kReadFault);
    return target_->Read(offset, buf, n, got);
  }

  Status Write(uint64_t offset, const void* buf, size_t n) override {
    std::lock_guard guard(env_->mutex_);
    if (!env_->Admit(&env_->writes_)) return Result(syserr::kWriteFault);
    FaultInjectionEnv::Unflushed op{CrashedOperation::Kind::kWrite,
                                    offset,
                                    std::string(static_cast<const char*>(buf), n),
                                    {},
                                    0};
    if (Status s = target_->Size(&op.size_before); !s.ok()) return s;
    if (offset < op.size_before) {
      const size_t covered = static_cast<size_t>(std::min<uint64_t>(n, op.size_before - offset));
      if (Status s = ReadExactly(target_.get(), offset, covered, &op.old_bytes); !s.ok()) return s;
    }
    const Status s = target_->Write(offset, buf, n);
    if (s.ok()) env_->TrackedFile(id_, Path()).unflushed.push_back(std::move(op));
    return s;
  }

  Status Truncate(uint64_t size) override {
    std::lock_guard guard(env_->mutex_);
    if (!env_->Admit(&env_->truncates_)) return Result(syserr::kWriteFault);
    FaultInjectionEnv::Unflushed op{CrashedOperation::Kind::kTruncate, size, {}, {}, 0};
    if (Status s = target_->Size(&op.size_before); !s.ok()) return s;
    if (size < op.size_before) {
      const auto cut = static_cast<size_t>(op.size_before - size);
      if (Status s = ReadExactly(target_.get(), size, cut, &op.old_bytes); !s.ok()) return s;
    }
    const Status s = target_->Truncate(size);
    if (s.ok()) env_->TrackedFile(id_, Path()).unflushed.push_back(std::move(op));
    return s;
  }

  Status Flush() override {
    std::lock_guard guard(env_->mutex_);
    if (!env_->Admit(&env_->flushes_)) return Result(syserr::kWriteFault);
    const Status s = env_->sync_ == DiskSync::kReal ? target_->Flush() : Result(0);
    // A flush makes every earlier write to the file durable, whichever open made it.
    if (s.ok()) {
      if (auto it = env_->tracked_.find(id_); it != env_->tracked_.end())
        it->second.unflushed.clear();
    }
    return s;
  }

  Status Size(uint64_t* size) override {
    if (env_->crashed_) return Result(syserr::kReadFault);
    return target_->Size(size);
  }
  Status Lock(uint64_t offset, uint64_t length, LockWait wait) override {
    if (env_->crashed_) return Result(syserr::kDeviceNotReady);
    return target_->Lock(offset, length, wait);
  }
  Status Unlock(uint64_t offset, uint64_t length) override {
    if (env_->crashed_) return Result(syserr::kDeviceNotReady);
    return target_->Unlock(offset, length);
  }
  const std::string& Path() const override { return target_->Path(); }

 private:
  std::unique_ptr<File> target_;
  FaultInjectionEnv* env_;
  const FaultInjectionEnv::FileId id_;
};

FaultInjectionEnv::~FaultInjectionEnv() = default;

bool FaultInjectionEnv::Admit(std::atomic<uint64_t>* kind_counter) {
  if (crashed_) return false;
  const uint64_t n = operations_.fetch_add(1) + 1;
  kind_counter->fetch_add(1);
  const uint64_t stop = stop_at_.load();
  if (stop != 0 && n >= stop) stopped_ = true;
  return !stopped_;
}

bool FaultInjectionEnv::Halted() const {
  return stopped_ || crashed_;
}

FaultInjectionEnv::Tracked& FaultInjectionEnv::TrackedFile(FileId id, const std::string& path) {
  Tracked& t = tracked_[id];
  if (t.path.empty()) {
    t.path = path;
    t.order = ++files_touched_;
  }
  return t;
}

Status FaultInjectionEnv::Open(const std::string& path, Access access, Share share,
                               Disposition disposition, std::unique_ptr<File>* out) {
  out->reset();
  if (crashed_) return Result(syserr::kDeviceNotReady);
  const bool exists = target()->Exists(path);
  const bool truncates = exists && disposition == Disposition::kCreateAlways;
  if (stopped_ && ((!exists && disposition != Disposition::kOpenExisting) || truncates))
    return Result(syserr::kWriteFault);
  std::unique_ptr<File> file;
  // Truncating an existing file is an unflushed change like any other, made below.
  const Disposition forwarded = truncates ? Disposition::kOpenExisting : disposition;
  if (Status s = target()->Open(path, access, share, forwarded, &file); !s.ok()) return s;
  FileId id;
  if (!StatId(path, &id)) return Result(SetLastSystemErrorFromErrno());
  {
    std::lock_guard guard(mutex_);
    // A new file at a name whose old file was removed or replaced outside this Env.
    if (auto it = tracked_.find(id); it != tracked_.end() && it->second.path != path)
      it->second.path = path;
  }
  auto fault_file = std::make_unique<FaultFile>(std::move(file), this, id);
  if (truncates) {
    if (Status s = fault_file->Truncate(0); !s.ok()) return s;
  }
  *out = std::move(fault_file);
  return Result(0);
}

Status FaultInjectionEnv::Remove(const std::string& path) {
  return RemoveTracked(path, false);
}

Status FaultInjectionEnv::RemoveTemporary(const std::string& path) {
  return RemoveTracked(path, true);
}

Status FaultInjectionEnv::RemoveTracked(const std::string& path, bool temporary) {
  if (Halted()) return Result(syserr::kWriteFault);
  FileId id;
  const bool known = StatId(path, &id);
  const Status s = temporary ? target()->RemoveTemporary(path) : target()->Remove(path);
  if (s.ok() && known) {
    std::lock_guard guard(mutex_);
    tracked_.erase(id);
  }
  return s;
}

Status FaultInjectionEnv::Rename(const std::string& from, const std::string& to) {
  if (Halted()) return Result(syserr::kWriteFault);
  FileId moved, replaced;
  const bool has_moved = StatId(from, &moved);
  const bool has_replaced = StatId(to, &replaced);
  const Status s = target()->Rename(from, to);
  if (s.ok()) {
    std::lock_guard guard(mutex_);
    if (has_replaced && (!has_moved || replaced != moved)) tracked_.erase(replaced);
    if (has_moved) {
      if (auto it = tracked_.find(moved); it != tracked_.end()) it->second.path = to;
    }
  }
  return s;
}

Status FaultInjectionEnv::CreateDirectories(const std::string& path) {
  if (Halted()) return Result(syserr::kWriteFault);
  return target()->CreateDirectories(path);
}

Status FaultInjectionEnv::CreateTempFile(const std::string& prefix, std::string* path) {
  if (Halted()) return Result(syserr::kWriteFault);
  return target()->CreateTempFile(prefix, path);
}

uint64_t FaultInjectionEnv::operations() const {
  return operations_.load();
}
uint64_t FaultInjectionEnv::writes() const {
  return writes_.load();
}
uint64_t FaultInjectionEnv::truncates() const {
  return truncates_.load();
}
uint64_t FaultInjectionEnv::flushes() const {
  return flushes_.load();
}

void FaultInjectionEnv::StopAt(uint64_t k) {
  std::lock_guard guard(mutex_);
  stop_at_ = k;
  stopped_ = k != 0 && operations_.load() >= k;
}

bool FaultInjectionEnv::stopped() const {
  return Halted();
}

void FaultInjectionEnv::SetTearSeed(uint64_t seed) {
  std::lock_guard guard(mutex_);
  tear_seed_ = seed;
}

bool FaultInjectionEnv::Crash(UnflushedFate fate, std::vector<CrashedOperation>* report) {
  std::lock_guard guard(mutex_);
  crashed_ = true;
  stopped_ = true;
  int error = 0;
  std::vector<std::pair<uint64_t, FileId>> in_order;
  for (const auto& [id, tracked] : tracked_) in_order.emplace_back(tracked.order, id);
  std::sort(in_order.begin(), in_order.end());
  SplitMix64 random(tear_seed_);
  for (const auto& [order, id] : in_order) {
    Tracked& tracked = tracked_[id];
    if (tracked.unflushed.empty()) continue;
    std::vector<CrashedOperation> done;
    for (const Unflushed& op : tracked.unflushed) {
      CrashedOperation c;
      c.path = tracked.path;
      c.kind = op.kind;
      c.offset = op.offset;
      c.length = op.new_bytes.size();
      if (fate == UnflushedFate::kKeep) {
        c.kept_bytes = op.kind == CrashedOperation::Kind::kWrite ? c.length : 1;
      } else if (fate == UnflushedFate::kTear) {
        const uint64_t r = random.Next();
        if (op.kind == CrashedOperation::Kind::kTruncate) {
          c.kept_bytes = r & 1;
        } else {
          switch (r % 3) {
            case 0:
              c.kept_bytes = c.length;
              break;
            case 1:
              c.kept_bytes = 0;
              break;
            default:
              c.kept_bytes = c.length == 0 ? 0 : (r >> 8) % c.length;
              break;
          }
        }
      }
      done.push_back(c);
    }
    if (fate != UnflushedFate::kKeep) {
      const int fd = ::open(tracked.path.c_str(), O_RDWR | O_CLOEXEC);
      FileId now;
      if (fd < 0 || !StatId(tracked.path, &now) || now != id) {
        // The file went away outside this Env; there is nothing left to rewrite.
        if (fd >= 0) ::close(fd);
        continue;
      }
      // Undo every unflushed operation, newest first: each undo gives back exactly the file as
      // it was before that operation, so at the end the file is as its last flush left it ...
      for (auto op = tracked.unflushed.rbegin(); op != tracked.unflushed.rend() && error == 0;
           ++op) {
        if (op->kind == CrashedOperation::Kind::kWrite) {
          error = RawWrite(fd, op->offset, op->old_bytes.data(), op->old_bytes.size());
          if (error == 0) error = RawTruncate(fd, op->size_before);
        } else {
          error = RawTruncate(fd, op->size_before);
          if (error == 0 && op->offset < op->size_before)
            error = RawWrite(fd, op->offset, op->old_bytes.data(), op->old_bytes.size());
        }
      }
      // ... then make again, oldest first, what of them survived.
      for (size_t i = 0; i < done.size() && error == 0; ++i) {
        const Unflushed& op = tracked.unflushed[i];
        if (done[i].kept_bytes == 0) continue;
        if (op.kind == CrashedOperation::Kind::kWrite) {
          error = RawWrite(fd, op.offset, op.new_bytes.data(), done[i].kept_bytes);
        } else {
          error = RawTruncate(fd, op.offset);
        }
      }
      if (error == 0 && sync_ == DiskSync::kReal && ::fsync(fd) != 0) error = errno;
      ::close(fd);
    }
    if (report) report->insert(report->end(), done.begin(), done.end());
    if (error != 0) break;
  }
  tracked_.clear();
  if (error != 0) {
    SetLastSystemError(SystemErrorFromErrno(error));
    return false;
  }
  SetLastSystemError(0);
  return true;
}

}  // namespace pellucor::platform
