#include "runtime/queue/record_codec.h"

#include <algorithm>
#include <cstring>

namespace pellucor::runtime::queue_detail {
namespace {

constexpr uint8_t kLiteral = 0x80;
constexpr uint8_t kLongCount = 0x40;
constexpr uint8_t kFourByteCount = 48;
constexpr uint8_t kTwoByteCount = 49;
constexpr size_t kShortCountMax = 63;
constexpr size_t kMediumCountMax = 47 * 256 + 255;
// A repeat item costs two bytes (three to seven for long runs): shorter runs stay literal.
constexpr size_t kMinRepeat = 3;

void PutCount(uint8_t kind, size_t count, std::vector<uint8_t>* out) {
  if (count <= kShortCountMax) {
    out->push_back(static_cast<uint8_t>(kind | count));
  } else if (count <= kMediumCountMax) {
    out->push_back(static_cast<uint8_t>(kind | kLongCount | (count >> 8)));
    out->push_back(static_cast<uint8_t>(count & 0xFF));
  } else if (count <= 0xFFFF) {
    out->push_back(static_cast<uint8_t>(kind | kLongCount | kTwoByteCount));
    out->push_back(static_cast<uint8_t>(count & 0xFF));
    out->push_back(static_cast<uint8_t>(count >> 8));
  } else {
    out->push_back(static_cast<uint8_t>(kind | kLongCount | kFourByteCount));
    for (int shift = 0; shift < 32; shift += 8) {
      out->push_back(static_cast<uint8_t>((count >> shift) & 0xFF));
    }
  }
}

void PutLiteral(std::span<const uint8_t> bytes, std::vector<uint8_t>* out) {
  if (bytes.empty()) return;
  PutCount(kLiteral, bytes.size(), out);
  out->insert(out->end(), bytes.begin(), bytes.end());
}

}  // namespace

void EncodeRecord(std::span<const uint8_t> record, std::vector<uint8_t>* out) {
  size_t literal_start = 0;
  size_t i = 0;
  while (i < record.size()) {
    size_t run = 1;
    while (i + run < record.size() && record[i + run] == record[i]) ++run;
    if (run >= kMinRepeat) {
      PutLiteral(record.subspan(literal_start, i - literal_start), out);
      PutCount(0, run, out);
      out->push_back(record[i]);
      i += run;
      literal_start = i;
    } else {
      i += run;
    }
  }
  PutLiteral(record.subspan(literal_start), out);
}

size_t DecodeRecord(std::span<const uint8_t> input, std::span<uint8_t> record, size_t limit) {
  size_t in = 0;
  size_t out = 0;
  while (in < input.size() && out < limit) {
    const uint8_t control = input[in++];
    const size_t low = control & 0x3F;
    size_t count = low;
    if (control & kLongCount) {
      size_t width = low < kFourByteCount ? 1 : (low == kFourByteCount ? 4 : 2);
      if (input.size() - in < width) return 0;
      if (low < kFourByteCount) {
        count = low * 256 + input[in];
      } else {
        count = 0;
        for (size_t b = 0; b < width; ++b) count |= static_cast<size_t>(input[in + b]) << (8 * b);
      }
      in += width;
    }
    if (count > record.size() - out) return 0;
    if (control & kLiteral) {
      if (count > input.size() - in) return 0;
      if (count > 0) std::memcpy(record.data() + out, input.data() + in, count);
      in += count;
    } else {
      if (in >= input.size()) return 0;
      const uint8_t fill = input[in++];
      if (count > 0) std::memset(record.data() + out, fill, count);
    }
    out += count;
  }
  return out;
}

}  // namespace pellucor::runtime::queue_detail
