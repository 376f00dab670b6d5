#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "runtime/core/char_tables.h"
#include "runtime/locale/env_file.h"
#include "runtime/locale/locale.h"
#include "runtime/locale/picture.h"
#include "tests/runtime/locale/locale_test_env.h"

namespace pellucor::runtime {
namespace {

using testing_support::LocaleTest;

class EnvironmentTest : public LocaleTest {};

TEST(EnvFileTest, LinesKeysAndValues) {
  const std::string text =
      "  velmon = a,b  \t\r\n"
      "no equals sign here\n"
      "=empty key\n" +
      std::string(32, 'K') + "=key too long\n" + std::string(31, 'K') + "=longest key\n" +
      "VELMSG1=" + std::string(1100, 'x') + "\n" + "VELMSG2=" + std::string(1023, 'y') +
      "   z\n"
      "LAST=before ctrl-z\x1AHIDDEN=after\n";
  const std::vector<EnvEntry> e = ParseEnvironment(text);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].key, "VELMON");
  EXPECT_EQ(e[0].value, "a,b");
  EXPECT_EQ(e[0].line, 1u);
  EXPECT_EQ(e[1].key, std::string(31, 'K'));
  EXPECT_EQ(e[2].value, std::string(1024, 'x'));  // cut
  EXPECT_EQ(e[3].value, std::string(1023, 'y'));  // cut, then its trailing blank removed
  EXPECT_EQ(e[4].key, "LAST");
  EXPECT_EQ(e[4].value, "before ctrl-z");
}

