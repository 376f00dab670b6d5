// The run-length code of stored pages.
//
// A packed text is a sequence of groups. Each group is a count n, then n literal bytes, then a
// count r: the last literal byte is repeated r more times. The last group has no repeat count;
// it ends when the output has reached the unpacked length (its literal count may be 0, which is
// how a text that ends in a run is closed). Counts are base-128 numbers, lowest seven bits first,
// bit 0x80 set on every byte but the last.
//
// The packer looks for runs of at least four equal bytes. For a run of k >= 4 the group carries
// the literals pending since the last run, up to and including the run's first byte, then the
// repeat count k - 1. Shorter runs stay literal. A text without any run of four is not packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pellucor::data::kestrune {

// Internal-error numbers of the unpacker: a literal group or a repeat that would write past the
// unpacked length (or a packed text that ends before the output is complete).
inline constexpr int32_t kErrUnpackLiteralOverrun = 522;
inline constexpr int32_t kErrUnpackRepeatOverrun = 530;

// Appends the packed form of `text` to *out and returns true; returns false and leaves *out as
// it was when the text holds no run of four equal bytes.
[[nodiscard]] bool RlePack(std::span<const uint8_t> text, std::vector<uint8_t>* out);

struct RleUnpackResult {
  int32_t error = 0;    // 0, kErrUnpackLiteralOverrun or kErrUnpackRepeatOverrun
  size_t consumed = 0;  // packed bytes read
  bool ok() const { return error == 0; }
};

// Rebuilds exactly out.size() bytes from `packed`. Never reads or writes out of bounds: damaged
// input gives an error result. A packed text that ends right after a repeat which completed the
// output (without the closing empty group) is accepted.
[[nodiscard]] RleUnpackResult RleUnpack(std::span<const uint8_t> packed, std::span<uint8_t> out);

// Reads a text of `total` bytes piece by piece without rebuilding the whole of it: from its
// packed form, or (packed false) as it stands. Read copies the next n bytes (out null: passes
// over them, which costs nothing for a run). False, with nothing promised about *out, when the
// text ends first or its packed form is damaged.
class RleReader {
 public:
  RleReader(std::span<const uint8_t> text, size_t total, bool packed)
      : in_(text), total_(total), packed_(packed) {}
  [[nodiscard]] bool Read(size_t n, uint8_t* out);

 private:
  bool NextPiece();

  std::span<const uint8_t> in_;
  size_t total_;
  bool packed_;
  size_t in_pos_ = 0;
  size_t out_pos_ = 0;
  size_t literals_ = 0;  // of the current group, still to read
  size_t repeats_ = 0;   // copies of `last_` still to give
  bool repeat_next_ = false;
  uint8_t last_ = 0;
};

}  // namespace pellucor::data::kestrune
