#include "data/kestrune_driver/physical_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "data/kestrune_driver/transaction_control.h"
#include "platform/clock.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;

std::vector<std::shared_ptr<PhysicalFile>>& List() {
  static std::vector<std::shared_ptr<PhysicalFile>> list;
  return list;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

platform::Share ShareOf(SharingClass sharing) {
  switch (sharing) {
    case SharingClass::kSingleWriter:
      return platform::Share::kDenyWrite;
    case SharingClass::kExclusive:
      return platform::Share::kDenyAll;
    case SharingClass::kShared:
      break;
  }
  return platform::Share::kDenyNone;
}

int32_t LockError(const platform::Status& s) {
  runtime::PostErrorWithSystem(err::kAccessDenied, s.error);
  return err::kAccessDenied;
}

bool TakeRange(PhysicalFile& f) {
  if (f.range_held || f.sharing == SharingClass::kExclusive) return true;
  if (f.slot_held) {
    (void)f.pf->file()->Unlock(kLockBase + f.slot, 1);
    f.slot_held = false;
  }
  if (!f.pf->file()->Lock(kLockBase, kReaderSlots, platform::LockWait::kWait).ok()) return false;
  f.range_held = true;
  f.header_checked = false;
  return true;
}

void ReleaseRange(PhysicalFile& f) {
  if (!f.range_held) return;
  (void)f.pf->file()->Unlock(kLockBase, kReaderSlots);
  f.range_held = false;
}

// Takes one reader slot from *slot on. Another reader on a slot: move on. Two refusals in a row
// mean a writer holds the whole range: wait on the slot until it is done.
bool LockReaderSlot(platform::File* file, uint32_t* slot) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (file->Lock(kLockBase + *slot, 1, platform::LockWait::kNoWait).ok()) return true;
    *slot = (*slot + 1) % kReaderSlots;
  }
  return file->Lock(kLockBase + *slot, 1, platform::LockWait::kWait).ok();
}

bool TakeSlot(PhysicalFile& f) {
  f.slot_held = LockReaderSlot(f.pf->file(), &f.slot);
  return f.slot_held;
}

void ReleaseSlot(PhysicalFile& f) {
  if (!f.slot_held) return;
  (void)f.pf->file()->Unlock(kLockBase + f.slot, 1);
  f.slot_held = false;
}

// Rolls back this file's part of a transaction whose program stopped before it committed, so
// that the page file never meets that transaction's log. REQUIRES: the whole range (or the file
// alone) is held.
bool RestoreIfPending(PhysicalFile& f) {
  return !f.may_write || !MayHavePending() || RestoreUncommitted(f.pf->file(), f.path);
}

// The first reading of the header, at open. A writer takes the whole range for it (so that it
// may give an empty file its first header, roll back a stopped transaction, and apply or discard
// a stopped writer's log, with nobody else inside); a single writer also takes the writer byte,
// which tells others a repair may be under way. A reader takes a reader slot, so that no commit
// is in progress while it reads. A file opened alone needs neither.
int32_t FirstHeaderCheck(PhysicalFile& f) {
  const bool single = f.may_write && f.sharing == SharingClass::kSingleWriter;
  if (single && !f.pf->file()->Lock(kLockBase + kWriterByte, 1, platform::LockWait::kWait).ok()) {
    return LockError({platform::LastSystemError()});
  }
  int32_t e = 0;
  runtime::ClearError();
  if (f.may_write) {
    if (!TakeRange(f)) {
      e = LockError({platform::LastSystemError()});
    } else if (!RestoreIfPending(f) || !f.pf->CheckHeader(pagefile::LogHandling::kApply)) {
      e = PostedError();
    }
    ReleaseRange(f);
  } else {
    if (f.sharing != SharingClass::kExclusive && !TakeSlot(f)) {
      e = LockError({platform::LastSystemError()});
    } else if (!f.pf->CheckHeader(pagefile::LogHandling::kReadThrough)) {
      e = PostedError();
    }
    ReleaseSlot(f);
  }
  if (single) (void)f.pf->file()->Unlock(kLockBase + kWriterByte, 1);
  f.header_checked = false;
  return e;
}

}  // namespace

