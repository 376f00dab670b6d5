// The Kestrune page file: one open file on disk holding a single B-tree of entries (key part +
// data part, ordered as kestrune::CompareKeys says), its pages kept in regions by size, written
// through a log so that a crash never leaves a half-written tree, and optionally enciphered.
//
// What the driver does with it, per operation:
//
//   CheckHeader(...)             once, before the first page is read, under a reader slot
//                                (kReadThrough) or the whole slot range (kApply)
//   Get / Insert / Put / Erase   any number, Cursor scans
//   Commit()                     when something changed and no stream defers it (all reader
//                                slots held); or PrepareCommit() + FinishCommit() around the
//                                transaction control file's "committed" mark
//
// Commit protocol (the order of the steps is what makes a crash harmless):
//   1. pages beyond the committed page space are written in place; images of pages that existed
//      at the last commit, and the header's own image (offset 0), go to the log past the end of
//      the page space; flush;
//   2. the header is written pointing at the log; flush;          (PrepareCommit ends here)
//   3. every log record is copied to its own offset; flush;
//   4. the header is written with an empty log and the change counter increased; flush.
// That is four flushes a commit (three when no page that existed before changed: step 3 then
// has nothing to copy). The flush after step 3 keeps a header saying "empty log" from reaching
// the disk before the pages it relies on.
// A reader or a later opener that finds a non-empty log either applies it (steps 3 and 4) or,
// when it may not write, reads pages through it.
//
// Errors: nothing here throws. Failures the caller can meet (a file that is not a Kestrune file,
// I/O errors, sharing) post an error code to the runtime's error state and return false or
// nullptr. Structural damage that a correctly written file cannot hold stops the program through
// runtime::InternalErrorStop with the guard's number (1735 page in no region, 2172 short read,
// 2277 read failed, 1602/522/530 page damage, ...).
//
// Sharing: nothing here takes a lock; the caller does. Reading the header is only sound while no
// other program is in the middle of a commit (the caller holds a reader slot, the whole slot
// range, or the file alone), and only a caller holding the whole range (or the file alone) may
// write outside a commit: the fresh header of an empty file, a stopped writer's log applied or
// discarded. CheckHeader(kApply) is that caller's call; kReadThrough never writes. A shared
// opener passes defer_header and makes its first CheckHeader under its lock: the header is
// then never read while another program may be writing it.
//
// Threads: one thread at a time (the run lock); nothing here locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/kestrune/page_codec.h"
#include "data/pagefile/file_header.h"
#include "platform/file.h"

namespace pellucor::data::pagefile {

using ByteSpan = std::span<const uint8_t>;

// When a page splits after an insertion (tests force tiny pages with smaller numbers).
struct SplitLimits {
  uint32_t always = kestrune::kSplitAccountAlways;  // size account that always splits
  uint32_t many = kestrune::kSplitAccountMany;      // ... that splits a page of many entries
  size_t many_count = kestrune::kSplitEntryCount;   // how many entries are "many"
};

// How a header check treats a log left by a writer that stopped in the middle of a commit.
enum class LogHandling {
  kApply,        // REQUIRES: opened for writing and the caller holds the write lock (the whole
                 // reader-slot range, or the file alone): a log is applied, or discarded when it
                 // cannot be read whole, and an empty file gets its first header
  kReadThrough,  // writes nothing: read pages through the log; a log that cannot be read whole
                 // is passed over (the tree as it was before that log) until a writer discards it
};

enum class OpenMode { kReadOnly, kReadWrite };
enum class CreateMode {
  kOpenExisting,  // the file must exist; an empty file is taken as a new file
  kOpenOrCreate,  // creates a missing file
  kCreateAlways,  // creates or truncates (the CREATE operation)
};

struct OpenOptions {
  platform::Env* env = nullptr;  // nullptr: platform::Env::Default()
  OpenMode mode = OpenMode::kReadWrite;
  platform::Share share = platform::Share::kDenyNone;
  CreateMode create = CreateMode::kOpenExisting;
  // Non-empty: the file is enciphered with a key derived from this owner text.
  std::string owner;
  SplitLimits split;
  // Clean pages kept in the cache between operations (dirty pages are always kept).
  size_t cache_pages = 8192;
  // What the open does with a log a stopped writer left: a writable open applies it by default
  // (exclusive and single-writer opens, tools); a shared writer passes kReadThrough and applies
  // it with ApplyLog() once it holds the write lock.
  LogHandling log_at_open = LogHandling::kApply;
  // True: Open only opens the file and reads nothing; the first CheckHeader reads the header
  // (and handles an empty file and a log), under whatever lock the caller took for it.
  bool defer_header = false;
  // The transaction control file's check (see SetTransactionCheck); may be empty.
  std::function<bool(const FileHeader& logged)> log_uncommitted;
};

enum class SeekBias {
  kAtOrAfter,   // the first entry not less than the key
  kAfter,       // the first entry greater than the key
  kAtOrBefore,  // the last entry not greater than the key
  kBefore,      // the last entry less than the key
};

struct PageFileStats {
  uint64_t commits = 0;
  uint64_t flushes = 0;
  uint64_t pages_written = 0;  // in place or to the log
  uint64_t log_records = 0;
  uint64_t pages_read = 0;  // from the file (cache misses)
  uint64_t page_moves = 0;  // pages rewritten at another number (regions making room)
};

class Cursor;

class PageFile {
 public:
  // Opens (or creates) the file. An empty file becomes a new Kestrune file (when writable).
  // Failures post the error and return nullptr: 36 for a file that is not a Kestrune file (too
  // short, no signature, wrong owner of an enciphered file), 2/3/5/32... as 300 + the system
  // error for the file system's refusals.
  static std::unique_ptr<PageFile> Open(const std::string& path, const OpenOptions& options);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // The header check of an operation. When the stored header differs from the one last seen,
  // the page cache is dropped and a non-empty log is handled as `handling` says (a log that
  // cannot be read, or that the transaction check calls uncommitted, is discarded under kApply
  // and passed over otherwise). False (error posted) when the header cannot be read, is no
  // longer a Kestrune header, or contradicts the file (36, with the file error saying how: a
  // tree on pages the header's counter or root deny, a page space beyond the end of the file,
  // the header of a new file in front of pages); nothing is written into such a file.
  [[nodiscard]] bool CheckHeader(LogHandling handling);
  // A log that a stopped writer left is still in the file, read through or passed over: the next
  // writer must handle it (CheckHeader(kApply)).
  bool LogPending() const;
  // Applies a pending log. REQUIRES: writable, the caller holds the write lock.
  [[nodiscard]] bool ApplyLog();
  // Asked when a non-empty log is found: true means that the log belongs to a transaction the
  // transaction control file marks as not committed, so the log is discarded.
  void SetTransactionCheck(std::function<bool(const FileHeader& logged)> log_uncommitted);