TEST(EnvFileTest, EscapesAndLists) {
  EXPECT_EQ(ResolveEnvEscapes("<65>B<67"), "ABC");
  EXPECT_EQ(ResolveEnvEscapes("a<<b"), "a<b");
  EXPECT_EQ(ResolveEnvEscapes("<0> <256> <x <"), "<0> <256> <x <");
  EXPECT_EQ(ResolveEnvEscapes("<228>"), "\xE4");
  auto items = SplitEnvList(R"( one , "two, and ""three""" ,,"<44>",f<111>ur)");
  ASSERT_TRUE(items);
  EXPECT_EQ(*items, (std::vector<std::string>{"one", "two, and \"three\"", "", ",", "four"}));
  EXPECT_FALSE(SplitEnvList(R"("unclosed, item)"));
  EXPECT_FALSE(SplitEnvList(R"("closed" trailing, x)"));
}

TEST_F(EnvironmentTest, KeysChangeTheLocale) {
  ApplyEnvironmentText(
      "VELMONTH=Januar,Februar,M<228>rz\n"
      "VELMON=\"Jan\",\"Febr\",\"M<228>r\"\n"
      "VELAMPM=vm,nm\n"
      "VELBUTTON=\"&Ja\",\"&Nein\"\n"
      "VELMSG401=Fehler, schlimm\n"
      "VELLFN=ON\n"
      "VELUNKNOWN=ignored\n");
  const Locale& l = CurrentLocale();
  EXPECT_EQ(l.month_names[2], "M\xE4rz");
  EXPECT_EQ(l.month_names[3], "April");  // not listed: unchanged
  EXPECT_EQ(l.short_month_names[1], "Feb");
  EXPECT_EQ(l.am, "vm");
  EXPECT_TRUE(l.long_file_names);
  EXPECT_EQ(ButtonText(1, "&No"), "&Nein");
  EXPECT_EQ(ButtonText(5, "&Help"), "&Help");
  EXPECT_EQ(MessageText(401, "x"), "Fehler, schlimm");
  EXPECT_EQ(MessageText(402, "x"), "x");
  // Pictures use the new names and texts, both ways.
  const int32_t mar = DayNumber(2001, 3, 9);
  EXPECT_EQ(FORMAT(FormatValue::Integer(mar), "@D8"), " 9 M\xE4r 2001");
  EXPECT_EQ(DEFORMAT(" 9 M\xE4r 2001", "@D8"), std::to_string(mar));
  EXPECT_EQ(FORMAT(FormatValue::Integer(TimeValue(17, 5, 0, 0)), "@T3"), " 5:05nm");
  EXPECT_EQ(DEFORMAT(" 5:05nm", "@T3"), std::to_string(TimeValue(17, 5, 0, 0)));
}

TEST_F(EnvironmentTest, BadLinesAreSkippedAndTheRestApplies) {
  ApplyEnvironmentText(
      "VELMON=\"Jn,Fb\n"  // unclosed quote
      "VELAMPM=only-one\n"
      "VELCASE=\"\xC0\"\n"  // one list only
      "VELMSGx=not a number\n"
      "garbage\n"
      "VELMON=J1,F1\n");
  const Locale& l = CurrentLocale();
  EXPECT_EQ(l.short_month_names[0], "J1");
  EXPECT_EQ(l.am, "AM");
  EXPECT_TRUE(l.messages.empty());
  EXPECT_EQ(CurrentCharTables().char_class[0xC0], 0);
}

TEST_F(EnvironmentTest, CollatingSequenceCaseAndDigraphs) {
  ApplyEnvironmentText("VELCOLSEQ=\"AaBbCc\"\n");
  const CharTables& t = CurrentCharTables();
  EXPECT_LT(t.collation['A'], t.collation['a']);
  EXPECT_LT(t.collation['a'], t.collation['B']);
  EXPECT_LT(CollateCompare("a", "B", CaseRule::kExact), 0);
  EXPECT_GT(CollateCompare("a", "A", CaseRule::kExact), 0);
  std::set<int> ranks(t.collation.begin(), t.collation.end());
  EXPECT_EQ(ranks.size(), 256u);  // still a permutation

  ApplyEnvironmentText("VELCOLSEQ=\nVELCASE=\"\xC0\xC9\",\"\xE0\xE9\"\n");
  EXPECT_EQ(t.collation['a'], 'a');
  EXPECT_EQ(t.char_class[0xC0], kCharClassUpper);
  EXPECT_EQ(t.char_class[0xE9], kCharClassLower);
  EXPECT_EQ(t.upper[0xE0], 0xC0);
  EXPECT_EQ(CurrentLocale().case_partner[0xC9], 0xE9);
  EXPECT_EQ(CollateCompare("\xE0t\xE9", "\xC0T\xC9", CaseRule::kIgnoreCase), 0);

  ApplyEnvironmentText(
      "VELDIGRAPH=\"\xDFss\",\"\xC6"
      "AE\",toolong,\"\"\n");
  EXPECT_EQ(t.digraph_count, 2);
  EXPECT_EQ(CollateCompare("Stra\xDF"
                           "e",
                           "Strasse", CaseRule::kExact),
            0);
  ApplyEnvironmentText("VELCASE=\nVELDIGRAPH=\n");
  EXPECT_EQ(t.char_class[0xC0], 0);
  EXPECT_EQ(t.digraph_count, 0);
}

TEST_F(EnvironmentTest, OemCharacterSet) {
  // 0x84 is a-diaeresis in code page 437, 0xE4 in Windows-1252.
  ApplyEnvironmentText(
      "VELMON=\x84pr\nVELCHARSET=OEM\nVELMONTH=\x84pril,<132>b\nVELCOLSEQ=\"\x84\x61\"\n");
  const Locale& l = CurrentLocale();
  EXPECT_EQ(l.short_month_names[0], "\x84pr");  // before the switch: as written
  EXPECT_EQ(l.month_names[0], "\xE4pril");
  EXPECT_EQ(l.month_names[1],
            "\xE4"
            "b");  // an escape names an OEM character too
  const CharTables& t = CurrentCharTables();
  EXPECT_LT(t.collation[0xE4], t.collation['a']);
  EXPECT_EQ(t.oem_collation[0x84], t.collation[0xE4]);  // OEM tables follow the ANSI ones
}

TEST_F(EnvironmentTest, LoadEnvironmentFilesAndWindows) {
  EXPECT_FALSE(LoadEnvironment((dir_ / "missing.env").string()));
  EXPECT_EQ(ErrorCode(), 2);
  ClearError();
  EXPECT_TRUE(LoadEnvironment(WriteFile("mine.env", "VELAMPM=\"a\",\"p\"\r\n")));
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(CurrentLocale().pm, "p");
  EXPECT_EQ(FORMAT(FormatValue::Integer(TimeValue(13, 0, 0, 0)), "@T3"), " 1:00p ");

  ASSERT_TRUE(LoadEnvironment("windows"));
  const CharTables& t = CurrentCharTables();
  EXPECT_EQ(CurrentLocale().pm, "PM");  // s2359
  EXPECT_EQ(t.upper[0xE9], 0xC9);
  EXPECT_EQ(t.upper[0x9A], 0x8A);
  EXPECT_EQ(t.char_class[0xDF], kCharClassLower);
  // Lower before upper, accents after the plain letter, digits before letters.
  const uint8_t order[] = {'-', ' ', '!', '0', '9', 'a', 'A', 0xE1, 0xC1, 'b', 'z', 'Z', 0xFE};
  for (size_t k = 1; k < sizeof order; ++k) {
    EXPECT_LT(t.collation[order[k - 1]], t.collation[order[k]]) << k;
  }
  EXPECT_EQ(t.collation[0], 0);
  EXPECT_EQ(t.collation[255], 255);
  std::set<int> ranks(t.collation.begin(), t.collation.end());
  EXPECT_EQ(ranks.size(), 256u);
  EXPECT_LT(CollateCompare("apple", "Banana", CaseRule::kExact), 0);
  EXPECT_LT(CollateCompare("ete", "\xE9t\xE9", CaseRule::kExact), 0);
  EXPECT_LT(CollateCompare("\xE9t\xE9", "f", CaseRule::kExact), 0);
}

TEST_F(EnvironmentTest, InitLocaleTakesProfileThenSourceThenDefaults) {
  WriteFile("system.ini", "[intl]\nsShortDate=dd.MM.yyyy\ns2359=pm\n[other]\niTime=1\n");
  LocaleSource source;
  source.short_date = "yyyy-MM-dd";  // the profile wins
  source.short_time = "HH:mm";       // no iTime in the profile: the desktop's 24-hour clock
  source.long_date = "dddd, d. MMMM yyyy";
  source.month_names[9] = "Oktober";
  InitLocale(source);
  const Locale& l = CurrentLocale();
  EXPECT_EQ(l.short_date_format, "dd.MM.yyyy");
  EXPECT_EQ(l.i_time, 1);
  EXPECT_EQ(l.i_tlzero, 1);
  EXPECT_EQ(l.s_time, ":");
  EXPECT_EQ(l.s1159, "AM");  // neither: default
  EXPECT_EQ(l.s2359, "pm");
  const int32_t oct5 = DayNumber(1959, 10, 5);
  EXPECT_EQ(FORMAT(FormatValue::Integer(oct5), "@D17"), "05.10.1959");
  EXPECT_EQ(DEFORMAT("05.10.1959", "@D17"), std::to_string(oct5));
  EXPECT_EQ(FORMAT(FormatValue::Integer(oct5), "@D18"), "5. Oktober 1959" + std::string(6, ' '));
  EXPECT_EQ(DEFORMAT("5. Oktober 1959", "@D18"), std::to_string(oct5));
  EXPECT_EQ(FORMAT(FormatValue::Integer(TimeValue(7, 8, 9, 0)), "@T8"), "07:08:09");

  // The program's environment file applies on top, and a second start gives the same locale.
  WriteFile("pellucor/pellucor.env", "VELMON=Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Okt\n");
  InitLocale(source);
  EXPECT_EQ(CurrentLocale().short_month_names[9], "Okt");
  EXPECT_EQ(FORMAT(FormatValue::Integer(oct5), "@D8"), " 5 Okt 1959");
  EXPECT_EQ(ErrorCode(), 0);

  // Without profile and source: the documented defaults.
  std::filesystem::remove(dir_ / "system.ini");
  std::filesystem::remove(dir_ / "pellucor" / "pellucor.env");
  InitLocale();
  EXPECT_EQ(FORMAT(FormatValue::Integer(oct5), "@D17"), "10/05/59");
  EXPECT_EQ(FORMAT(FormatValue::Integer(oct5), "@D18"), "October 05, 1959     ");
  EXPECT_EQ(FORMAT(FormatValue::Integer(TimeValue(17, 8, 0, 0)), "@T7"), "05:08 PM");
}

TEST_F(EnvironmentTest, ShortDateFormsFromTheDesktop) {
  const int32_t jan5 = DayNumber(1959, 1, 5);
  const std::pair<const char*, const char*> cases[] = {{"d/M/yyyy", " 5/ 1/1959"},
                                                       {"yyyy-MM-dd", "1959-01-05"},
                                                       {"M/d/yy", " 1/ 5/59"},
                                                       {"dd-MMM-yy", "05-Jan-59"},
                                                       {"yy'x'MM'x'dd", "59/01/05"}};
  for (const auto& [format, shown] : cases) {
    LocaleSource source;
    source.short_date = format;
    InitLocale(source);
    EXPECT_EQ(FORMAT(FormatValue::Integer(jan5), "@D17"), shown) << format;
    EXPECT_EQ(DEFORMAT(shown, "@D17"), std::to_string(jan5)) << format;
  }
}

TEST_F(EnvironmentTest, TimeSettingsFromTheDesktopFormat) {
  const int32_t t = TimeValue(7, 8, 9, 0);
  const std::pair<const char*, const char*> cases[] = {
      {"h:mm tt", " 7:08 AM"}, {"HH.mm", "07.08"}, {"H:mm", " 7:08"}, {"hh:mm tt", "07:08 AM"}};
  for (const auto& [format, shown] : cases) {
    LocaleSource source;
    source.short_time = format;
    InitLocale(source);
    EXPECT_EQ(FORMAT(FormatValue::Integer(t), "@T7"), shown) << format;
    EXPECT_EQ(DEFORMAT(shown, "@T7"), std::to_string(TimeValue(7, 8, 0, 0))) << format;
  }
  // Explicit settings from the source beat what its format suggests; the profile beats both.
  LocaleSource source;
  source.short_time = "HH:mm";
  source.i_time = 0;
  source.s1159 = "vorm.";
  WriteFile("system.ini", "[INTL]\nsTime=-\n");
  InitLocale(source);
  EXPECT_EQ(FORMAT(FormatValue::Integer(t), "@T8"), "07-08-09 vo");
  EXPECT_EQ(DEFORMAT("07-08-09 vo", "@T8"), std::to_string(t));
}

}  // namespace
}  // namespace pellucor::runtime