int32_t PostedError() {
  const int32_t code = runtime::ErrorCode();
  return code != 0 ? code : err::kSystemBase + platform::syserr::kUnknown;
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) return path;
  p = p.lexically_normal();
  auto canonical = std::filesystem::weakly_canonical(p, ec);
  return ec ? p.string() : canonical.string();
}

std::shared_ptr<PhysicalFile> FindPhysicalFile(const std::string& path) {
  const std::string key = Lower(FullPath(path));
  for (const auto& f : List()) {
    if (f->list_key == key) return f;
  }
  return nullptr;
}

std::shared_ptr<PhysicalFile> AcquirePhysicalFile(const PhysicalOpen& open,
                                                  const KestruneSettings& settings,
                                                  int32_t* error) {
  const std::string full = FullPath(open.path);
  const std::string key = Lower(full);
  for (const auto& f : List()) {
    // A file opened for reading only cannot serve a writer: that one opens its own.
    if (f->list_key == key && (f->may_write || !open.may_write)) {
      ++f->users;
      return f;
    }
  }
  auto f = std::make_shared<PhysicalFile>();
  f->path = full;
  f->list_key = key;
  f->sharing = open.sharing;
  f->may_write = open.may_write;
  f->slot = static_cast<uint32_t>(getpid()) % kReaderSlots;
  pagefile::OpenOptions options;
  options.env = settings.env;
  options.mode = open.may_write ? pagefile::OpenMode::kReadWrite : pagefile::OpenMode::kReadOnly;
  options.share = ShareOf(open.sharing);
  options.create = open.create;
  options.owner = open.owner;
  options.split = settings.split;
  options.cache_pages = settings.cache_pages;
  // The header is read below, under the lock that reading it needs, never here.
  options.defer_header = true;
  options.log_uncommitted = [full](const pagefile::FileHeader& logged) {
    return LogUncommitted(full, logged);
  };
  runtime::ClearError();
  f->pf = pagefile::PageFile::Open(open.path, options);
  if (!f->pf) {
    *error = PostedError();
    if (*error == err::kSystemBase + platform::syserr::kSharingViolation) {
      *error = err::kAccessDenied;
    }
    return nullptr;
  }
  if (const int32_t e = FirstHeaderCheck(*f); e != 0) {
    *error = e;
    return nullptr;
  }
  f->users = 1;
  List().push_back(f);
  return f;
}

void ReleasePhysicalFile(const std::shared_ptr<PhysicalFile>& file) {
  if (!file || --file->users > 0) return;
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), file), list.end());
}

// Locks by path (what each path holds while it reads or writes the header, the log or pages):
//   open (FirstHeaderCheck)       writer: the whole range (+ the writer byte when single writer);
//                                 reader: a reader slot; a file opened alone: nothing
//   a reading operation           shared file: a reader slot (or the range it already holds);
//                                 single writer / alone: nothing, nobody else writes
//   a writing operation           the whole range, from before the header check until the
//                                 commit (across a STREAM, a LOGOUT or a build until they end);
//                                 a file opened alone: nothing
//   CREATE of a further table, BUILD, PACK, REMOVE, RENAME
//                                 writing operations, as above
//   close                         a pending commit runs under the range its changes hold
//   transaction COMMIT / ROLLBACK under the range each file's changes hold
// Only the holder of the whole range (or of the file alone) writes outside its own commit: the
// first header of an empty file, a stopped transaction rolled back, a stopped writer's log
// applied or discarded; and it reads the header again under that range first.
int32_t BeginOperation(PhysicalFile& f, OpKind kind) {
  if (kind == OpKind::kWrite && !f.may_write) {
    runtime::PostError(err::kAccessDenied);
    return err::kAccessDenied;
  }
  if (kind == OpKind::kWrite && f.ReadersElsewhere()) {
    const bool had_range = f.range_held;
    if (!TakeRange(f)) return LockError({platform::LastSystemError()});
    // Another program's transaction may have stopped before it committed since this file was
    // opened: roll back its part before the header is read.
    if (!had_range && f.OthersMayWrite() && !RestoreIfPending(f)) {
      ReleaseRangeIfIdle(f);
      return PostedError();
    }
  } else if (f.OthersMayWrite() && !f.range_held && !f.slot_held) {
    if (!TakeSlot(f)) return LockError({platform::LastSystemError()});
    f.header_checked = false;
  }
  // Nobody else writes a single-writer or exclusive file, nor a shared one while this process
  // holds the whole range: the header read at open (or when the range was taken) still holds.
  const bool check = f.OthersMayWrite() && !f.header_checked;
  if (check || (kind == OpKind::kWrite && f.pf->LogPending())) {
    const auto handling = kind == OpKind::kWrite ? pagefile::LogHandling::kApply
                                                 : pagefile::LogHandling::kReadThrough;
    runtime::ClearError();
    if (!f.pf->CheckHeader(handling)) {
      const int32_t e = PostedError();
      ReleaseSlot(f);
      ReleaseRangeIfIdle(f);
      return e;
    }
    f.header_checked = true;
  }
  return 0;
}

