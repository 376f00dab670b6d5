// Envs for crash-safety tests and benchmarks of the data engine.
//
// CountingEnv counts the writes and flushes made through the files it opened, and nothing else.
//
// FaultInjectionEnv also remembers, per file, every write (and truncation) that no later
// successful Flush of that file has covered, together with the bytes and the size it replaced.
// With that it can
//   - stop the machine: StopAt(k) makes the k-th counted operation and every later one fail with
//     syserr::kWriteFault, without touching the file;
//   - crash it: Crash(fate) rewrites every file it touched as a machine crash could have left it
//     (see UnflushedFate), and every later call through this Env or its files fails.
// The test then reopens the files through a fresh Env and checks what remains.
//
// Counted operations, numbered from 1 in the order they are made on any file of this Env:
// File::Write, File::Truncate and File::Flush (also failed ones). A kCreateAlways open of an
// existing file counts as the truncation it makes. Opens that create, Remove, Rename,
// CreateDirectories and CreateTempFile are not counted (the real Env makes them durable at
// once), but they too fail once the machine has stopped.
//
// The files an Env opened must not outlive it. Crash needs the target to be the real file system:
// it rewrites the files with plain POSIX calls, past any share mode that a still-open file of the
// engine holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file.h"

namespace pellucor::platform {

class CountingEnv : public EnvWrapper {
 public:
  explicit CountingEnv(Env* target) : EnvWrapper(target) {}

  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* out) override;

  uint64_t writes() const { return writes_.load(); }
  uint64_t flushes() const { return flushes_.load(); }
  uint64_t bytes_written() const { return bytes_written_.load(); }
  void ResetCounters();

 private:
  friend class CountingFile;
  std::atomic<uint64_t> writes_{0};
  std::atomic<uint64_t> flushes_{0};
  std::atomic<uint64_t> bytes_written_{0};
};

// What a crash does to the writes of a file that no later successful flush covered.
enum class UnflushedFate {
  kKeep,  // all of them reached the disk
  kDrop,  // none did: the file has the contents and the size of its last flush
  // Each one, in the order made, was kept whole, dropped, or cut after a prefix (a truncation is
  // kept or dropped). The choices follow from the seed given to SetTearSeed and the order in
  // which the files were first written, so the same run with the same seed tears the same way.
  kTear,
};

// What Crash did to one unflushed operation, for tests that check the outcome byte by byte.
struct CrashedOperation {
  std::string path;
  enum class Kind { kWrite, kTruncate } kind = Kind::kWrite;
  uint64_t offset = 0;      // the write's offset, or the truncation's new size
  uint64_t length = 0;      // bytes the write carried
  uint64_t kept_bytes = 0;  // how many of them survived (a truncation: 1 kept, 0 dropped)
};

// Whether FaultInjectionEnv's flushes also reach the disk. The crash it simulates depends only on
// which writes a flush covered, so by default a flush is recorded but the (slow) fdatasync is
// left out: crash tests that try every stop point run many times faster, and what a fresh Env
// reads afterwards is the same. Benchmarks that time commits use CountingEnv, whose flushes are
// real.
enum class DiskSync { kSkip, kReal };

class FaultInjectionEnv : public EnvWrapper {
 public:
  explicit FaultInjectionEnv(Env* target, DiskSync sync = DiskSync::kSkip)
      : EnvWrapper(target), sync_(sync) {}
  ~FaultInjectionEnv() override;

  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* out) override;
  Status Remove(const std::string& path) override;
  Status RemoveTemporary(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status CreateDirectories(const std::string& path) override;
  Status CreateTempFile(const std::string& prefix, std::string* path) override;

  // Counted operations so far (all kinds), and of each kind.
  uint64_t operations() const;
  uint64_t writes() const;  // Write calls
  uint64_t truncates() const;
  uint64_t flushes() const;

  // The k-th counted operation (from 1) and every later one fail; 0 never stops.
  void StopAt(uint64_t k);
  bool stopped() const;
  void SetTearSeed(uint64_t seed);

  // Rewrites every touched file as the fate says, forgets what it tracked, and returns what it
  // did to each unflushed operation, oldest first per file. Afterwards every call fails.
  // Returns false (with the system error in LastSystemError) when a file cannot be rewritten.
  [[nodiscard]] bool Crash(UnflushedFate fate, std::vector<CrashedOperation>* report = nullptr);

 private:
  friend class FaultFile;
  struct Unflushed {
    CrashedOperation::Kind kind;
    uint64_t offset;           // write offset, or the truncation's new size
    std::string new_bytes;     // what the write carried
    std::string old_bytes;     // what it replaced within the old size (a truncation: what it cut)
    uint64_t size_before = 0;  // the file size before the operation
  };
  struct Tracked {
    uint64_t order = 0;  // files are torn in the order this Env first wrote to them
    std::string path;
    std::vector<Unflushed> unflushed;  // oldest first
  };
  using FileId = std::pair<uint64_t, uint64_t>;  // device, inode

  // Counts one operation; false when the machine has stopped (the operation must fail).
  bool Admit(std::atomic<uint64_t>* kind_counter);
  bool Halted() const;
  Status RemoveTracked(const std::string& path, bool temporary);
  Tracked& TrackedFile(FileId id, const std::string& path);

  const DiskSync sync_;
  mutable std::mutex mutex_;  // guards tracked_; held for a file operation and its record
  std::map<FileId, Tracked> tracked_;
  std::atomic<uint64_t> operations_{0};
  std::atomic<uint64_t> writes_{0};
  std::atomic<uint64_t> truncates_{0};
  std::atomic<uint64_t> flushes_{0};
  std::atomic<uint64_t> stop_at_{0};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> crashed_{false};
  uint64_t tear_seed_ = 0x5eed;
  uint64_t files_touched_ = 0;
};

}  // namespace pellucor::platform
