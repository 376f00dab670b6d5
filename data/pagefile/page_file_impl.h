// The inside of a page file: the page cache, the tree algorithms, page placement in regions, and
// the log. Private to data/pagefile/.
//
// Page numbers. A page read from the file, or placed at a commit, has its page number (in
// blocks). A page made during an operation (a split, a new root) has a temporary number from
// kFirstTempPage up until the commit places it: region moves rewrite pages and their parents, so
// they only happen at a commit, never in the middle of a tree operation whose path they would
// invalidate. For the same reason pages that change size stay where they are until the commit.
//
// Regions stay dense between commits: every slot of every region holds a page of the tree.
// A page freed during an operation leaves a dead slot that the commit fills with the region's
// last page (or drops by moving the region's start up or its end down), so a region's first
// page, which a region making room moves, is always a live page.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/kestrune/page_codec.h"
#include "data/pagefile/block_io.h"
#include "data/pagefile/page_file.h"

namespace pellucor::data::pagefile {

inline constexpr uint32_t kFirstTempPage = 0x80000000u;

// Inner states of the page file that a sound file and correct callers never reach.
inline constexpr int32_t kErrPageInNoRegion = 1735;
inline constexpr int32_t kErrParentNotFound = 1891;
inline constexpr int32_t kErrParentLevel = 1894;
inline constexpr int32_t kErrPageMisplaced = 1013;  // own offset or size does not fit its slot
inline constexpr int32_t kErrLostPage = 1163;       // an unplaced page missing from the cache
inline constexpr int32_t kErrTreeShape = 1164;      // levels, empty pages, oversized entries
inline constexpr int32_t kErrSeekFailed = 2341;     // an offset beyond what the format holds

struct CachedPage {
  uint32_t number = 0;
  uint8_t blocks = 0;  // size of its slot in blocks; 0 while unplaced
  bool dirty = false;
  kestrune::Page page;
  // The stored form made at a commit, and the number it was made for (kNoRoot: stale).
  std::vector<uint8_t> image;
  uint32_t image_number = kNoRoot;
  uint8_t image_blocks = 0;
  uint64_t last_used = 0;  // the cache's use counter at the last lookup; eviction drops the oldest
};

class PageFile::Impl {
 public:
  Impl(PageFile* owner, std::unique_ptr<BlockIo> io, const OpenOptions& options);

  PageFile& pf;
  std::unique_ptr<BlockIo> io;
  SplitLimits split;
  size_t cache_limit;
  std::function<bool(const FileHeader&)> log_uncommitted;

  // ---- cache (page_cache.cpp) ----
  CachedPage* Find(uint32_t number);
  // The page, from the cache or the file; stops on damage.
  CachedPage* Get(uint32_t number);
  CachedPage* NewPage(uint8_t level);
  void MarkDirty(CachedPage* page);
  // A page that only moved (its own number) or whose child numbers changed: dirty, but an image
  // already made keeps its entries and only has its unpacked prefix rewritten (PatchImage).
  void MarkMoved(CachedPage* page);
  void Rekey(CachedPage* page, uint32_t number);
  // Removes a page that left the tree; a placed one leaves a dead slot.
  void FreePage(CachedPage* page);
  void DropAll();
  void MaybeEvict();
  std::vector<CachedPage*> DirtyPages();
  // Reads page `number` as stored (through the log when one is pending). 0 or the error number.
  int32_t ReadPage(uint32_t number, kestrune::Page* out, kestrune::PagePrefix* prefix);

  // Pages by number. Entries own their pages, so a CachedPage* stays valid until the page is
  // freed, dropped or evicted; eviction only happens at the start of an operation, when nothing
  // but page numbers (cursor paths) refers to cached pages.
  using PageMap = std::unordered_map<uint32_t, std::unique_ptr<CachedPage>>;
  PageMap pages;
  // Evicted clean pages kept with their map nodes and arenas for the next misses: a scan that
  // reads more pages than the cache holds would otherwise allocate and free a page's worth of
  // memory at every read.
  std::vector<PageMap::node_type> spare;
  // Leaves read lately without being cached (PageFile::ReadData), oldest first: a leaf read
  // again while it is listed is cached after all, so that rows read over and over (a browse's
  // page) come from memory while a long scan does not flood the cache.
  std::unordered_set<uint32_t> read_once;
  std::deque<uint32_t> read_once_order;
  // Whether the leaf may be read without caching it: false when it was so read lately.
  bool FirstReadOfLeaf(uint32_t number);
  uint64_t use_counter = 0;
  size_t cached = 0;
  // The dirty pages, so that a commit costs what it changed, not what the cache holds.
  std::unordered_set<CachedPage*> dirty;
  std::map<uint32_t, uint8_t> dead_slots;  // page number -> blocks
  uint32_t next_temp = kFirstTempPage;
  uint64_t version = 1;  // changes whenever a cursor's path may have become wrong
  std::vector<uint8_t> read_buffer;

