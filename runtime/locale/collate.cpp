// Collation and case tables: the "WINDOWS" forms and the comparison that uses them.
//
// The "WINDOWS" collating order ranks the characters 2 to 254 (0, 1 and 255 keep their own
// places) the way the desktop's word sort orders Windows-1252 text, by these keys in turn:
//   1. group: control characters, then the joiners a word sort nearly ignores (apostrophe,
//      hyphen, soft hyphen, dashes), then blanks, punctuation and symbols, then digits, then
//      letters;
//   2. within letters the base letter (a-z; thorn after z), within digits the digit
//      (superscripts with their digit), within the others the Unicode code point;
//   3. the accent: the plain letter first, then its accented forms and ligatures (Æ with A,
//      Œ with O, ß with S) in character-code order;
//   4. case: lower case before upper case.
// So "a" < "A" < "á" < "Á" < "b", and every digit sorts before every letter.
#include <algorithm>
#include <tuple>
#include <vector>

#include "platform/codepage.h"
#include "runtime/core/char_tables.h"
#include "runtime/locale/locale_internal.h"
#include "runtime/values/compare.h"

namespace pellucor::runtime {

namespace {

enum Group { kControl = 0, kJoiner = 1, kSymbol = 2, kDigitGroup = 3, kLetter = 4 };

// Base letters of U+00C0-U+00FF ('*' marks the two symbols there, '~' thorn).
constexpr std::string_view kLatin1Base =
    "aaaaaaaceeeeiiiidnooooo*ouuuuy~s"
    "aaaaaaaceeeeiiiidnooooo*ouuuuy~y";

struct Key {
  int group;
  int primary;
  int accent;
  int upper;
  int code;
  friend bool operator<(const Key& a, const Key& b) {
    return std::tie(a.group, a.primary, a.accent, a.upper, a.code) <
           std::tie(b.group, b.primary, b.accent, b.upper, b.code);
  }
};

Key WindowsKey(uint8_t c) {
  const char32_t u = platform::AnsiToUnicode(c);
  const bool upper = platform::IsAnsiUpper(c);
  const uint8_t lower = upper ? platform::AnsiLower(c) : c;
  auto letter = [&](char base) {
    const bool plain = (lower >= 'a' && lower <= 'z');
    return Key{kLetter, base == '~' ? 26 : base - 'a', plain ? 0 : lower, upper ? 1 : 0, c};
  };
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return letter(static_cast<char>(lower));
  if (u >= 0xC0 && u <= 0xFF && kLatin1Base[u - 0xC0] != '*') return letter(kLatin1Base[u - 0xC0]);
  switch (u) {
    case 0x0192:  // f with hook
      return letter('f');
    case 0x0160:  // S caron
    case 0x0161:
      return letter('s');
    case 0x0152:  // OE
    case 0x0153:
      return letter('o');
    case 0x017D:  // Z caron
    case 0x017E:
      return letter('z');
    case 0x0178:  // Y diaeresis
      return letter('y');
    case 0x00AA:  // ordinal indicators
      return letter('a');
    case 0x00BA:
      return letter('o');
    default:
      break;
  }
  if (c >= '0' && c <= '9') return {kDigitGroup, c - '0', 0, 0, c};
  if (u == 0xB9) return {kDigitGroup, 1, 1, 0, c};
  if (u == 0xB2) return {kDigitGroup, 2, 1, 0, c};
  if (u == 0xB3) return {kDigitGroup, 3, 1, 0, c};
  if (u < 0x20 || u == 0x7F || u == 0xFFFD) return {kControl, static_cast<int>(c), 0, 0, c};
  if (u == '\'' || u == '-' || u == 0xAD || u == 0x2013 || u == 0x2014) {
    return {kJoiner, static_cast<int>(u), 0, 0, c};
  }
  return {kSymbol, static_cast<int>(u), 0, 0, c};
}

}  // namespace

namespace locale_internal {

void ApplyWindowsCollation() {
  std::vector<std::pair<Key, uint8_t>> order;
  for (int c = 2; c <= 254; ++c) order.push_back({WindowsKey(static_cast<uint8_t>(c)), c});
  std::sort(order.begin(), order.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  CharTables& t = CurrentCharTables();
  for (int c = 0; c < 256; ++c) t.collation[c] = static_cast<uint8_t>(c);
  for (size_t rank = 0; rank < order.size(); ++rank) {
    t.collation[order[rank].second] = static_cast<uint8_t>(2 + rank);
  }
}

void ResetUpperCase() {
  const CharTables defaults = CharTables::Defaults();
  CharTables& t = CurrentCharTables();
  t.upper = defaults.upper;
  t.char_class = defaults.char_class;
  Locale& l = MutableLocale();
  l.case_partner = {};
  for (int c = 'A'; c <= 'Z'; ++c) {
    l.case_partner[c] = static_cast<uint8_t>(c - 'A' + 'a');
    l.case_partner[c - 'A' + 'a'] = static_cast<uint8_t>(c);
  }
}

void ApplyWindowsCase() {
  ResetUpperCase();
  CharTables& t = CurrentCharTables();
  Locale& l = MutableLocale();
  for (int i = 128; i < 256; ++i) {
    const auto c = static_cast<uint8_t>(i);
    if (platform::IsAnsiUpper(c)) {
      const uint8_t lower = platform::AnsiLower(c);
      t.char_class[c] = kCharClassUpper;
      if (lower != c) {
        t.char_class[lower] = kCharClassLower;
        t.upper[lower] = c;
        l.case_partner[c] = lower;
        l.case_partner[lower] = c;
      }
    } else if (platform::IsAnsiLower(c) && t.char_class[c] == 0) {
      t.char_class[c] = kCharClassLower;  // a lower-case letter without a partner (sharp s)
    }
  }
}

void DeriveOemTables() {
  CharTables& t = CurrentCharTables();
  for (int o = 0; o < 256; ++o) {
    t.oem_collation[o] = t.collation[platform::OemToAnsi(static_cast<uint8_t>(o))];
  }
  t.oem_digraphs = {};
  for (size_t k = 0; k < t.digraph_count && k < kMaxDigraphs; ++k) {
    t.oem_digraphs[k] = {platform::AnsiToOem(t.digraphs[k].ch),
                         platform::AnsiToOem(t.digraphs[k].first),
                         platform::AnsiToOem(t.digraphs[k].second)};
  }
}

uint8_t FoldCase(uint8_t c) {
  const CharTables& t = CurrentCharTables();
  return t.char_class[c] == kCharClassLower ? t.upper[c] : c;
}

}  // namespace locale_internal

int CollateCompare(std::string_view a, std::string_view b, CaseRule rule) {
  return OrderSign(rule == CaseRule::kIgnoreCase ? CompareStringsNoCase(a, b)
                                                 : CompareStrings(a, b));
}

}  // namespace pellucor::runtime