  // Entries. Keys are whole key parts; a lookup is exact.
  [[nodiscard]] bool Get(ByteSpan key, std::vector<uint8_t>* data);
  bool Contains(ByteSpan key);
  // Like Get, without the copy: *data points into the cached page and stays valid only until the
  // next call on this file (any call may drop or change cached pages).
  [[nodiscard]] bool Peek(ByteSpan key, ByteSpan* data);
  // Copies the data of the entry with this key into `out` (at most out.size() bytes) and sets
  // *length to the data's whole length; false when there is none. A leaf not in the cache is
  // read and unpacked only as far as the entry, and not cached: a read in another key's order
  // (a record fetched for each key entry) meets a different leaf almost every time. A leaf read
  // so lately (within half the cache's size of such reads) is cached at its second read, so that
  // rows read over and over (a browse's page) come from memory.
  [[nodiscard]] bool ReadData(ByteSpan key, std::span<uint8_t> out, size_t* length);
  // Adds an entry; false (nothing changed) when an entry with this key exists.
  [[nodiscard]] bool Insert(ByteSpan key, ByteSpan data);
  // Adds the entry or replaces the data of the existing one.
  void Put(ByteSpan key, ByteSpan data);
  // Removes the entry; false when there is none.
  bool Erase(ByteSpan key);
  // The longest key + data an entry may have.
  static size_t MaxEntryBytes();

  // The file's number sequence (table and record numbers). Stops with internal error 1173 when
  // the next number would start with 0xFE.
  uint32_t NextNumber();
  uint32_t LastNumber() const { return header_.last_number; }

  // Changes since the last commit.
  bool HasChanges() const { return changed_; }
  size_t DirtyPageCount() const;
  // Makes the changes permanent (all four steps). False with the error posted on a write
  // failure; the changes are then dropped and the file is as before or after (a log that the
  // next header check handles).
  [[nodiscard]] bool Commit();
  // A transaction's commit, in two halves around the transaction control file's mark.
  // Steps 1 and 2, with the header of step 2 still naming the old tree: afterwards a crash keeps
  // the changes unless the transaction check calls the log uncommitted, which discards it.
  [[nodiscard]] bool PrepareCommit();
  // Steps 3 and 4 (one header write and flush more than a plain commit, so that no torn header
  // can mix the old tree with the new). REQUIRES: PrepareCommit() succeeded.
  [[nodiscard]] bool FinishCommit();
  // Forgets every change since the last commit (a rolled-back transaction); the next read sees
  // the file as committed.
  void DropChanges();

  const FileHeader& header() const { return header_; }
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  bool enciphered() const;
  // The open file, for the driver's byte-range locks.
  platform::File* file() const { return file_.get(); }
  const PageFileStats& stats() const { return stats_; }

  // For the checker, dumps and tests: reads page `page` without going through the cache and
  // without stopping on damage. Returns 0, or the internal-error number that reading it would
  // stop with (1735 in no region, 2172 short, 1013 wrong own offset, a decode error...).
  int32_t ReadPageChecked(uint32_t page, kestrune::Page* out, kestrune::PagePrefix* prefix);

  // The inside (cache, tree, placement, log), defined in the area's private page_file_impl.h.
  class Impl;

 private:
  friend class Cursor;
  PageFile();

  std::unique_ptr<Impl> impl_;
  std::unique_ptr<platform::File> file_;
  std::string path_;
  bool writable_ = false;
  bool changed_ = false;
  FileHeader header_;
  PageFileStats stats_;
};

// An ordered walk over the entries. A cursor survives changes to the tree: it keeps its entry's
// key, and after any change re-seeks from it. key() and data() stay valid until the next move.
class Cursor {
 public:
  explicit Cursor(PageFile* file);
  ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  bool SeekFirst();
  bool SeekLast();
  bool Seek(ByteSpan key, SeekBias bias);
  // The entry after (before) the current one; false at the end, which also makes it invalid.
  bool Next();
  bool Prev();
  bool Valid() const { return valid_; }
  // REQUIRES: Valid().
  ByteSpan key() const { return {key_.data(), key_.size()}; }
  ByteSpan data() const { return {data_.data(), data_.size()}; }

 private:
  struct Step {
    uint32_t page;
    size_t index;
  };
  bool Load();
  bool Reseek(SeekBias bias);
  bool StepForward();
  bool StepBackward();

  PageFile* file_;
  bool valid_ = false;
  uint64_t version_ = 0;    // the tree version its path was taken at
  std::vector<Step> path_;  // root first; the last step is the leaf and entry index
  std::vector<uint8_t> key_;
  std::vector<uint8_t> data_;
};

}  // namespace pellucor::data::pagefile
