// Pages of a Kestrune file: the in-memory page and its stored form.
//
// Stored form (little-endian numbers):
//
//   offset  width        field
//      0    u32          the page's own byte offset in the file (512 + 256 * page number)
//      4    u16          stored length in bytes, this prefix included
//      6    u16          unpacked length in bytes, this prefix included
//      8    u16          size account (see Page::size_account)
//     10    u16          number of entries
//     12    u8           level: 0 for a leaf, higher for an inner page
//     13    count * u32  inner pages only: the child page number of each entry, in entry order
//   then                 the entries, prefix-compressed, and the whole run-length packed when
//                        that saves at least one block (rle.h); the tail of the last 256-byte
//                        block is filled with 0xB0.
//
// Each entry is stored as a control byte (bits 0-5: leading bytes shared with the previous
// entry, at most 63 and at most the previous entry's total length; bit 7: a new u16 total length
// follows; bit 6: a new u16 key length follows), then the entry's bytes after the shared prefix.
// An entry without bit 7 (bit 6) has the previous entry's total (key) length. The first entry of
// a page carries both lengths and shares nothing.
//
// The prefix (13 bytes plus the child numbers) is never packed. A reader unpacks whenever the
// stored length is below the unpacked length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace pellucor::data::kestrune {

inline constexpr size_t kFileHeaderSize = 512;
inline constexpr size_t kBlockSize = 256;
inline constexpr size_t kMinPageBlocks = 1;
inline constexpr size_t kMaxPageBlocks = 59;
inline constexpr size_t kMaxPageBytes = kMaxPageBlocks * kBlockSize;  // 15104
inline constexpr size_t kPagePrefixSize = 13;
inline constexpr size_t kChildNumberSize = 4;
inline constexpr uint8_t kPageFill = 0xB0;
// Bytes an entry adds to the size account beyond its own bytes: control byte and both lengths.
inline constexpr size_t kEntryOverhead = 5;
// The longest shared prefix the control byte can express.
inline constexpr size_t kMaxSharedPrefix = 63;

// Split thresholds, checked after an insertion: a page splits when its size account reaches
// kSplitAccountAlways, or reaches kSplitAccountMany while it holds kSplitEntryCount entries.
inline constexpr uint32_t kSplitAccountAlways = 15095;
inline constexpr uint32_t kSplitAccountMany = 4097;
inline constexpr size_t kSplitEntryCount = 21;

// The page number that stands for "no page" (an empty tree's root).
inline constexpr uint32_t kNoPage = 0xFFFFFFFFu;

// Internal-error numbers that page encoding and decoding report (the page file stops with them).
inline constexpr int32_t kErrSplitTooFewEntries = 1364;
inline constexpr int32_t kErrEntriesLength = 1602;     // entries do not end at the unpacked length
inline constexpr int32_t kErrAboveSizeAccount = 1659;  // unpacked length above the size account
inline constexpr int32_t kErrPageTooLarge = 1678;      // 15105 bytes or more, rounded to blocks

constexpr uint64_t PageOffset(uint32_t page_number) {
  return kFileHeaderSize + uint64_t{kBlockSize} * page_number;
}
constexpr size_t BlocksFor(size_t bytes) {
  return (bytes + kBlockSize - 1) / kBlockSize;
}
constexpr size_t RoundToBlocks(size_t bytes) {
  return BlocksFor(bytes) * kBlockSize;
}

// Entry order: bytewise as unsigned values over the shorter key; when equal there, the shorter
// key first. Returns <0, 0 or >0.
int CompareKeys(std::span<const uint8_t> a, std::span<const uint8_t> b);

// One page in memory. Entries are kept in key order (the caller inserts at the right index;
// LowerBound/UpperBound find it). All entry bytes live in one arena owned by the page, so adding
// an entry costs no allocation of its own; spans returned by Key/Data/Entry stay valid until the
// page is next changed.
class Page {
 public:
  Page() = default;
  explicit Page(uint8_t level) : level_(level) {}

  uint8_t level() const { return level_; }
  void set_level(uint8_t level);  // REQUIRES: empty()
  bool is_leaf() const { return level_ == 0; }
  size_t count() const { return refs_.size(); }
  bool empty() const { return refs_.empty(); }

  // REQUIRES: i < count().
  std::span<const uint8_t> Key(size_t i) const;
  std::span<const uint8_t> Data(size_t i) const;
  std::span<uint8_t> MutableData(size_t i);        // rewrite a counter or record of the same length
  std::span<const uint8_t> Entry(size_t i) const;  // key part followed by data part
  // Inner pages only (REQUIRES: !is_leaf()).
  uint32_t Child(size_t i) const { return refs_[i].child; }
  void SetChild(size_t i, uint32_t child) { refs_[i].child = child; }

