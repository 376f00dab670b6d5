// The log and the commit, and the header check that finds a log a stopped writer left.
//
// Commit order and why:
//   1. new pages (at or beyond the page space of the last commit) are written in place, since
//      nothing refers to them yet; images of pages that existed at the last commit go to the
//      log, with the header's own image (offset 0) last; flush. The log starts past both the new
//      and the committed end of the page space, so it overwrites nothing a reader may need.
//   2. the header, already holding the new root, regions and counter, is written pointing at the
//      log; flush. From here on the change survives a crash: a later opener applies the log.
//      (A transaction's commit writes the old tree's header here instead, so that a log the
//      transaction control file calls uncommitted can be discarded; see LoggedHeader.)
//   3. every log record is copied to its own offset; flush. This flush comes before step 4 so
//      that a header saying "empty log" can never reach the disk ahead of the pages it relies
//      on (a disk may reorder unflushed writes).
//   4. the header is written with an empty log. A plain commit does not flush here: until the
//      next flush covers this header, a crash may leave the header of step 2, whose log is
//      complete and already copied, so applying it again gives the same tree. That holds only
//      while the log's bytes stay as they are, so the next commit places its own log past it and
//      logs a new page whose place lies on it instead of writing it there at once (see LastLog).
//      A transaction's commit still flushes here.
// Steps 2 and 4 write headers that differ only in the log fields, so a header torn between
// them still names the new tree; a header torn in step 2 either points at a complete log or at
// none (the log then fails its checks and is discarded, leaving the old tree). Log fields torn
// between two headers may name a range that runs from one log into another: a log has exactly
// one header image, as its last record, so such a range is no log and is discarded. An
// enciphered file's final header is flushed at once (a tear garbles its whole first unit).
#include <algorithm>
#include <cstring>

#include "data/pagefile/page_file_impl.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

namespace {
uint32_t GetLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
// Logs longer than this are not believed (a damaged header): 64 MiB.
constexpr uint64_t kMaxLogBytes = uint64_t{64} << 20;
// Past this much unused tail the file is cut back to its page space after a commit.
constexpr uint64_t kTruncateSlack = uint64_t{1} << 20;
}  // namespace

bool PageFile::Impl::Fail() {
  runtime::PostError(0, nullptr);
  pf.DropChanges();
  seen_valid = false;  // the next header check reads the file afresh
  prepared = false;
  last_log = LastLog::kUnknown;  // a write may have reached the disk in part
  return false;
}

bool PageFile::Impl::FlushFile() {
  ++pf.stats_.flushes;
  if (!io->Flush().ok()) return false;
  last_log = LastLog::kDurable;
  return true;
}

bool PageFile::Impl::WriteHeader(const FileHeader& header) {
  const auto bytes = EncodeHeader(header);
  if (!io->Write(0, bytes.data(), bytes.size()).ok()) return false;
  seen_raw = bytes;
  seen_valid = true;
  return true;
}

namespace {
bool Overlaps(uint64_t a_start, uint64_t a_end, uint64_t b_start, uint64_t b_end) {
  return a_start < b_end && b_start < a_end;
}
}  // namespace

