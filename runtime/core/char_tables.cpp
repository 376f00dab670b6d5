#include "runtime/core/char_tables.h"

#include <algorithm>

namespace pellucor::runtime {

CharTables CharTables::Defaults() {
  CharTables t;
  for (int c = 0; c < 256; ++c) {
    t.collation[c] = static_cast<uint8_t>(c);
    t.oem_collation[c] = static_cast<uint8_t>(c);
    t.upper[c] = static_cast<uint8_t>(c);
  }
  for (int c = 'a'; c <= 'z'; ++c) {
    t.upper[c] = static_cast<uint8_t>(c - 'a' + 'A');
    t.char_class[c] = kCharClassLower;
    t.char_class[c - 'a' + 'A'] = kCharClassUpper;
  }
  for (int c = '0'; c <= '9'; ++c) t.char_class[c] = kCharClassDigit;
  return t;
}

std::array<uint8_t, kCharTablesSize> CharTables::Serialize() const {
  std::array<uint8_t, kCharTablesSize> out{};
  std::copy(collation.begin(), collation.end(), out.begin());
  std::copy(oem_collation.begin(), oem_collation.end(), out.begin() + 256);
  std::copy(upper.begin(), upper.end(), out.begin() + 512);
  std::copy(char_class.begin(), char_class.end(), out.begin() + 768);
  for (size_t i = 0; i < kMaxDigraphs; ++i) {
    out[1024 + 3 * i] = digraphs[i].ch;
    out[1025 + 3 * i] = digraphs[i].first;
    out[1026 + 3 * i] = digraphs[i].second;
    out[1072 + 3 * i] = oem_digraphs[i].ch;
    out[1073 + 3 * i] = oem_digraphs[i].first;
    out[1074 + 3 * i] = oem_digraphs[i].second;
  }
  out[1120] = digraph_count;
  return out;
}

bool CharTables::Deserialize(std::span<const uint8_t> bytes, CharTables* out) {
  if (bytes.size() < kCharTablesSize || bytes[1120] > kMaxDigraphs) return false;
  CharTables t;
  std::copy_n(bytes.begin(), 256, t.collation.begin());
  std::copy_n(bytes.begin() + 256, 256, t.oem_collation.begin());
  std::copy_n(bytes.begin() + 512, 256, t.upper.begin());
  std::copy_n(bytes.begin() + 768, 256, t.char_class.begin());
  for (size_t i = 0; i < kMaxDigraphs; ++i) {
    t.digraphs[i] = {bytes[1024 + 3 * i], bytes[1025 + 3 * i], bytes[1026 + 3 * i]};
    t.oem_digraphs[i] = {bytes[1072 + 3 * i], bytes[1073 + 3 * i], bytes[1074 + 3 * i]};
  }
  t.digraph_count = bytes[1120];
  *out = t;
  return true;
}

CharTables& CurrentCharTables() {
  static CharTables tables = CharTables::Defaults();
  return tables;
}

}  // namespace pellucor::runtime
