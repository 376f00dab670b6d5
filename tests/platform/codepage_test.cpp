#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace pellucor::platform {
namespace {

TEST(Codepage, AnsiCaseFollowsTheLettersOfWindows1252) {
  struct Pair {
    uint8_t upper, lower;
    const char* name;
  };
  const Pair pairs[] = {
      {'A', 'a', "A"},
      {'Z', 'z', "Z"},
      {0xC0, 0xE0, "A grave"},
      {0xC9, 0xE9, "E acute"},
      {0xD6, 0xF6, "O diaeresis"},
      {0xD8, 0xF8, "O stroke"},
      {0xDE, 0xFE, "thorn"},
      {0x8A, 0x9A, "S caron"},
      {0x8C, 0x9C, "OE"},
      {0x8E, 0x9E, "Z caron"},
      {0x9F, 0xFF, "Y diaeresis"},
  };
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(AnsiUpper(p.lower), p.upper);
    EXPECT_EQ(AnsiLower(p.upper), p.lower);
    EXPECT_TRUE(IsAnsiUpper(p.upper));
    EXPECT_TRUE(IsAnsiLower(p.lower));
    EXPECT_FALSE(IsAnsiUpper(p.lower));
  }
  // Signs between the letters are no letters; sharp s and micro have no capital here.
  for (uint8_t c : {0xD7, 0xF7, 0x40, 0x5B, 0x60, 0x7B, 0xB0, 0xAA}) {
    EXPECT_EQ(AnsiUpper(c), c) << int(c);
    EXPECT_EQ(AnsiLower(c), c) << int(c);
    EXPECT_FALSE(IsAnsiUpper(c) || IsAnsiLower(c)) << int(c);
  }
  for (uint8_t c : {0xDF, 0xB5, 0x83}) {
    EXPECT_EQ(AnsiUpper(c), c);
    EXPECT_TRUE(IsAnsiLower(c));
  }
  std::string text =
      "Gr\xFC\xDF"
      "e, \xE9t\xE9 \xFF!";
  AnsiUpperInPlace(text);
  EXPECT_EQ(text,
            "GR\xDC\xDF"
            "E, \xC9T\xC9 \x9F!");
}

TEST(Codepage, AnsiAndOemAgreeOnTheCharactersBothHold) {
  // Windows-1252 byte, code page 437 byte, for characters both sets hold.
  const std::pair<uint8_t, uint8_t> same[] = {
      {0xC7, 0x80}, {0xFC, 0x81}, {0xE9, 0x82}, {0xC4, 0x8E}, {0xC5, 0x8F}, {0xC9, 0x90},
      {0xE6, 0x91}, {0xFF, 0x98}, {0xA3, 0x9C}, {0xA5, 0x9D}, {0x83, 0x9F}, {0xF1, 0xA4},
      {0xD1, 0xA5}, {0xBF, 0xA8}, {0xAC, 0xAA}, {0xBD, 0xAB}, {0xDF, 0xE1}, {0xB5, 0xE6},
      {0xB1, 0xF1}, {0xF7, 0xF6}, {0xB0, 0xF8}, {0xB7, 0xFA}, {0xB2, 0xFD}, {0xA0, 0xFF},
  };
  for (const auto& [ansi, oem] : same) {
    EXPECT_EQ(AnsiToOem(ansi), oem) << int(ansi);
    EXPECT_EQ(OemToAnsi(oem), ansi) << int(oem);
    EXPECT_EQ(AnsiToUnicode(ansi), OemToUnicode(oem));
  }
  for (int c = 0; c < 0x80; ++c) {
    EXPECT_EQ(AnsiToOem(static_cast<uint8_t>(c)), c);
    EXPECT_EQ(OemToAnsi(static_cast<uint8_t>(c)), c);
  }
  // Every character survives the trip through the other set exactly, or was replaced by an
  // ASCII look-alike: nothing turns into some other accented letter.
  int exact = 0;
  for (int c = 0x80; c < 256; ++c) {
    const auto a = static_cast<uint8_t>(c);
    if (OemToAnsi(AnsiToOem(a)) == a) {
      ++exact;
      EXPECT_EQ(AnsiToUnicode(a), OemToUnicode(AnsiToOem(a))) << c;
    } else {
      EXPECT_LT(AnsiToOem(a), 0x80) << c;
    }
    if (AnsiToOem(OemToAnsi(a)) != a) {
      EXPECT_LT(OemToAnsi(a), 0x80) << c;
    }
  }
  EXPECT_GE(exact, 50);
}

TEST(Codepage, BestFitPicksLookAlikes) {
  EXPECT_EQ(AnsiToOem(0xC0), 'A');  // A grave
  EXPECT_EQ(AnsiToOem(0xD5), 'O');  // O tilde
  EXPECT_EQ(AnsiToOem(0x93), '"');  // left double quotation mark
  EXPECT_EQ(AnsiToOem(0x96), '-');  // en dash
  EXPECT_EQ(AnsiToOem(0x81), '?');  // undefined
  EXPECT_EQ(OemToAnsi(0xC4), '-');  // box drawing horizontal
  EXPECT_EQ(OemToAnsi(0xB3), '|');
  EXPECT_EQ(OemToAnsi(0xC5), '+');
  EXPECT_EQ(OemToAnsi(0xB1), '?');  // medium shade
  std::string text = "Caf\xE9 \x80";
  AnsiToOemInPlace(text);
  EXPECT_EQ(text, "Caf\x82 E");
  OemToAnsiInPlace(text);
  EXPECT_EQ(text, "Caf\xE9 E");
}

TEST(Codepage, Utf8ConversionRefusesWhatWindows1252CannotHold) {
  EXPECT_EQ(Utf8ToAnsi("plain"), "plain");
  EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8"), "caf\xE9 \x80 \x9F");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x80\x9Cq\xE2\x80\x9D"), "\x93q\x94");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(Utf8ToAnsi(std::string("a\0b", 3)), std::string("a\0b", 3));
  for (const char* bad : {
           "\xCE\xB1",          // Greek alpha: not in the set
           "\xF0\x9F\x98\x80",  // beyond the basic plane
           "\xC2\x81",          // a C1 control (0x81 is undefined in the set)
           "\xC3",              // cut off
           "\xE2\x82",          // cut off
           "\xC0\xAF",          // overlong
           "\xED\xA0\x80",      // surrogate
           "\x80",              // stray continuation
           "\xFF",
           "\xC3\x28",  // bad continuation
       }) {
    EXPECT_EQ(Utf8ToAnsi(bad), std::nullopt) << bad;
  }
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(AnsiToUtf8("\x81"), "\xEF\xBF\xBD");
  // Every defined byte comes back unchanged.
  std::string defined;
  for (char c : all)
    if (AnsiToUnicode(static_cast<uint8_t>(c)) != 0xFFFD) defined.push_back(c);
  EXPECT_EQ(defined.size(), 255u - 5u);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(defined)), defined);
  EXPECT_EQ(AnsiToUnicode(0x80), U'\u20AC');
  EXPECT_EQ(AnsiToUnicode(0xE9), U'\u00E9');
  EXPECT_EQ(OemToUnicode(0xE0), U'\u03B1');
}

}  // namespace
}  // namespace pellucor::platform
