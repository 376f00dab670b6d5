#include "data/kestrune/rle.h"

#include <cstring>

namespace pellucor::data::kestrune {
namespace {

void PutCount(size_t n, std::vector<uint8_t>* out) {
  while (n >= 0x80) {
    out->push_back(static_cast<uint8_t>(n | 0x80));
    n >>= 7;
  }
  out->push_back(static_cast<uint8_t>(n));
}

// Reads a base-128 count. Counts never exceed a page's unpacked length, so more than three
// bytes (21 bits) can only come from damage; false then, or when the text ends mid-count.
bool GetCount(std::span<const uint8_t> in, size_t* pos, size_t* n) {
  size_t value = 0;
  for (int shift = 0; shift <= 14; shift += 7) {
    if (*pos >= in.size()) return false;
    const uint8_t b = in[(*pos)++];
    value |= size_t{b & 0x7Fu} << shift;
    if ((b & 0x80) == 0) {
      *n = value;
      return true;
    }
  }
  return false;
}

}  // namespace

bool RlePack(std::span<const uint8_t> text, std::vector<uint8_t>* out) {
  const size_t n = text.size();
  const size_t start_size = out->size();
  size_t literal_start = 0;  // first byte not yet written
  size_t i = 0;
  bool any_run = false;
  const uint8_t* p = text.data();
  while (i < n) {
    size_t j = i + 1;
    // Runs (a note's blank padding) are walked eight bytes at a time.
    if (j + 8 <= n && p[j] == p[i]) {
      uint64_t pattern = 0x0101010101010101ull * p[i];
      for (uint64_t word; j + 8 <= n; j += 8) {
        std::memcpy(&word, p + j, 8);
        if (word != pattern) break;
      }
    }
    while (j < n && p[j] == p[i]) ++j;
    const size_t run = j - i;
    if (run >= 4) {
      // The group carries the literals up to and including the run's first byte.
      const size_t literals = i + 1 - literal_start;
      PutCount(literals, out);
      out->insert(out->end(), text.begin() + static_cast<ptrdiff_t>(literal_start),
                  text.begin() + static_cast<ptrdiff_t>(i + 1));
      PutCount(run - 1, out);
      literal_start = j;
      any_run = true;
    }
    i = j;
  }
  if (!any_run) {
    out->resize(start_size);
    return false;
  }
  // The last group: the remaining literals and no repeat count (0 when the text ends in a run).
  PutCount(n - literal_start, out);
  out->insert(out->end(), text.begin() + static_cast<ptrdiff_t>(literal_start), text.end());
  return true;
}

RleUnpackResult RleUnpack(std::span<const uint8_t> packed, std::span<uint8_t> out) {
  RleUnpackResult result;
  size_t in_pos = 0;
  size_t out_pos = 0;
  const size_t total = out.size();
  for (;;) {
    size_t literals = 0;
    if (!GetCount(packed, &in_pos, &literals)) {
      // A text that ends where the output is complete is whole.
      if (out_pos == total && in_pos >= packed.size()) break;
      result.error = kErrUnpackLiteralOverrun;
      break;
    }
    if (literals > total - out_pos || literals > packed.size() - in_pos) {
      result.error = kErrUnpackLiteralOverrun;
      break;
    }
    if (literals != 0) std::memcpy(out.data() + out_pos, packed.data() + in_pos, literals);
    out_pos += literals;
    in_pos += literals;
    if (out_pos == total) break;
    size_t repeat = 0;
    if (out_pos == 0 || !GetCount(packed, &in_pos, &repeat) || repeat > total - out_pos) {
      // A repeat needs a byte to repeat and room for its copies.
      result.error = kErrUnpackRepeatOverrun;
      break;
    }
    if (repeat != 0) std::memset(out.data() + out_pos, out[out_pos - 1], repeat);
    out_pos += repeat;
  }
  result.consumed = in_pos;
  return result;
}

bool RleReader::NextPiece() {
  if (!repeat_next_) {
    size_t n = 0;
    if (!GetCount(in_, &in_pos_, &n) || n > total_ - out_pos_ || n > in_.size() - in_pos_) {
      return false;
    }
    literals_ = n;
    repeat_next_ = true;
    return true;
  }
  size_t r = 0;
  if (out_pos_ == total_ || out_pos_ == 0 || !GetCount(in_, &in_pos_, &r) ||
      r > total_ - out_pos_) {
    return false;
  }
  repeats_ = r;
  repeat_next_ = false;
  return true;
}

bool RleReader::Read(size_t n, uint8_t* out) {
  if (n > total_ - out_pos_) return false;
  if (!packed_) {
    if (n > in_.size() - out_pos_) return false;
    if (out != nullptr && n != 0) std::memcpy(out, in_.data() + out_pos_, n);
    out_pos_ += n;
    return true;
  }
  while (n > 0) {
    if (literals_ > 0) {
      const size_t k = std::min(n, literals_);
      if (out != nullptr) {
        std::memcpy(out, in_.data() + in_pos_, k);
        out += k;
      }
      in_pos_ += k;
      literals_ -= k;
      last_ = in_[in_pos_ - 1];
      out_pos_ += k;
      n -= k;
    } else if (repeats_ > 0) {
      const size_t k = std::min(n, repeats_);
      if (out != nullptr) {
        std::memset(out, last_, k);
        out += k;
      }
      repeats_ -= k;
      out_pos_ += k;
      n -= k;
    } else if (!NextPiece()) {
      return false;
    }
  }
  return true;
}

}  // namespace pellucor::data::kestrune
