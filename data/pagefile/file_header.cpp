#include "data/pagefile/file_header.h"

#include <cstring>

#include "data/kestrune/page_codec.h"

namespace pellucor::data::pagefile {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
uint32_t GetLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr size_t kLogStartAt = 6;
constexpr size_t kLogEndAt = 10;
constexpr size_t kSignatureAt = 14;
constexpr size_t kSequenceAt = 20;
constexpr size_t kCounterAt = 24;
constexpr size_t kRootAt = 28;
constexpr size_t kStartsAt = 32;
constexpr size_t kEndsAt = 272;

}  // namespace

uint32_t FileHeader::PageSpaceEndBlocks() const {
  for (size_t d = kRegionCount - 1; d >= 1; --d) {
    if (!RegionEmpty(d)) return region_end[d];
  }
  return 0;
}

uint64_t FileHeader::PageSpaceEndOffset() const {
  return kestrune::PageOffset(PageSpaceEndBlocks());
}

size_t FileHeader::RegionOf(uint32_t page) const {
  for (size_t d = 1; d < kRegionCount; ++d) {
    if (RegionEmpty(d)) continue;
    if (page >= region_start[d] && page < region_end[d]) {
      return (page - region_start[d]) % d == 0 ? d : 0;
    }
  }
  return 0;
}

std::array<uint8_t, kHeaderSize> EncodeHeader(const FileHeader& h) {
  std::array<uint8_t, kHeaderSize> b{};
  PutLe32(&b[0], 0);
  b[4] = static_cast<uint8_t>(kHeaderSize & 0xFF);
  b[5] = static_cast<uint8_t>(kHeaderSize >> 8);
  PutLe32(&b[kLogStartAt], h.log_start);
  PutLe32(&b[kLogEndAt], h.log_end);
  std::memcpy(&b[kSignatureAt], kSignature, 4);
  // The sequence is big-endian: it is the source of table and record numbers, which are
  // big-endian wherever they appear.
  b[kSequenceAt] = static_cast<uint8_t>(h.last_number >> 24);
  b[kSequenceAt + 1] = static_cast<uint8_t>(h.last_number >> 16);
  b[kSequenceAt + 2] = static_cast<uint8_t>(h.last_number >> 8);
  b[kSequenceAt + 3] = static_cast<uint8_t>(h.last_number);
  PutLe32(&b[kCounterAt], h.change_counter);
  PutLe32(&b[kRootAt], h.root);
  for (size_t d = 0; d < kRegionCount; ++d) {
    PutLe32(&b[kStartsAt + 4 * d], h.region_start[d]);
    PutLe32(&b[kEndsAt + 4 * d], h.region_end[d]);
  }
  return b;
}

HeaderCheck DecodeHeader(std::span<const uint8_t> b, FileHeader* out, std::string* detail) {
  auto fail = [&](HeaderCheck c, const char* text) {
    if (detail) *detail = text;
    return c;
  };
  if (b.size() < kHeaderSize) return fail(HeaderCheck::kBadSignature, "header too short");
  if (std::memcmp(&b[kSignatureAt], kSignature, 4) != 0) {
    return fail(HeaderCheck::kBadSignature, "signature missing");
  }
  FileHeader h;
  h.log_start = GetLe32(&b[kLogStartAt]);
  h.log_end = GetLe32(&b[kLogEndAt]);
  h.last_number = uint32_t{b[kSequenceAt]} << 24 | uint32_t{b[kSequenceAt + 1]} << 16 |
                  uint32_t{b[kSequenceAt + 2]} << 8 | uint32_t{b[kSequenceAt + 3]};
  h.change_counter = GetLe32(&b[kCounterAt]);
  h.root = GetLe32(&b[kRootAt]);
  for (size_t d = 0; d < kRegionCount; ++d) {
    h.region_start[d] = GetLe32(&b[kStartsAt + 4 * d]);
    h.region_end[d] = GetLe32(&b[kEndsAt + 4 * d]);
  }
  *out = h;
  if (GetLe32(&b[0]) != 0 || (b[4] | b[5] << 8) != kHeaderSize) {
    return fail(HeaderCheck::kBadLayout, "header offset or length wrong");
  }
  // A log that ends before it starts is not refused here: a header torn in its first bytes
  // looks like that, and the log check then discards the log.
  // Page offsets are u32 in a stored page, so no page may lie beyond 4 GiB.
  constexpr uint64_t kMaxBlocks = (uint64_t{0xFFFFFFFF} - kHeaderSize) / kestrune::kBlockSize;
  uint32_t previous_end = 0;
  for (size_t d = 1; d < kRegionCount; ++d) {
    if (h.region_start[d] > h.region_end[d]) {
      return fail(HeaderCheck::kBadLayout, "a region ends before it starts");
    }
    if (h.RegionEmpty(d)) continue;
    if (h.region_end[d] > kMaxBlocks) return fail(HeaderCheck::kBadLayout, "region beyond 4 GiB");
    if ((h.region_end[d] - h.region_start[d]) % d != 0) {
      return fail(HeaderCheck::kBadLayout, "a region is not a whole number of pages");
    }
    if (h.region_start[d] < previous_end) {
      return fail(HeaderCheck::kBadLayout, "regions overlap or are out of order");
    }
    previous_end = h.region_end[d];
  }
  if (h.change_counter != 0 && h.root != kNoRoot && h.RegionOf(h.root) == 0) {
    return fail(HeaderCheck::kBadLayout, "root page in no region");
  }
  return HeaderCheck::kOk;
}

}  // namespace pellucor::data::pagefile
