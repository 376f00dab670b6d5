// The Kestrune driver: carries out the file operations of the driver entry (data/driver/driver.h)
// on Kestrune files (data/pagefile/page_file.h), shared between programs through byte-range locks.
//
// Use: point a declaration's `driver` at KestruneDriverInstance() and call Dispatch.
//
//   auto notes = app::MakeSNotes(&data::KestruneDriverInstance());
//   OpArgs open; open.mode = 0x22;
//   Dispatch(*notes, Op::kOPEN, open);
//
// Sharing. One physical file per file on disk and process (a process-wide list by full path,
// compared without regard to case, with a use count), whose sharing class comes from the first
// open's access mode: shared (compatibility or deny none), single writer (deny write) or
// exclusive (deny all, deny read). Locks, all at 2 GiB plus:
//   0..1022   one reader slot, held by a shared open for the length of one reading operation;
//   0..1022   the whole range, held by a writer of a shared or single-writer file from before its
//             first change until its commit (across a STREAM or LOGOUT until FLUSH / COMMIT /
//             ROLLBACK), so that no reader is inside while pages are written in place;
//   1023      the writer byte, held by a single-writer open while it repairs the file from a log;
//   1025 + n  the table lock of LOCK (n the table number) or the hold of record n.
// Every operation checks the header once (an exclusive or single-writer open only at open, since
// nobody else writes) and ends with the commit of what it changed. The header is only ever read
// under a reader slot or the whole range (at open too: a writer opens under the whole range, a
// reader under a slot), and only the holder of the whole range writes it outside its own commit
// (an empty file's first header, a stopped writer's log applied or discarded, a stopped
// transaction rolled back). physical_file.cpp lists the lock of every path.
//
// Transactions. LOGOUT holds back the commits of the files written until COMMIT or ROLLBACK. The
// transaction control file (per user, DefaultTransactionControlFile(); SEND "TCF=name" changes
// it) records each file's logged change counter before its log is written and the transaction's
// "committed" mark before any log is applied, so a log found at open is applied only when its
// transaction committed.
//
// Threads: one program thread at a time (the run lock); nothing here locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/driver/driver.h"
#include "data/pagefile/page_file.h"
#include "platform/file.h"

namespace pellucor::data {

// Settings of the process's Kestrune driver, for tests, tools and benchmarks.
struct KestruneSettings {
  platform::Env* env = nullptr;  // nullptr: the real file system
  pagefile::SplitLimits split;   // page split thresholds of files opened from now on
  size_t cache_pages = 8192;     // clean pages kept per physical file
};

class KestruneDriver : public Driver {
 public:
  KestruneDriver();
  ~KestruneDriver() override;

  std::string_view Name() const override { return "KESTRUNE"; }
  std::string_view ProfileSection() const override { return "QNKESTRUNE"; }
  std::string_view DefaultTraceFile() const override { return "KESTRUNE.LOG"; }
  int32_t CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state) override;
  OpResult Handle(FileBlock& block, Op op, OpArgs& args) override;

  // Applies to files opened afterwards.
  void SetSettings(const KestruneSettings& settings) { settings_ = settings; }
  const KestruneSettings& settings() const { return settings_; }

 private:
  KestruneSettings settings_;
};

// The process's Kestrune driver.
KestruneDriver& KestruneDriverInstance();

// The per-user transaction control file: $XDG_STATE_HOME/pellucor/kestrune.tcf (XDG_STATE_HOME
// defaulting to ~/.local/state).
std::string DefaultTransactionControlFile();
// The transaction control file in use now (SEND "TCF" reads it, "TCF=name" sets it; empty: none).
const std::string& TransactionControlFile();
void SetTransactionControlFile(std::string path);

// One reader slot of a Kestrune file, held for as long as this lives: while it is held no other
// program commits to the file (a committing writer holds every slot). For tools that read a
// shared file through a page file of their own (opened with defer_header, then CheckHeader
// under this lock). Waits while a writer is inside; held() is false when the lock failed.
class ReaderSlotLock {
 public:
  explicit ReaderSlotLock(platform::File* file);
  ~ReaderSlotLock();
  ReaderSlotLock(const ReaderSlotLock&) = delete;
  ReaderSlotLock& operator=(const ReaderSlotLock&) = delete;
  bool held() const { return held_; }

 private:
  platform::File* file_;
  uint32_t slot_ = 0;
  bool held_ = false;
};

// How many physical files the process has open (tests check that closing the last user closes).
size_t OpenPhysicalFileCount();

// Commits made by the physical file of `path` since it was opened, or 0 when it is not open.
// For tests and benchmarks that count the work an operation does.
uint64_t CommitsOf(const std::string& path);

}  // namespace pellucor::data
