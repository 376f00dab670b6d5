// Placing pages in regions at a commit.
//
// A page of d blocks lives in region d. A new page takes the next d blocks at the end of region
// d; when the next non-empty region above starts too close, that region makes room by moving its
// first pages to its own end (which may make the region above it move in turn). Every move
// rewrites the page at its new number and updates the child number in its parent, found by
// descending from the root with the page's first key, or the root number in the header.
//
// A region that must make room moves two pages' worth more than asked for, so that a region
// growing page by page does not push every region above it at each new page.
#include <algorithm>

#include "data/pagefile/page_file_impl.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

namespace {
constexpr uint32_t kSlackPages = 2;
}

void PageFile::Impl::EncodeImage(CachedPage* page) {
  const uint32_t number = page->number < kFirstTempPage ? page->number : 0;
  kestrune::PageEncodeResult r = kestrune::EncodePage(page->page, number, &page->image);
  if (!r.ok()) runtime::InternalErrorStop(r.error);
  page->image_number = page->number;
  page->image_blocks = static_cast<uint8_t>(r.blocks);
}

void PageFile::Impl::PatchImage(CachedPage* page) {
  auto put32 = [](uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const kestrune::Page& pg = page->page;
  if (page->image.size() < kestrune::kPagePrefixSize + kestrune::kChildNumberSize * pg.count() ||
      page->image_blocks != page->blocks) {
    EncodeImage(page);
    return;
  }
  put32(page->image.data(), static_cast<uint32_t>(kestrune::PageOffset(page->number)));
  for (size_t i = 0; !pg.is_leaf() && i < pg.count(); ++i) {
    put32(page->image.data() + kestrune::kPagePrefixSize + kestrune::kChildNumberSize * i,
          pg.Child(i));
  }
  page->image_number = page->number;
}

PageFile::Impl::ParentRef PageFile::Impl::FindParent(CachedPage* page) {
  if (page->number == pf.header_.root) return {};
  if (page->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
  ByteSpan key = page->page.Key(0);
  const uint8_t level = page->page.level();
  if (pf.header_.root == kNoRoot) runtime::InternalErrorStop(kErrParentNotFound);
  CachedPage* q = Get(pf.header_.root);
  while (q->page.level() > level + 1) {
    if (q->page.empty()) runtime::InternalErrorStop(kErrTreeShape);
    const uint8_t above = q->page.level();
    q = Get(q->page.Child(ChildIndex(q->page, key)));
    if (q->page.level() + 1 != above) runtime::InternalErrorStop(kErrTreeShape);
  }
  if (q->page.level() != level + 1 || q->page.empty()) runtime::InternalErrorStop(kErrParentLevel);
  size_t index = ChildIndex(q->page, key);
  if (q->page.Child(index) != page->number) {
    index = q->page.count();
    for (size_t i = 0; i < q->page.count(); ++i) {
      if (q->page.Child(i) == page->number) index = i;
    }
    if (index == q->page.count()) runtime::InternalErrorStop(kErrParentNotFound);
  }
  return {q, index};
}

void PageFile::Impl::Renumber(CachedPage* page, uint32_t number) {
  ParentRef ref = FindParent(page);
  if (page->number < kFirstTempPage) ++pf.stats_.page_moves;
  Rekey(page, number);
  if (ref.parent) {
    ref.parent->page.SetChild(ref.index, number);
    MarkMoved(ref.parent);
  } else {
    pf.header_.root = number;
  }
  MarkMoved(page);
}

void PageFile::Impl::MakeRoom(size_t e, uint32_t min_start) {
  FileHeader& h = pf.header_;
  while (!h.RegionEmpty(e) && h.region_start[e] < min_start) {
    CachedPage* first = Get(h.region_start[e]);
    const uint32_t slot = Allocate(e);
    Renumber(first, slot);
    h.region_start[e] += static_cast<uint32_t>(e);
  }
  if (h.RegionEmpty(e)) {
    h.region_start[e] = h.region_end[e] = std::max(h.region_start[e], min_start);
  }
}

uint32_t PageFile::Impl::Allocate(size_t d) {
  FileHeader& h = pf.header_;
  if (d < 1 || d >= kRegionCount) runtime::InternalErrorStop(kErrTreeShape);
  if (h.RegionEmpty(d)) {
    uint32_t position = 0;
    for (size_t c = 1; c < d; ++c) {
      if (!h.RegionEmpty(c)) position = h.region_end[c];
    }
    h.region_start[d] = h.region_end[d] = position;
  }
  const uint32_t need_end = h.region_end[d] + static_cast<uint32_t>(d);
  for (size_t e = d + 1; e < kRegionCount; ++e) {
    if (h.RegionEmpty(e)) continue;
    if (need_end > h.region_start[e]) {
      MakeRoom(e, need_end + kSlackPages * static_cast<uint32_t>(d));
    }
    break;
  }
  const uint32_t slot = h.region_end[d];
  h.region_end[d] += static_cast<uint32_t>(d);
  // Page offsets are u32 in the stored form.
  if (kestrune::PageOffset(h.region_end[d]) > 0xFFFFFFFFull) {
    runtime::InternalErrorStop(kErrSeekFailed);
  }
  return slot;
}

void PageFile::Impl::CompactDeadSlots() {
  FileHeader& h = pf.header_;
  // Highest first: a region's dead slots at its end are dropped before live pages are moved
  // into the lower ones.
  while (!dead_slots.empty()) {
    auto it = std::prev(dead_slots.end());
    const uint32_t slot = it->first;
    const size_t d = it->second;
    dead_slots.erase(it);
    if (d == 0 || d >= kRegionCount || h.RegionOf(slot) != d) {
      runtime::InternalErrorStop(kErrPageInNoRegion);
    }
    const uint32_t last = h.region_end[d] - static_cast<uint32_t>(d);
    if (slot == last) {
      h.region_end[d] = last;
    } else if (slot == h.region_start[d]) {
      h.region_start[d] += static_cast<uint32_t>(d);
    } else {
      Renumber(Get(last), slot);
      h.region_end[d] = last;
    }
  }
}

void PageFile::Impl::PlacePages() {
  // Sizes first: a page whose stored size no longer fits its slot leaves its region.
  for (CachedPage* page : DirtyPages()) {
    EncodeImage(page);
    if (page->number < kFirstTempPage && page->image_blocks != page->blocks) {
      const uint32_t old = page->number;
      const uint8_t blocks = page->blocks;
      Renumber(page, next_temp++);
      --pf.stats_.page_moves;  // counted when it is placed again
      dead_slots[old] = blocks;
      page->blocks = 0;
    }
  }
  CompactDeadSlots();
  std::vector<CachedPage*> unplaced;
  for (CachedPage* page : DirtyPages()) {
    if (page->number >= kFirstTempPage) unplaced.push_back(page);
  }
  // Inner pages last is not needed for correctness; numbers in order keep the file tidy.
  std::sort(unplaced.begin(), unplaced.end(),
            [](const CachedPage* a, const CachedPage* b) { return a->number < b->number; });
  for (CachedPage* page : unplaced) {
    if (page->image_blocks == 0) EncodeImage(page);
    const uint32_t slot = Allocate(page->image_blocks);
    Renumber(page, slot);
    page->blocks = page->image_blocks;
  }
  ++version;
}

}  // namespace pellucor::data::pagefile