bool PageFile::Impl::Prepare(LoggedHeader logged) {
  FileHeader& h = pf.header_;
  PlacePages();
  final_header = h;
  ++final_header.change_counter;
  const uint64_t end = final_header.PageSpaceEndOffset();
  final_header.log_start = final_header.log_end = static_cast<uint32_t>(end);
  const uint32_t committed_end = committed.PageSpaceEndBlocks();

  // Images first: what goes to the log, and the new pages written in place.
  prepared_log.clear();
  prepared_records.clear();
  std::vector<CachedPage*> in_place;
  for (CachedPage* page : DirtyPages()) {
    if (page->number >= kFirstTempPage) runtime::InternalErrorStop(kErrLostPage);
    // Pages that placement renumbered or whose child numbers changed keep their image with the
    // prefix rewritten: own offset and child numbers lie in the unpacked prefix, so neither the
    // packed entries nor the size change.
    if (page->image_number == kNoRoot) {
      EncodeImage(page);
    } else if (page->image_number != page->number || !page->page.is_leaf()) {
      PatchImage(page);
    }
    if (page->image_blocks != page->blocks) runtime::InternalErrorStop(kErrPageMisplaced);
    ++pf.stats_.pages_written;
    const uint64_t offset = kestrune::PageOffset(page->number);
    // A new page goes to its place at once, unless that place holds the last commit's log
    // while it may still be needed: then it is logged like a changed page and copied in step 3,
    // when this commit's own log has taken over.
    const bool over_last_log =
        last_log == LastLog::kKnown &&
        Overlaps(offset, offset + page->image.size(), last_log_start, last_log_end);
    if (page->number < committed_end || over_last_log) {
      prepared_records.push_back({offset, {prepared_log.size(), page->image.size()}});
      prepared_log.insert(prepared_log.end(), page->image.begin(), page->image.end());
    } else {
      in_place.push_back(page);
    }
  }
  const auto image = EncodeHeader(final_header);
  prepared_log.insert(prepared_log.end(), image.begin(), image.end());
  pf.stats_.log_records += prepared_records.size() + 1;

  // Where the last commit's log may lie is unknown: nothing of this commit is written yet, so a
  // flush here only makes that commit's final header durable.
  if (last_log == LastLog::kUnknown && !FlushFile()) return Fail();
  // The log starts past both the new and the committed end of the page space, and past a log
  // that must stay.
  uint64_t log_start = std::max(end, kestrune::PageOffset(committed_end));
  if (last_log == LastLog::kKnown &&
      Overlaps(log_start, log_start + prepared_log.size(), last_log_start, last_log_end)) {
    log_start = last_log_end;
  }
  if (log_start + prepared_log.size() > 0xFFFFFFFFull) runtime::InternalErrorStop(kErrSeekFailed);

  for (const CachedPage* page : in_place) {
    if (!io->Write(kestrune::PageOffset(page->number), page->image.data(), page->image.size())
             .ok()) {
      return Fail();
    }
  }
  if (!io->Write(log_start, prepared_log.data(), prepared_log.size()).ok()) return Fail();
  file_size = std::max(file_size, log_start + prepared_log.size());
  if (!FlushFile()) return Fail();

  pointing_header = logged == LoggedHeader::kNew ? final_header : committed;
  pointing_header.log_start = static_cast<uint32_t>(log_start);
  pointing_header.log_end = static_cast<uint32_t>(log_start + prepared_log.size());
  if (!WriteHeader(pointing_header)) return Fail();
  if (!FlushFile()) return Fail();
  prepared = true;
  prepared_form = logged;
  return true;
}

bool PageFile::Impl::Finish() {
  if (!prepared) runtime::InternalErrorStop(kErrTreeShape, "commit not prepared");
  for (const auto& [offset, ref] : prepared_records) {
    if (!io->Write(offset, prepared_log.data() + ref.position, ref.size).ok()) return Fail();
  }
  if (!prepared_records.empty() && !FlushFile()) return Fail();
  if (prepared_form == LoggedHeader::kOld) {
    FileHeader pointing_new = final_header;
    pointing_new.log_start = pointing_header.log_start;
    pointing_new.log_end = pointing_header.log_end;
    if (!WriteHeader(pointing_new)) return Fail();
    if (!FlushFile()) return Fail();
  }
  if (!WriteHeader(final_header)) return Fail();
  // A log much longer than the page space (the file shrank, or a large commit) is cut off; the
  // header that no longer points at it is made durable first.
  const uint64_t end = final_header.PageSpaceEndOffset();
  const bool cut = file_size > end + kTruncateSlack;
  // An enciphered header torn anywhere in its first unit cannot be read at all, so its final
  // header is made durable at once, as a transaction's is.
  if (prepared_form == LoggedHeader::kOld || cut || io->enciphered()) {
    if (!FlushFile()) return Fail();
  } else {
    last_log = LastLog::kKnown;
    last_log_start = pointing_header.log_start;
    last_log_end = pointing_header.log_end;
  }
  pf.header_ = final_header;
  AfterCommit();
  ++pf.stats_.commits;
  if (cut && pf.file_->Truncate(end).ok()) file_size = end;
  return true;
}

