// The page cache: pages by number in a hash map. Clean pages may be dropped between
// operations, least recently used leaves first, so the root and inner pages that every descent
// passes through stay; dirty and unplaced pages stay until the commit writes them.
#include <algorithm>

#include "data/pagefile/page_file_impl.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

using kestrune::Page;
using kestrune::PagePrefix;

CachedPage* PageFile::Impl::Find(uint32_t number) {
  auto it = pages.find(number);
  if (it == pages.end()) return nullptr;
  it->second->last_used = ++use_counter;
  return it->second.get();
}

CachedPage* PageFile::Impl::Get(uint32_t number) {
  if (CachedPage* page = Find(number)) return page;
  if (number >= kFirstTempPage) runtime::InternalErrorStop(kErrLostPage);
  PageMap::node_type node;
  if (!spare.empty()) {
    node = std::move(spare.back());
    spare.pop_back();
    CachedPage& reused = *node.mapped();
    reused.dirty = false;
    reused.image.clear();
    reused.image_number = kNoRoot;
    reused.image_blocks = 0;
  } else {
    PageMap scratch;
    scratch.emplace(number, std::make_unique<CachedPage>());
    node = scratch.extract(scratch.begin());
  }
  node.key() = number;
  CachedPage* raw = node.mapped().get();
  PagePrefix prefix;
  if (int32_t error = ReadPage(number, &raw->page, &prefix)) runtime::InternalErrorStop(error);
  raw->number = number;
  raw->blocks = static_cast<uint8_t>(kestrune::BlocksFor(prefix.stored_length));
  raw->last_used = ++use_counter;
  pages.insert(std::move(node));
  ++cached;
  return raw;
}

CachedPage* PageFile::Impl::NewPage(uint8_t level) {
  auto page = std::make_unique<CachedPage>();
  page->number = next_temp++;
  page->page.set_level(level);
  page->last_used = ++use_counter;
  CachedPage* raw = page.get();
  pages.emplace(raw->number, std::move(page));
  ++cached;
  MarkDirty(raw);
  return raw;
}

void PageFile::Impl::MarkDirty(CachedPage* page) {
  if (!page->dirty) {
    page->dirty = true;
    dirty.insert(page);
  }
  page->image_number = kNoRoot;
  ++version;
  BeginChange();
}

void PageFile::Impl::MarkMoved(CachedPage* page) {
  if (!page->dirty) {
    page->dirty = true;
    dirty.insert(page);
  }
  ++version;
  BeginChange();
}

void PageFile::Impl::Rekey(CachedPage* page, uint32_t number) {
  auto node = pages.extract(page->number);
  if (node.empty() || node.mapped().get() != page) runtime::InternalErrorStop(kErrLostPage);
  page->number = number;
  node.key() = number;
  if (!pages.insert(std::move(node)).inserted) runtime::InternalErrorStop(kErrLostPage);
}

void PageFile::Impl::FreePage(CachedPage* page) {
  if (page->number < kFirstTempPage) dead_slots[page->number] = page->blocks;
  if (page->dirty) dirty.erase(page);
  auto it = pages.find(page->number);
  if (it == pages.end() || it->second.get() != page) runtime::InternalErrorStop(kErrLostPage);
  pages.erase(it);
  --cached;
  ++version;
  BeginChange();
}

bool PageFile::Impl::FirstReadOfLeaf(uint32_t number) {
  if (read_once.count(number) != 0) return false;
  read_once.insert(number);
  read_once_order.push_back(number);
  if (read_once_order.size() > cache_limit / 2 + 1) {
    read_once.erase(read_once_order.front());
    read_once_order.pop_front();
  }
  return true;
}

void PageFile::Impl::DropAll() {
  pages.clear();
  spare.clear();
  read_once.clear();
  read_once_order.clear();
  cached = 0;
  dirty.clear();
  dead_slots.clear();
  next_temp = kFirstTempPage;
  ++version;
}

void PageFile::Impl::MaybeEvict() {
  if (cached <= cache_limit) return;
  // Evict down to a little below the limit, so that a scan over more pages than the cache holds
  // pays for one selection every few hundred reads rather than one per read.
  const size_t target = cache_limit - cache_limit / 8;
  // Clean leaves go first, oldest first; clean inner pages only when leaves are not enough.
  // Dirty pages (which include every unplaced one) are never dropped: the file has no copy.
  std::vector<CachedPage*> leaves;
  std::vector<CachedPage*> inner;
  for (auto& [number, p] : pages) {
    if (p->dirty) continue;
    (p->page.is_leaf() ? leaves : inner).push_back(p.get());
  }
  size_t excess = cached - target;
  auto by_age = [](const CachedPage* a, const CachedPage* b) {
    return a->last_used < b->last_used;
  };
  std::vector<uint32_t> victims;
  for (std::vector<CachedPage*>* group : {&leaves, &inner}) {
    if (excess == 0) break;
    const size_t take = std::min(excess, group->size());
    if (take < group->size()) {
      std::nth_element(group->begin(), group->begin() + static_cast<std::ptrdiff_t>(take),
                       group->end(), by_age);
    }
    for (size_t i = 0; i < take; ++i) victims.push_back((*group)[i]->number);
    excess -= take;
  }
  if (victims.empty()) return;
  for (uint32_t number : victims) {
    auto node = pages.extract(number);
    if (spare.size() < victims.size()) spare.push_back(std::move(node));
  }
  cached -= victims.size();
  ++version;
}

std::vector<CachedPage*> PageFile::Impl::DirtyPages() {
  std::vector<CachedPage*> out;
  out.assign(dirty.begin(), dirty.end());
  // In page number order, so that placement and the log come out the same for the same changes.
  std::sort(out.begin(), out.end(),
            [](const CachedPage* a, const CachedPage* b) { return a->number < b->number; });
  return out;
}

int32_t PageFile::Impl::ReadPage(uint32_t number, Page* out, PagePrefix* prefix) {
  const FileHeader& h = pf.header_;
  const size_t d = h.RegionOf(number);
  if (d == 0) return kErrPageInNoRegion;
  const uint64_t offset = kestrune::PageOffset(number);
  const size_t size = d * kestrune::kBlockSize;
  std::span<const uint8_t> stored;
  if (log_pending) {
    auto it = log_index.find(offset);
    if (it != log_index.end()) {
      if (it->second.size != size) return kErrPageMisplaced;
      stored = {log_bytes.data() + it->second.position, size};
    }
  }
  if (stored.empty()) {
    read_buffer.resize(size);
    if (int32_t error = io->Read(offset, read_buffer.data(), size)) return error;
    stored = {read_buffer.data(), size};
    ++pf.stats_.pages_read;
  }
  kestrune::PageDecodeResult r = kestrune::DecodePage(stored, out);
  if (!r.ok()) return r.error;
  *prefix = r.prefix;
  if (r.prefix.own_offset != offset || kestrune::BlocksFor(r.prefix.stored_length) != d) {
    out->Clear();
    return kErrPageMisplaced;
  }
  return 0;
}

}  // namespace pellucor::data::pagefile
