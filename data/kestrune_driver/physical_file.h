// The process-wide list of physical files, their locks, and the bracket every operation runs in.
// Private to data/kestrune_driver/.
#pragma once

#include <memory>
#include <string>

#include "data/kestrune_driver/driver_state.h"
#include "data/kestrune_driver/kestrune_driver.h"

namespace pellucor::data::kdriver {

struct PhysicalOpen {
  std::string path;  // as the name gave it (with ".KSR" added)
  SharingClass sharing = SharingClass::kShared;
  bool may_write = false;
  pagefile::CreateMode create = pagefile::CreateMode::kOpenExisting;
  std::string owner;  // non-empty: enciphered
};

// Finds the physical file of the path in the process's list (sharing it, use count up) or opens
// it. Returns nullptr with *error set (2 missing, 5 sharing, 36 not a Kestrune file, 300 + ...).
std::shared_ptr<PhysicalFile> AcquirePhysicalFile(const PhysicalOpen& open,
                                                  const KestruneSettings& settings, int32_t* error);
// One user fewer; the file is closed when its last user leaves.
void ReleasePhysicalFile(const std::shared_ptr<PhysicalFile>& file);

// The full path the list compares (absolute, normalised).
std::string FullPath(const std::string& path);
// The physical file of a path when this process has it open, else nullptr.
std::shared_ptr<PhysicalFile> FindPhysicalFile(const std::string& path);

enum class OpKind : uint8_t {
  kRead,   // reads only: a reader slot on a shared file
  kWrite,  // may change the file: the whole slot range on a shared or single-writer file
};

// The start of an operation: takes the lock its kind needs and checks the header once. Returns 0
// or the error (5 when the lock cannot be taken, the header check's error).
[[nodiscard]] int32_t BeginOperation(PhysicalFile& file, OpKind kind);
// The end of an operation: commits what it changed unless commits are deferred (a STREAM counts
// the operation in *table and commits after 5000 of them or 40 changed pages), then releases
// what the operation took. Returns 0 or the commit's error.
[[nodiscard]] int32_t EndOperation(PhysicalFile& file, OpenTable* table);
// Commits pending changes now (FLUSH, the end of a build); 0 or the error.
[[nodiscard]] int32_t CommitNow(PhysicalFile& file);
// Releases the whole range when nothing uncommitted needs it any more.
void ReleaseRangeIfIdle(PhysicalFile& file);

// Number locks (table locks and record holds). TryNumberLock returns true when taken (or already
// held by this process: the count goes up).
[[nodiscard]] bool TryNumberLock(PhysicalFile& file, uint32_t number);
void ReleaseNumberLock(PhysicalFile& file, uint32_t number);
// True when this process holds the number lock.
bool HoldsNumberLock(const PhysicalFile& file, uint32_t number);

// The error code the last failing page-file call posted (never 0 after a failure).
int32_t PostedError();

}  // namespace pellucor::data::kdriver