void PageFile::Impl::AfterCommit() {
  committed = pf.header_;
  // Only dirty pages carry images: placement and the log encode nothing else.
  for (CachedPage* p : dirty) {
    p->dirty = false;
    p->image.clear();
    p->image.shrink_to_fit();
    p->image_number = kNoRoot;
    p->image_blocks = 0;
  }
  dirty.clear();
  dead_slots.clear();
  next_temp = kFirstTempPage;
  prepared = false;
  prepared_log.clear();
  prepared_records.clear();
  pf.changed_ = false;
  ++version;
}

bool PageFile::Impl::ReadHeaderRaw(std::array<uint8_t, kHeaderSize>* raw) {
  const int32_t error = io->Read(0, raw->data(), raw->size());
  if (error == kErrShortRead) {
    runtime::PostError(runtime::err::kInvalidDataFile);
    return false;
  }
  if (error != 0) {
    runtime::PostError(0);
    return false;
  }
  return true;
}

bool PageFile::Impl::LoadLog(const FileHeader& h, FileHeader* image) {
  log_bytes.clear();
  log_index.clear();
  const uint64_t start = h.log_start;
  if (h.log_end < h.log_start) return false;
  const uint64_t size = uint64_t{h.log_end} - h.log_start;
  if (size > kMaxLogBytes || start < kHeaderSize || (start - kHeaderSize) % kestrune::kBlockSize ||
      size % kestrune::kBlockSize || start + size > file_size) {
    return false;
  }
  log_bytes.resize(size);
  if (io->Read(start, log_bytes.data(), size) != 0) return false;
  bool have_image = false;
  for (size_t at = 0; at < size;) {
    if (size - at < kestrune::kPagePrefixSize) return false;
    const uint32_t offset = GetLe32(&log_bytes[at]);
    if (offset == 0) {
      // A log holds one header image, as its last record: a range that runs into another log
      // (a header torn in its log fields) is not a log.
      if (have_image || size - at != kHeaderSize) return false;
      if (DecodeHeader({&log_bytes[at], kHeaderSize}, image) != HeaderCheck::kOk) return false;
      have_image = true;
      at += kHeaderSize;
      continue;
    }
    const size_t stored = log_bytes[at + 4] | log_bytes[at + 5] << 8;
    const size_t blocks = kestrune::BlocksFor(stored);
    if (offset < kHeaderSize || (offset - kHeaderSize) % kestrune::kBlockSize || blocks < 1 ||
        blocks > kestrune::kMaxPageBlocks || size - at < blocks * kestrune::kBlockSize) {
      return false;
    }
    log_index[offset] = {at, blocks * kestrune::kBlockSize};
    at += blocks * kestrune::kBlockSize;
  }
  if (!have_image) return false;
  // Every logged page must lie in a region of the logged header, at its size.
  for (const auto& [offset, ref] : log_index) {
    const uint32_t page = static_cast<uint32_t>((offset - kHeaderSize) / kestrune::kBlockSize);
    if (image->RegionOf(page) * kestrune::kBlockSize != ref.size) return false;
  }
  return true;
}

bool PageFile::Impl::DiscardLog(FileHeader on_disk) {
  log_bytes.clear();
  log_index.clear();
  log_pending = false;
  log_passed_over = false;
  on_disk.log_start = on_disk.log_end = static_cast<uint32_t>(on_disk.PageSpaceEndOffset());
  ++on_disk.change_counter;
  pf.header_ = committed = on_disk;
  if (!WriteHeader(on_disk)) return false;
  return FlushFile();
}

bool PageFile::Impl::ApplyLoadedLog() {
  for (const auto& [offset, ref] : log_index) {
    if (!io->Write(offset, log_bytes.data() + ref.position, ref.size).ok()) return false;
  }
  if (!FlushFile()) return false;
  FileHeader h = pf.header_;
  h.log_start = h.log_end = static_cast<uint32_t>(h.PageSpaceEndOffset());
  if (!WriteHeader(h)) return false;
  if (!FlushFile()) return false;
  pf.header_ = h;
  committed = h;
  log_pending = false;
  log_bytes.clear();
  log_index.clear();
  return true;
}

