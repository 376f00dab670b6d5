// The character tables that order and fold text: the collation order, the upper-case map, the
// character classes and the digraphs, in ANSI (Windows-1252) and OEM (code page 437) forms.
// The runtime keeps one current set, built by the locale at start-up; every Kestrune table stores
// a copy of the set current when the table was created, so the order of its text keys never
// changes afterwards.
//
// Stored layout (1152 bytes, the form Serialize writes and a Kestrune 0xFB entry holds after its
// OEM flag byte):
//
//   offset  size  contents
//      0    256   collation: byte -> sort position (ANSI); identity by default
//    256    256   collation of the OEM character set
//    512    256   upper-case map: byte -> its upper-case form (identity for non-letters)
//    768    256   character class: 1 upper-case letter, 2 lower-case letter, 4 digit, 0 other
//   1024     48   digraphs: 16 entries of 3 bytes (character, then the two it expands to);
//                 an entry whose first byte is 0 ends the table
//   1072     48   the same digraphs in the OEM character set
//   1120      1   number of digraph entries in use (0-16)
//   1121     31   reserved, zero
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pellucor::runtime {

inline constexpr int kCharClassUpper = 1;
inline constexpr int kCharClassLower = 2;
inline constexpr int kCharClassDigit = 4;
inline constexpr size_t kCharTablesSize = 1152;
inline constexpr size_t kMaxDigraphs = 16;

struct Digraph {
  uint8_t ch = 0;
  uint8_t first = 0;
  uint8_t second = 0;
};

struct CharTables {
  std::array<uint8_t, 256> collation{};
  std::array<uint8_t, 256> oem_collation{};
  std::array<uint8_t, 256> upper{};
  std::array<uint8_t, 256> char_class{};
  std::array<Digraph, kMaxDigraphs> digraphs{};
  std::array<Digraph, kMaxDigraphs> oem_digraphs{};
  uint8_t digraph_count = 0;

  // Identity collation, A-Z/a-z upper-casing and classes, digits, no digraphs.
  static CharTables Defaults();

  std::array<uint8_t, kCharTablesSize> Serialize() const;
  // Returns false (and leaves *out unchanged) when the bytes are not a sound table set: a
  // digraph count above 16.
  [[nodiscard]] static bool Deserialize(std::span<const uint8_t> bytes, CharTables* out);
};

// The runtime's current character tables. Process-wide; written only by the locale (start-up and
// LoadEnvironment) while no other thread runs program code.
CharTables& CurrentCharTables();

}  // namespace pellucor::runtime
