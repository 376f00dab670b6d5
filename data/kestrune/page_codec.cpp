#include "data/kestrune/page_codec.h"

#include <algorithm>
#include <cstring>

#include "data/kestrune/rle.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::kestrune {
namespace {

void PutU16(uint8_t* p, size_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

constexpr uint8_t kCtlNewTotal = 0x80;
constexpr uint8_t kCtlNewKey = 0x40;
constexpr uint8_t kCtlSharedMask = 0x3F;

// Arena garbage is dropped once it is both sizeable and more than the live bytes.
constexpr size_t kCompactThreshold = 4096;

size_t PrefixLength(uint8_t level, size_t count) {
  return kPagePrefixSize + (level != 0 ? kChildNumberSize * count : 0);
}

// An entry's total length is a u16 in its stored form; a longer one would be cut silently, so
// it stops the program as a page that is too large.
void CheckEntryLength(size_t total) {
  if (total > 0xFFFF) runtime::InternalErrorStop(kErrPageTooLarge, "entry longer than 65535 bytes");
}

}  // namespace

int CompareKeys(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const size_t n = std::min(a.size(), b.size());
  if (n != 0) {
    const int c = std::memcmp(a.data(), b.data(), n);
    if (c != 0) return c;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void Page::set_level(uint8_t level) {
  level_ = level;
}

std::span<const uint8_t> Page::Key(size_t i) const {
  const Ref& r = refs_[i];
  return {arena_.data() + r.offset, r.key_length};
}

std::span<const uint8_t> Page::Data(size_t i) const {
  const Ref& r = refs_[i];
  return {arena_.data() + r.offset + r.key_length, size_t{r.total_length} - r.key_length};
}

std::span<uint8_t> Page::MutableData(size_t i) {
  const Ref& r = refs_[i];
  return {arena_.data() + r.offset + r.key_length, size_t{r.total_length} - r.key_length};
}

std::span<const uint8_t> Page::Entry(size_t i) const {
  const Ref& r = refs_[i];
  return {arena_.data() + r.offset, r.total_length};
}

size_t Page::LowerBound(std::span<const uint8_t> key) const {
  size_t lo = 0, hi = refs_.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareKeys(Key(mid), key) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

size_t Page::UpperBound(std::span<const uint8_t> key) const {
  size_t lo = 0, hi = refs_.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareKeys(Key(mid), key) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

bool Page::Find(std::span<const uint8_t> key, size_t* index) const {
  const size_t i = LowerBound(key);
  if (i < refs_.size() && CompareKeys(Key(i), key) == 0) {
    *index = i;
    return true;
  }
  return false;
}

uint32_t Page::AccountOf(size_t total_length) const {
  return static_cast<uint32_t>(kEntryOverhead + total_length +
                               (level_ != 0 ? kChildNumberSize : 0));
}

uint32_t Page::Append(std::span<const uint8_t> key, std::span<const uint8_t> data) {
  // Bytes taken from this page's own arena would move when it grows: copy them out first.
  const auto inside = [this](std::span<const uint8_t> s) {
    return !s.empty() && !arena_.empty() && s.data() >= arena_.data() &&
           s.data() < arena_.data() + arena_.size();
  };
  if (inside(key) || inside(data)) {
    std::vector<uint8_t> copy(key.begin(), key.end());
    copy.insert(copy.end(), data.begin(), data.end());
    return Append(std::span<const uint8_t>(copy).first(key.size()),
                  std::span<const uint8_t>(copy).subspan(key.size()));
  }
  const size_t offset = arena_.size();
  arena_.resize(offset + key.size() + data.size());
  if (!key.empty()) std::memcpy(arena_.data() + offset, key.data(), key.size());
  if (!data.empty()) std::memcpy(arena_.data() + offset + key.size(), data.data(), data.size());
  return static_cast<uint32_t>(offset);
}

void Page::NoteGarbage(size_t bytes) {
  garbage_ += bytes;
  if (garbage_ >= kCompactThreshold && garbage_ * 2 > arena_.size()) Compact();
}

void Page::Insert(size_t i, std::span<const uint8_t> key, std::span<const uint8_t> data,
                  uint32_t child) {
  if (level_ != 0) data = {};
  CheckEntryLength(key.size() + data.size());
  const uint32_t offset = Append(key, data);
  const Ref r{offset, static_cast<uint16_t>(key.size()),
              static_cast<uint16_t>(key.size() + data.size()), level_ != 0 ? child : 0};
  refs_.insert(refs_.begin() + static_cast<ptrdiff_t>(i), r);
  size_account_ += AccountOf(r.total_length);
}

void Page::Replace(size_t i, std::span<const uint8_t> key, std::span<const uint8_t> data) {
  if (level_ != 0) data = {};
  CheckEntryLength(key.size() + data.size());
  const size_t old_total = refs_[i].total_length;
  const uint32_t offset = Append(key, data);
  Ref& r = refs_[i];
  r.offset = offset;
  r.key_length = static_cast<uint16_t>(key.size());
  r.total_length = static_cast<uint16_t>(key.size() + data.size());
  size_account_ = size_account_ - AccountOf(old_total) + AccountOf(r.total_length);
  NoteGarbage(old_total);
}

void Page::ReplaceData(size_t i, std::span<const uint8_t> data) {
  const Ref& r = refs_[i];
  if (data.size() == size_t{r.total_length} - r.key_length) {
    if (!data.empty()) {
      std::memmove(arena_.data() + r.offset + r.key_length, data.data(), data.size());
    }
    return;
  }
  Replace(i, Key(i), data);
}

void Page::Erase(size_t i) {
  const size_t total = refs_[i].total_length;
  size_account_ -= AccountOf(total);
  refs_.erase(refs_.begin() + static_cast<ptrdiff_t>(i));
  NoteGarbage(total);
}

void Page::MoveTailTo(size_t from, Page* dest) {
  const size_t n = refs_.size();
  if (from >= n) return;
  dest->refs_.reserve(dest->refs_.size() + (n - from));
  size_t moved = 0;
  for (size_t i = from; i < n; ++i) {
    dest->Insert(dest->count(), Key(i), Data(i), refs_[i].child);
    moved += refs_[i].total_length;
    size_account_ -= AccountOf(refs_[i].total_length);
  }
  refs_.resize(from);
  NoteGarbage(moved);
}

void Page::Clear() {
  refs_.clear();
  arena_.clear();
  garbage_ = 0;
  size_account_ = kPagePrefixSize;
}

bool Page::NeedsSplit() const {
  return size_account_ >= kSplitAccountAlways ||
         (size_account_ >= kSplitAccountMany && refs_.size() >= kSplitEntryCount);
}

void Page::Compact() {
  Arena fresh;
  fresh.reserve(arena_.size() - std::min(garbage_, arena_.size()));
  for (Ref& r : refs_) {
    const size_t offset = fresh.size();
    fresh.insert(fresh.end(), arena_.begin() + r.offset,
                 arena_.begin() + r.offset + r.total_length);
    r.offset = static_cast<uint32_t>(offset);
  }
  arena_.swap(fresh);
  garbage_ = 0;
}

PageEncodeResult EncodePage(const Page& page, uint32_t page_number, std::vector<uint8_t>* out,
                            PackMode mode) {
  PageEncodeResult result;
  const size_t count = page.count();
  const size_t prefix_length = PrefixLength(page.level(), count);
  const size_t account = page.size_account();
  if (account > 0xFFFF || count > 0xFFFF) {
    result.error = kErrPageTooLarge;
    return result;
  }
  // Serialise into a buffer of the size account, rounded up so that the fill needs no growth.
  out->resize(std::max(RoundToBlocks(account), kBlockSize));
  uint8_t* const buf = out->data();
  const size_t capacity = account;
  if (prefix_length > capacity) {
    result.error = kErrAboveSizeAccount;
    return result;
  }
  for (size_t i = 0; page.level() != 0 && i < count; ++i) {
    PutU32(buf + kPagePrefixSize + kChildNumberSize * i, page.Child(i));
  }
  size_t pos = prefix_length;
  std::span<const uint8_t> prev;
  size_t prev_key_length = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::span<const uint8_t> e = page.Entry(i);
    const size_t key_length = page.Key(i).size();
    size_t shared = 0;
    uint8_t control = 0;
    if (i == 0) {
      control = kCtlNewTotal | kCtlNewKey;
    } else {
      const size_t limit = std::min({kMaxSharedPrefix, prev.size(), e.size()});
      while (shared < limit && e[shared] == prev[shared]) ++shared;
      if (e.size() != prev.size()) control |= kCtlNewTotal;
      if (key_length != prev_key_length) control |= kCtlNewKey;
    }
    const size_t need = 1 + ((control & kCtlNewTotal) ? 2 : 0) + ((control & kCtlNewKey) ? 2 : 0) +
                        (e.size() - shared);
    if (need > capacity - pos) {
      result.error = kErrAboveSizeAccount;
      return result;
    }
    buf[pos++] = static_cast<uint8_t>(control | shared);
    if (control & kCtlNewTotal) {
      PutU16(buf + pos, e.size());
      pos += 2;
    }
    if (control & kCtlNewKey) {
      PutU16(buf + pos, key_length);
      pos += 2;
    }
    if (e.size() > shared) std::memcpy(buf + pos, e.data() + shared, e.size() - shared);
    pos += e.size() - shared;
    prev = e;
    prev_key_length = key_length;
  }
  const size_t unpacked = pos;
  size_t stored = unpacked;
  if (mode == PackMode::kPackWhenSmaller && unpacked > prefix_length) {
    std::vector<uint8_t> packed;
    packed.reserve(unpacked - prefix_length);
    if (RlePack(std::span<const uint8_t>(buf + prefix_length, unpacked - prefix_length), &packed) &&
        RoundToBlocks(prefix_length + packed.size()) < RoundToBlocks(unpacked)) {
      std::memcpy(buf + prefix_length, packed.data(), packed.size());
      stored = prefix_length + packed.size();
      result.packed = true;
    }
  }
  const size_t blocks = BlocksFor(stored);
  if (blocks > kMaxPageBlocks) {
    result.error = kErrPageTooLarge;
    return result;
  }
  PutU32(buf, static_cast<uint32_t>(PageOffset(page_number)));
  PutU16(buf + 4, stored);
  PutU16(buf + 6, unpacked);
  PutU16(buf + 8, account);
  PutU16(buf + 10, count);
  buf[12] = page.level();
  out->resize(blocks * kBlockSize);
  std::memset(out->data() + stored, kPageFill, out->size() - stored);
  result.stored_length = stored;
  result.unpacked_length = unpacked;
  result.blocks = blocks;
  return result;
}

bool ReadPagePrefix(std::span<const uint8_t> stored, PagePrefix* out) {
  if (stored.size() < kPagePrefixSize) return false;
  const uint8_t* p = stored.data();
  out->own_offset = GetU32(p);
  out->stored_length = GetU16(p + 4);
  out->unpacked_length = GetU16(p + 6);
  out->size_account = GetU16(p + 8);
  out->count = GetU16(p + 10);
  out->level = p[12];
  return true;
}

// Rebuilds the entries of a page; a friend of Page so that it fills the arena directly.
struct PageDecoder {
  static int32_t Entries(std::span<const uint8_t> body, const PagePrefix& prefix,
                         std::span<const uint8_t> children, Page* page) {
    page->Clear();
    page->level_ = prefix.level;
    page->refs_.reserve(prefix.count);
    // Entries take at most their stored bytes plus the shared prefixes (63 each): reserving that
    // keeps the arena from moving while prefixes are copied from the previous entry.
    page->arena_.reserve(body.size() + kMaxSharedPrefix * prefix.count);
    size_t pos = 0;
    size_t total = 0, key_length = 0;
    size_t prev_offset = 0, prev_total = 0;
    for (size_t i = 0; i < prefix.count; ++i) {
      if (pos >= body.size()) return kErrEntriesLength;
      const uint8_t control = body[pos++];
      const size_t shared = control & kCtlSharedMask;
      if (i == 0 && (control & (kCtlNewTotal | kCtlNewKey)) != (kCtlNewTotal | kCtlNewKey)) {
        return kErrEntriesLength;
      }
      if (control & kCtlNewTotal) {
        if (body.size() - pos < 2) return kErrEntriesLength;
        total = GetU16(body.data() + pos);
        pos += 2;
      }
      if (control & kCtlNewKey) {
        if (body.size() - pos < 2) return kErrEntriesLength;
        key_length = GetU16(body.data() + pos);
        pos += 2;
      }
      if (shared > prev_total || shared > total || key_length > total ||
          total - shared > body.size() - pos) {
        return kErrEntriesLength;
      }
      const size_t offset = page->arena_.size();
      page->arena_.resize(offset + total);
      uint8_t* dst = page->arena_.data() + offset;
      if (shared != 0) std::memcpy(dst, page->arena_.data() + prev_offset, shared);
      if (total > shared) std::memcpy(dst + shared, body.data() + pos, total - shared);
      pos += total - shared;
      const uint32_t child = prefix.level != 0 ? GetU32(children.data() + kChildNumberSize * i) : 0;
      page->refs_.push_back(Page::Ref{static_cast<uint32_t>(offset),
                                      static_cast<uint16_t>(key_length),
                                      static_cast<uint16_t>(total), child});
      page->size_account_ += page->AccountOf(total);
      prev_offset = offset;
      prev_total = total;
    }
    if (pos != body.size()) return kErrEntriesLength;
    return 0;
  }
};

PageDecodeResult DecodePage(std::span<const uint8_t> stored, Page* out) {
  PageDecodeResult result;
  out->Clear();
  out->set_level(0);
  if (!ReadPagePrefix(stored, &result.prefix)) {
    result.error = kErrEntriesLength;
    return result;
  }
  const PagePrefix& p = result.prefix;
  if (RoundToBlocks(p.stored_length) > kMaxPageBytes) {
    result.error = kErrPageTooLarge;
    return result;
  }
  const size_t prefix_length = PrefixLength(p.level, p.count);
  if (p.stored_length < prefix_length || p.unpacked_length < prefix_length ||
      p.stored_length > stored.size() || p.stored_length > p.unpacked_length) {
    result.error = kErrEntriesLength;
    return result;
  }
  const std::span<const uint8_t> children =
      stored.subspan(kPagePrefixSize, prefix_length - kPagePrefixSize);
  std::span<const uint8_t> body = stored.subspan(prefix_length, p.stored_length - prefix_length);
  // One buffer per thread for the unpacked body, kept at the largest size a page can have, so a
  // page read costs neither an allocation nor zeroing of 64 KB.
  thread_local std::vector<uint8_t> unpack_buffer(size_t{0xFFFF});
  if (p.stored_length < p.unpacked_length) {
    const std::span<uint8_t> unpacked(unpack_buffer.data(), p.unpacked_length - prefix_length);
    const RleUnpackResult r = RleUnpack(body, unpacked);
    if (!r.ok()) {
      result.error = r.error;
      return result;
    }
    body = unpacked;
  }
  result.error = PageDecoder::Entries(body, p, children, out);
  if (result.error != 0) {
    out->Clear();
    out->set_level(0);
  }
  return result;
}

StoredLookup FindInStoredLeaf(std::span<const uint8_t> stored, std::span<const uint8_t> key,
                              std::span<uint8_t> out, size_t* data_length) {
  PagePrefix p;
  if (!ReadPagePrefix(stored, &p) || p.level != 0) return StoredLookup::kUnreadable;
  if (p.stored_length < kPagePrefixSize || p.unpacked_length < kPagePrefixSize ||
      p.stored_length > stored.size() || p.stored_length > p.unpacked_length) {
    return StoredLookup::kUnreadable;
  }
  const std::span<const uint8_t> body =
      stored.subspan(kPagePrefixSize, p.stored_length - kPagePrefixSize);
  RleReader reader(body, p.unpacked_length - kPagePrefixSize, p.stored_length < p.unpacked_length);
  // The head of each entry: its key and at least the bytes a next entry may share.
  constexpr size_t kHead = 512;
  uint8_t heads[2][kHead];
  size_t prev_total = 0, total = 0, key_length = 0;
  for (size_t i = 0; i < p.count; ++i) {
    uint8_t* cur = heads[i % 2];
    const uint8_t* prev = heads[(i + 1) % 2];
    uint8_t control = 0;
    if (!reader.Read(1, &control)) return StoredLookup::kUnreadable;
    const size_t shared = control & kCtlSharedMask;
    if (i == 0 && (control & (kCtlNewTotal | kCtlNewKey)) != (kCtlNewTotal | kCtlNewKey)) {
      return StoredLookup::kUnreadable;
    }
    uint8_t length[2];
    if (control & kCtlNewTotal) {
      if (!reader.Read(2, length)) return StoredLookup::kUnreadable;
      total = GetU16(length);
    }
    if (control & kCtlNewKey) {
      if (!reader.Read(2, length)) return StoredLookup::kUnreadable;
      key_length = GetU16(length);
    }
    if (shared > prev_total || shared > total || key_length > total || key_length > kHead) {
      return StoredLookup::kUnreadable;
    }
    const size_t head = std::min(total, std::max(key_length, kMaxSharedPrefix));
    if (shared != 0) std::memcpy(cur, prev, shared);
    if (!reader.Read(head - shared, cur + shared)) return StoredLookup::kUnreadable;
    const int order = CompareKeys({cur, key_length}, key);
    if (order > 0) return StoredLookup::kAbsent;
    if (order == 0) {
      const size_t data = total - key_length;
      *data_length = data;
      const size_t in_head = std::min(head - key_length, out.size());
      if (in_head != 0) std::memcpy(out.data(), cur + key_length, in_head);
      const size_t rest = data - (head - key_length);
      const size_t wanted = std::min(rest, out.size() - in_head);
      if (!reader.Read(wanted, out.data() + in_head)) return StoredLookup::kUnreadable;
      return StoredLookup::kFound;
    }
    if (!reader.Read(total - head, nullptr)) return StoredLookup::kUnreadable;
    prev_total = total;
  }
  return StoredLookup::kAbsent;
}

}  // namespace pellucor::data::kestrune
