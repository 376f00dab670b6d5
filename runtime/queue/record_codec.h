// The compressed form in which a queue holds records of 128 bytes or more.
//
// A compressed record is a sequence of items, each led by a control byte:
//
//   bit 7   1: a literal run, the `count` bytes that follow are copied
//           0: a repeat run, the one byte that follows is repeated `count` times
//   bit 6   0: count = low 6 bits (0-63)
//           1, low 6 bits below 48: count = (low 6 bits) * 256 + the next byte (up to 12287)
//           1, low 6 bits equal 48: count = the next 4 bytes, little-endian
//           1, low 6 bits above 48: count = the next 2 bytes, little-endian
//
// Decoding stops when the input is used up. A count that would run past the record or past the
// input makes the record unreadable: the decoder then reports length 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pellucor::runtime::queue_detail {

// Appends the compressed form of `record` to *out.
void EncodeRecord(std::span<const uint8_t> record, std::vector<uint8_t>* out);

// Decodes `input` into `record` (the record's full size) and returns the number of bytes
// produced, or 0 when the input is unreadable. With `limit` below the record size the decoder
// may stop as soon as `limit` bytes are produced (the prefix a key comparison needs); it then
// returns at least `limit` for a sound input.
[[nodiscard]] size_t DecodeRecord(std::span<const uint8_t> input, std::span<uint8_t> record,
                                  size_t limit = SIZE_MAX);

}  // namespace pellucor::runtime::queue_detail
