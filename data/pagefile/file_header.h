// The 512-byte header at the start of every Kestrune file.
//
// Layout (little-endian unless marked):
//
//   offset  width      field
//      0    u32        the header's own offset, 0 (the header has the prefix of a page)
//      4    u16        the header's length, 512
//      6    u32        log start: byte offset of the first page image in the log
//     10    u32        log end: just past the last page image; equal to log start when empty
//     14    4 bytes    signature "kEsT"
//     18    2 bytes    not interpreted; written as zero
//     20    u32 (BE)   last number handed out from the file's number sequence
//     24    u32        change counter, incremented at every commit; 0 in a never-written file
//     28    u32        page number of the B-tree root; 0xFFFFFFFF when the tree is empty
//     32    60 x u32   region starts in blocks, indexed by page size in blocks (entry 0 unused)
//    272    60 x u32   region ends, same index
//
// Region d holds every page of d blocks, at page numbers start[d], start[d] + d, ... below
// end[d]. Non-empty regions lie in ascending order of d and never overlap; an empty region
// (start == end) takes no space and its numbers mean nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace pellucor::data::pagefile {

inline constexpr size_t kHeaderSize = 512;
inline constexpr size_t kRegionCount = 60;  // index 1..59 used
inline constexpr uint32_t kNoRoot = 0xFFFFFFFFu;
inline constexpr char kSignature[4] = {'k', 'E', 's', 'T'};

struct FileHeader {
  uint32_t log_start = kHeaderSize;
  uint32_t log_end = kHeaderSize;
  uint32_t last_number = 0;  // the sequence; stored big-endian
  uint32_t change_counter = 0;
  uint32_t root = 0;
  std::array<uint32_t, kRegionCount> region_start{};
  std::array<uint32_t, kRegionCount> region_end{};

  bool LogEmpty() const { return log_start == log_end; }
  bool RegionEmpty(size_t d) const { return region_start[d] >= region_end[d]; }
  // End of the page space in blocks: the end of the highest non-empty region (0 when none).
  uint32_t PageSpaceEndBlocks() const;
  // Byte offset just past the page space, where an empty log sits.
  uint64_t PageSpaceEndOffset() const;
  // The region (page size in blocks) holding page `page`, or 0 when no region holds it or the
  // number is not at a page boundary of its region.
  size_t RegionOf(uint32_t page) const;

  bool operator==(const FileHeader&) const = default;
};

// The stored form. Encode writes signature, own offset and length as well.
std::array<uint8_t, kHeaderSize> EncodeHeader(const FileHeader& header);

enum class HeaderCheck {
  kOk,
  kBadSignature,  // not a Kestrune header (error 36)
  kBadLayout,     // signature in place, but fields that a sound file never holds
};
// Parses 512 stored bytes. kBadLayout covers a wrong own offset or length and regions that
// overlap or are out of order; *detail then says which. Log fields are not judged here.
[[nodiscard]] HeaderCheck DecodeHeader(std::span<const uint8_t> bytes, FileHeader* out,
                                       std::string* detail = nullptr);

}  // namespace pellucor::data::pagefile
