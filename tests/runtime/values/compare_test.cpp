#include "runtime/values/compare.h"

#include <gtest/gtest.h>

namespace pellucor::runtime {
namespace {

TEST(CompareTest, BlankPaddingAndCase) {
  const CharTables t = CharTables::Defaults();
  EXPECT_EQ(CompareStrings("xyz", "xyz   ", t), Order::kEqual);
  EXPECT_EQ(CompareStrings("", "   ", t), Order::kEqual);
  EXPECT_NE(CompareStrings("XYZ", "xyz", t), Order::kEqual);
  EXPECT_EQ(CompareStringsNoCase("XYZ", "xyz  ", t), Order::kEqual);
  // Characters below the blank sort before a padded end; above it, after.
  EXPECT_EQ(CompareStrings("ab", std::string_view("ab\x01", 3), t), Order::kGreater);
  EXPECT_EQ(CompareStrings("ab", "ab!", t), Order::kLess);
  EXPECT_EQ(CompareStrings("abc", "abd", t), Order::kLess);
  // Bytes above 0x7F compare as unsigned codes.
  EXPECT_EQ(CompareStrings("\xE9", "z", t), Order::kGreater);
}

TEST(CompareTest, CollationTableOrdersCharacters) {
  CharTables t = CharTables::Defaults();
  // A locale that sorts e-acute right after e.
  for (int c = 'f'; c <= 0xE8; ++c) t.collation[c] = static_cast<uint8_t>(c + 1);
  t.collation[0xE9] = 'f';
  EXPECT_EQ(CompareStrings("\xE9", "f", t), Order::kLess);
  EXPECT_EQ(CompareStrings("\xE9", "e", t), Order::kGreater);
  // The OEM copy is used for OEM text only.
  EXPECT_EQ(CompareStrings("\xE9", "f", t, CharSet::kOem), Order::kGreater);
  // Characters sharing a position compare equal.
  t.collation['b'] = 'a';
  EXPECT_EQ(CompareStrings("ab", "ba", t), Order::kEqual);
}

TEST(CompareTest, NoCaseFoldsOnlyLowerCaseClassLetters) {
  CharTables t = CharTables::Defaults();
  EXPECT_EQ(CompareStringsNoCase("sno:done", "SNO:DONE", t), Order::kEqual);
  EXPECT_EQ(CompareStringsNoCase("a", "B", t), Order::kLess);  // 'A' < 'B', unlike 'a' > 'B'
  EXPECT_EQ(CompareStrings("a", "B", t), Order::kGreater);
  // An accented letter folds only once the tables call it lower case.
  EXPECT_NE(CompareStringsNoCase("\xE9", "\xC9", t), Order::kEqual);
  t.char_class[0xE9] = kCharClassLower;
  t.char_class[0xC9] = kCharClassUpper;
  t.upper[0xE9] = 0xC9;
  EXPECT_EQ(CompareStringsNoCase("\xE9", "\xC9", t), Order::kEqual);
}

TEST(CompareTest, DigraphsExpandBeforeComparing) {
  CharTables t = CharTables::Defaults();
  t.digraphs[0] = {0xDF, 's', 's'};  // sharp s sorts as "ss"
  t.digraphs[1] = {0xC6, 'A', 'E'};  // AE ligature
  t.digraph_count = 2;
  EXPECT_EQ(CompareStrings("Stra\xDF"
                           "e",
                           "Strasse", t),
            Order::kEqual);
  EXPECT_EQ(CompareStrings("Stra\xDF"
                           "e",
                           "Strast", t),
            Order::kLess);
  EXPECT_EQ(CompareStrings("\xDF", "s", t), Order::kGreater);  // "ss" vs "s "
  EXPECT_EQ(CompareStrings("\xC6gir", "AEgir  ", t), Order::kEqual);
  EXPECT_EQ(CompareStrings("\xC6", "AD", t), Order::kGreater);
  // Case-insensitively the expansion is folded too; a lower-case ligature without its own entry
  // uses the entry of its upper-case form.
  t.char_class[0xE6] = kCharClassLower;
  t.upper[0xE6] = 0xC6;
  EXPECT_EQ(CompareStringsNoCase("\xE6gir", "aegir", t), Order::kEqual);
  EXPECT_EQ(CompareStringsNoCase("STRA\xDF"
                                 "E",
                                 "strasse", t),
            Order::kEqual);
  // Without the table loaded nothing expands.
  t.digraph_count = 0;
  EXPECT_NE(CompareStrings("Stra\xDF"
                           "e",
                           "Strasse", t),
            Order::kEqual);
}

}  // namespace
}  // namespace pellucor::runtime