  // First index whose key is not less (LowerBound) / greater (UpperBound) than `key`.
  size_t LowerBound(std::span<const uint8_t> key) const;
  size_t UpperBound(std::span<const uint8_t> key) const;
  // True and *index set when an entry with exactly this key exists.
  [[nodiscard]] bool Find(std::span<const uint8_t> key, size_t* index) const;

  // Inserts before index i (REQUIRES: i <= count(), key.size() + data.size() <= 65535). On a leaf
  // `child` is ignored; inner-page entries have no data part.
  void Insert(size_t i, std::span<const uint8_t> key, std::span<const uint8_t> data,
              uint32_t child = 0);
  // Replaces entry i's bytes (its key and data); the caller keeps the key order.
  void Replace(size_t i, std::span<const uint8_t> key, std::span<const uint8_t> data);
  void ReplaceData(size_t i, std::span<const uint8_t> data);
  void Erase(size_t i);
  // Moves entries [from, count()) to the end of *dest (with their child numbers), as a split
  // does; *dest must have this page's level.
  void MoveTailTo(size_t from, Page* dest);
  void Clear();

  // Upper bound of the unpacked length: the 13-byte prefix, plus for every entry its bytes, the
  // control byte and both lengths, plus its child number on an inner page. Always exact for the
  // entries held, so the stored page can never be longer than the account says.
  uint32_t size_account() const { return size_account_; }
  // The split rule after an insertion.
  bool NeedsSplit() const;

  // Drops bytes of erased or replaced entries from the arena (done by itself when they pile up).
  void Compact();

 private:
  struct Ref {
    uint32_t offset;  // into arena_
    uint16_t key_length;
    uint16_t total_length;
    uint32_t child;
  };
  friend struct PageDecoder;

  uint32_t AccountOf(size_t total_length) const;
  uint32_t Append(std::span<const uint8_t> key, std::span<const uint8_t> data);
  void NoteGarbage(size_t bytes);

  // Bytes the arena grows by are written at once (entries are copied in), so growing it need
  // not zero them first: a page read from the file fills ~10 KB of arena per cache miss.
  template <class T>
  struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
      using other = UninitializedAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  };
  using Arena = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

  uint8_t level_ = 0;
  uint32_t size_account_ = kPagePrefixSize;
  size_t garbage_ = 0;
  std::vector<Ref> refs_;
  Arena arena_;
};

enum class PackMode {
  kPackWhenSmaller,  // the stored rule: pack when it saves at least one block
  kNeverPack,        // for dumps and tests
};

struct [[nodiscard]] PageEncodeResult {
  int32_t error = 0;           // 0, kErrAboveSizeAccount or kErrPageTooLarge
  size_t stored_length = 0;    // bytes, prefix included, before the 0xB0 fill
  size_t unpacked_length = 0;  // bytes, prefix included
  size_t blocks = 0;           // size of the stored form in 256-byte blocks (1-59)
  bool packed = false;
  bool ok() const { return error == 0; }
};

// Writes the stored form of `page` as page `page_number` into *out, resized to whole blocks.
// On error *out holds nothing useful. Linear in the page's size.
PageEncodeResult EncodePage(const Page& page, uint32_t page_number, std::vector<uint8_t>* out,
                            PackMode mode = PackMode::kPackWhenSmaller);

// The fixed fields at the start of a stored page.
struct PagePrefix {
  uint32_t own_offset = 0;
  uint16_t stored_length = 0;
  uint16_t unpacked_length = 0;
  uint16_t size_account = 0;
  uint16_t count = 0;
  uint8_t level = 0;
};
// Reads the prefix from the first bytes of a stored page (at least 13). False when too short.
[[nodiscard]] bool ReadPagePrefix(std::span<const uint8_t> stored, PagePrefix* out);

struct [[nodiscard]] PageDecodeResult {
  // 0, or the internal-error number: 522/530 unpacking overrun, kErrEntriesLength for entries
  // (or lengths) that do not add up, kErrPageTooLarge for a stored length above 59 blocks.
  int32_t error = 0;
  PagePrefix prefix;
  bool ok() const { return error == 0; }
};

// Rebuilds *out from a stored page (`stored` holds at least the stored length; a longer span,
// such as the whole block run, is fine). Outside input: never reads out of bounds, and on error
// *out is left empty. The page's own offset is returned in the prefix for the caller to check.
PageDecodeResult DecodePage(std::span<const uint8_t> stored, Page* out);

// One entry of a stored leaf page, found without building the page: the page is unpacked only
// as far as the entry, and only the entry's data is copied. What a full decode would refuse is
// not always noticed here; kUnreadable says "decode the page": an inner page, a key longer than
// this reader keeps, or damage met on the way.
enum class StoredLookup { kFound, kAbsent, kUnreadable };
// Copies at most out.size() bytes of the data of the entry whose key is `key` into `out`;
// *data_length receives the data's whole length.
StoredLookup FindInStoredLeaf(std::span<const uint8_t> stored, std::span<const uint8_t> key,
                              std::span<uint8_t> out, size_t* data_length);

}  // namespace pellucor::data::kestrune
