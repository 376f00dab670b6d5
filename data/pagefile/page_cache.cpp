// The page cache: pages by number in 100 hash chains (page number modulo 100). Clean pages may
// be dropped between operations; dirty and unplaced pages stay until the commit writes them.
#include <algorithm>

#include "data/pagefile/page_file_impl.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::pagefile {

using kestrune::Page;
using kestrune::PagePrefix;

CachedPage* PageFile::Impl::Find(uint32_t number) {
  auto& chain = chains[number % kCacheChains];
  for (size_t i = 0; i < chain.size(); ++i) {
    if (chain[i]->number == number) {
      // Keep recently used pages at the front of their chain.
      if (i > 4) std::swap(chain[i], chain[i / 2]);
      return chain[i > 4 ? i / 2 : i].get();
    }
  }
  return nullptr;
}

CachedPage* PageFile::Impl::Get(uint32_t number) {
  if (CachedPage* page = Find(number)) return page;
  if (number >= kFirstTempPage) runtime::InternalErrorStop(kErrLostPage);
  auto page = std::make_unique<CachedPage>();
  PagePrefix prefix;
  if (int32_t error = ReadPage(number, &page->page, &prefix)) runtime::InternalErrorStop(error);
  page->number = number;
  page->blocks = static_cast<uint8_t>(kestrune::BlocksFor(prefix.stored_length));
  CachedPage* raw = page.get();
  chains[number % kCacheChains].push_back(std::move(page));
  ++cached;
  return raw;
}

CachedPage* PageFile::Impl::NewPage(uint8_t level) {
  auto page = std::make_unique<CachedPage>();
  page->number = next_temp++;
  page->page.set_level(level);
  CachedPage* raw = page.get();
  chains[raw->number % kCacheChains].push_back(std::move(page));
  ++cached;
  MarkDirty(raw);
  return raw;
}

void PageFile::Impl::MarkDirty(CachedPage* page) {
  if (!page->dirty) {
    page->dirty = true;
    ++dirty;
  }
  page->image_number = kNoRoot;
  ++version;
  BeginChange();
}

void PageFile::Impl::Rekey(CachedPage* page, uint32_t number) {
  auto& from = chains[page->number % kCacheChains];
  auto it = std::find_if(from.begin(), from.end(), [&](const auto& p) { return p.get() == page; });
  std::unique_ptr<CachedPage> owned = std::move(*it);
  from.erase(it);
  page->number = number;
  chains[number % kCacheChains].push_back(std::move(owned));
}

void PageFile::Impl::FreePage(CachedPage* page) {
  if (page->number < kFirstTempPage) dead_slots[page->number] = page->blocks;
  if (page->dirty) --dirty;
  auto& chain = chains[page->number % kCacheChains];
  auto it =
      std::find_if(chain.begin(), chain.end(), [&](const auto& p) { return p.get() == page; });
  chain.erase(it);
  --cached;
  ++version;
  BeginChange();
}

void PageFile::Impl::DropAll() {
  for (auto& chain : chains) chain.clear();
  cached = 0;
  dirty = 0;
  dead_slots.clear();
  next_temp = kFirstTempPage;
  ++version;
}

void PageFile::Impl::MaybeEvict() {
  if (cached <= cache_limit) return;
  // Crude but cheap: drop every clean page; the ones in use come back on the next reads.
  for (auto& chain : chains) {
    std::erase_if(chain, [&](const auto& p) {
      if (p->dirty) return false;
      --cached;
      return true;
    });
  }
  ++version;
}

std::vector<CachedPage*> PageFile::Impl::DirtyPages() {
  std::vector<CachedPage*> out;
  out.reserve(dirty);
  for (auto& chain : chains) {
    for (auto& p : chain) {
      if (p->dirty) out.push_back(p.get());
    }
  }
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