std::string PageFile::Impl::Contradiction(const FileHeader& h) const {
  const bool has_pages = h.PageSpaceEndBlocks() > 0;
  if (has_pages && h.change_counter == 0) return "a change counter of 0 in front of a tree";
  if (has_pages && h.root == kNoRoot) return "no root, yet regions hold pages";
  if (!has_pages && h.change_counter == 0 && h.LogEmpty() && file_size > kHeaderSize) {
    // A never-written header in front of pages: written over a file in use, never by a commit
    // (a first commit stopped before its header leaves a log behind the pages, and so the file
    // holds them only when the header below points at that log).
    return "the header of a new file in front of " + std::to_string(file_size - kHeaderSize) +
           " bytes of pages";
  }
  if (h.PageSpaceEndOffset() > file_size) {
    return "pages up to byte " + std::to_string(h.PageSpaceEndOffset()) + " in a file of " +
           std::to_string(file_size) + " bytes";
  }
  return {};
}

bool PageFile::Impl::TakeEmptyFile(bool write) {
  if (pf.changed_) {
    runtime::InternalErrorStop(kErrPageMisplaced, "file emptied under uncommitted changes");
  }
  DropAll();
  log_pending = log_passed_over = false;
  log_bytes.clear();
  log_index.clear();
  FileHeader fresh;
  file_size = 0;
  seen_valid = false;
  if (write) {
    // The first header: signature, an empty log at 512, counter 0, no regions.
    if (!WriteHeader(fresh) || !FlushFile()) {
      runtime::PostError(0);
      seen_valid = false;
      return false;
    }
    file_size = kHeaderSize;
  }
  fresh.root = kNoRoot;
  pf.header_ = committed = fresh;
  return true;
}

bool PageFile::Impl::TakeHeader(const std::array<uint8_t, kHeaderSize>& raw, LogHandling handling) {
  const bool may_repair = handling == LogHandling::kApply && pf.writable_;
  FileHeader h;
  if (DecodeHeader(raw, &h) != HeaderCheck::kOk) {
    runtime::PostError(runtime::err::kInvalidDataFile);
    seen_valid = false;
    return false;
  }
  if (pf.changed_) {
    // Another program wrote the file while this one held uncommitted changes: the driver must
    // hold the write lock across deferred commits, so this is an inner fault.
    runtime::InternalErrorStop(kErrPageMisplaced, "file changed under uncommitted changes");
  }
  DropAll();
  log_pending = log_passed_over = false;
  log_bytes.clear();
  log_index.clear();
  seen_valid = false;
  // Whoever wrote this header may not have flushed it yet (see LastLog).
  last_log = LastLog::kUnknown;
  uint64_t size = 0;
  if (!pf.file_->Size(&size).ok()) {
    runtime::PostError(0);
    return false;
  }
  file_size = size;
  if (h.change_counter == 0) h.root = kNoRoot;
  auto damaged = [&](const std::string& why) {
    FileHeader none;
    none.root = kNoRoot;
    pf.header_ = committed = none;
    runtime::PostError(runtime::err::kInvalidDataFile);
    runtime::SetFileError("36", "the data file is damaged: its header shows " + why);
    return false;
  };
  if (std::string why = Contradiction(h); !why.empty()) return damaged(why);
  pf.header_ = committed = h;
  seen_raw = raw;
  seen_valid = true;
  if (h.LogEmpty()) return true;

  FileHeader image;
  const bool readable = LoadLog(h, &image) && Contradiction(image).empty();
  const bool uncommitted = readable && log_uncommitted && log_uncommitted(image);
  if (!readable || uncommitted) {
    // Under the write lock nobody else is inside, so the writer of this log is gone: a log it
    // did not finish is discarded for good. Without that lock the log may be another program's
    // commit in progress (a reader never gets here while one runs, but the rule costs nothing):
    // pass it over and leave it to the next writer.
    if (may_repair) {
      if (!DiscardLog(h)) {
        runtime::PostError(0);
        seen_valid = false;
        return false;
      }
      return true;
    }
    log_bytes.clear();
    log_index.clear();
    log_passed_over = true;
    return true;
  }
  if (image.change_counter == 0) image.root = kNoRoot;
  pf.header_ = image;
  committed = image;
  log_pending = true;
  if (may_repair && !ApplyLoadedLog()) {
    runtime::PostError(0);
    seen_valid = false;
    return false;
  }
  return true;
}

}  // namespace pellucor::data::pagefile