  // ---- tree (tree.cpp) ----
  enum class InsertMode { kInsertOnly, kReplace };
  enum class InsertResult { kInserted, kReplaced, kExists };
  bool NeedsSplit(const kestrune::Page& page) const;
  static size_t ChildIndex(const kestrune::Page& page, ByteSpan key);
  void BeginChange();
  InsertResult Insert(ByteSpan key, ByteSpan data, InsertMode mode);
  bool Erase(ByteSpan key);
  // The leaf that holds (or would hold) `key`, or nullptr for an empty tree.
  CachedPage* FindLeaf(ByteSpan key);

  // ---- placement (placement.cpp) ----
  // Gives every dirty page its final number: resized pages move to the region of their new
  // size, dead slots are filled, new pages are allocated. Pages only move here.
  void PlacePages();
  struct ParentRef {
    CachedPage* parent = nullptr;  // nullptr: the page is the root
    size_t index = 0;
  };
  ParentRef FindParent(CachedPage* page);
  void Renumber(CachedPage* page, uint32_t number);
  uint32_t Allocate(size_t blocks);
  void MakeRoom(size_t region, uint32_t min_start);
  void CompactDeadSlots();
  void EncodeImage(CachedPage* page);
  // Rewrites the own offset and the child numbers of an image made before the page moved.
  void PatchImage(CachedPage* page);

  // ---- log and commit (commit.cpp) ----
  // What the header written in step 2 holds besides the log pointers.
  enum class LoggedHeader {
    kNew,  // the new tree: a header torn in step 4 still names it (plain commits)
    kOld,  // the old tree: the log can still be discarded (transactions); step 4 then first
           // writes the new tree with the log pointers kept, and flushes, before emptying the log
  };
  [[nodiscard]] bool Prepare(LoggedHeader logged);
  [[nodiscard]] bool Finish();
  void AfterCommit();
  [[nodiscard]] bool WriteHeader(const FileHeader& header);
  [[nodiscard]] bool Fail();  // posts the system error, drops the changes; returns false
  [[nodiscard]] bool ReadHeaderRaw(std::array<uint8_t, kHeaderSize>* raw);
  // Takes a header read from the file: drops the cache and handles its log. Writes only under
  // kApply on a writable file (the caller holds the write lock).
  [[nodiscard]] bool TakeHeader(const std::array<uint8_t, kHeaderSize>& raw, LogHandling handling);
  // Takes a file of length 0 as a new file; `write` gives it its first header.
  [[nodiscard]] bool TakeEmptyFile(bool write);
  // What makes a header (as stored, or the image in a log) impossible for this file: empty when
  // nothing does. A header that lies about the file would have a writer build on pages in use.
  std::string Contradiction(const FileHeader& header) const;
  struct LogRef {
    size_t position;  // in log_bytes
    size_t size;
  };
  [[nodiscard]] bool LoadLog(const FileHeader& header, FileHeader* image);
  [[nodiscard]] bool DiscardLog(FileHeader on_disk);
  [[nodiscard]] bool ApplyLoadedLog();

  // Flushes the file; on success everything written so far is durable (last_log too).
  [[nodiscard]] bool FlushFile();
  // Where the log of the last commit may still be needed. A plain commit writes its final
  // header (empty log) without a flush of its own: the next flush covers it. Until then a crash
  // may leave the header of step 2, which points at that log, so its bytes must stay as they
  // are: the next commit places its log elsewhere, and logs a new page whose place lies on it
  // (copied in step 3, once the new log has taken over). Unknown when the header came from
  // another program (or from an earlier run of this one) or a write failed: then anything past
  // the page space may be such a log, and the next commit flushes before it writes.
  enum class LastLog : uint8_t { kDurable, kKnown, kUnknown };
  LastLog last_log = LastLog::kUnknown;
  uint64_t last_log_start = 0;
  uint64_t last_log_end = 0;

  FileHeader committed;  // the header as of the last commit
  std::array<uint8_t, kHeaderSize> seen_raw{};
  bool seen_valid = false;
  bool log_pending = false;
  // A log that could not be read whole (or that an uncommitted transaction left) was passed over
  // by a check that may not write: the tree is read as it was before it, and the next check
  // under the write lock discards it.
  bool log_passed_over = false;
  std::vector<uint8_t> log_bytes;
  std::unordered_map<uint64_t, LogRef> log_index;  // by page offset
  uint64_t file_size = 0;

  // A prepared commit: the log written and the header pointing at it.
  bool prepared = false;
  LoggedHeader prepared_form = LoggedHeader::kNew;
  FileHeader pointing_header;  // the header of step 2
  FileHeader final_header;
  std::vector<uint8_t> prepared_log;
  std::vector<std::pair<uint64_t, LogRef>> prepared_records;  // offset, where in prepared_log
};

}  // namespace pellucor::data::pagefile