int32_t CommitNow(PhysicalFile& f) {
  if (!f.pf->HasChanges()) return 0;
  runtime::ClearError();
  if (!f.pf->Commit()) return PostedError();
  return 0;
}

void ReleaseRangeIfIdle(PhysicalFile& f) {
  if (f.range_held && !f.pf->HasChanges() && !f.in_transaction) {
    ReleaseRange(f);
    f.header_checked = false;
  }
}

int32_t EndOperation(PhysicalFile& f, OpenTable* table) {
  int32_t e = 0;
  if (f.pf->HasChanges()) {
    if (!f.CommitsDeferred()) {
      e = CommitNow(f);
    } else if (f.streams > 0 && !f.in_transaction && !f.build_running && table != nullptr &&
               table->stream_active) {
      ++table->deferred_ops;
      if (table->deferred_ops >= 5000 || f.pf->DirtyPageCount() >= 40) {
        table->deferred_ops = 0;
        e = CommitNow(f);
      }
    }
  }
  ReleaseRangeIfIdle(f);
  ReleaseSlot(f);
  if (!f.range_held) f.header_checked = false;
  return e;
}

bool TryNumberLock(PhysicalFile& f, uint32_t number) {
  for (auto& [n, count] : f.number_locks) {
    if (n == number) {
      ++count;
      return true;
    }
  }
  if (!f.pf->file()
           ->Lock(kLockBase + kNumberLockBase + number, 1, platform::LockWait::kNoWait)
           .ok()) {
    return false;
  }
  f.number_locks.emplace_back(number, 1);
  return true;
}

void ReleaseNumberLock(PhysicalFile& f, uint32_t number) {
  for (auto it = f.number_locks.begin(); it != f.number_locks.end(); ++it) {
    if (it->first != number) continue;
    if (--it->second == 0) {
      (void)f.pf->file()->Unlock(kLockBase + kNumberLockBase + number, 1);
      f.number_locks.erase(it);
    }
    return;
  }
}

bool HoldsNumberLock(const PhysicalFile& f, uint32_t number) {
  return std::any_of(f.number_locks.begin(), f.number_locks.end(),
                     [&](const auto& p) { return p.first == number; });
}

}  // namespace pellucor::data::kdriver

namespace pellucor::data {

ReaderSlotLock::ReaderSlotLock(platform::File* file)
    : file_(file), slot_(static_cast<uint32_t>(getpid()) % kdriver::kReaderSlots) {
  held_ = kdriver::LockReaderSlot(file_, &slot_);
}

ReaderSlotLock::~ReaderSlotLock() {
  if (held_) (void)file_->Unlock(kdriver::kLockBase + slot_, 1);
}

size_t OpenPhysicalFileCount() {
  return kdriver::List().size();
}

uint64_t CommitsOf(const std::string& path) {
  auto f = kdriver::FindPhysicalFile(path);
  return f ? f->pf->stats().commits : 0;
}

}  // namespace pellucor::data
