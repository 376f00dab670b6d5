#include "runtime/locale/picture.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/values/calendar.h"
#include "tests/runtime/locale/locale_test_env.h"

namespace pellucor::runtime {
namespace {

using testing_support::LocaleTest;
using FV = FormatValue;

class PictureTest : public LocaleTest {};

std::string F(int64_t v, std::string_view pic) {
  return FORMAT(FV::Integer(v), pic);
}
std::string F(double v, std::string_view pic) {
  return FORMAT(FV::Real(v), pic);
}
std::string FD(std::string_view decimal, std::string_view pic) {
  return FORMAT(FV::Decimal(decimal), pic);
}

TEST_F(PictureTest, RecordsHoldKindFlagsAndPositions) {
  Picture p = CompilePicture("@N12.2");
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.kind, PictureKind::kNumeric);
  EXPECT_EQ(p.length, 12);
  EXPECT_EQ(p.positions[9], (PicturePosition{'.', PositionCode::kDecimalPoint}));
  EXPECT_EQ(p.positions[8].code, PositionCode::kDigitShown);
  EXPECT_EQ(p.positions[5], (PicturePosition{',', PositionCode::kGroupSeparator}));

  p = CompilePicture("@d1b");
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.kind, PictureKind::kDate);
  EXPECT_TRUE(p.blank_when_zero);
  EXPECT_EQ(p.number, 1);
  EXPECT_EQ(p.window, 80);
  EXPECT_EQ(p.length, 8);
  EXPECT_EQ(p.positions[0], (PicturePosition{' ', PositionCode::kMonthDigit}));
  EXPECT_EQ(p.positions[2], (PicturePosition{'/', PositionCode::kSeparator}));

  EXPECT_EQ(CompilePicture("@D2<50").window, 50);
  EXPECT_EQ(CompilePicture("@D2>30").window, 69);
  EXPECT_EQ(CompilePicture("@D2<").window, 80);
  EXPECT_EQ(CompilePicture("@D2>").window, 19);
  EXPECT_EQ(CompilePicture("@T3").positions[5].code, PositionCode::kAmPm);
  EXPECT_EQ(CompilePicture("@s20").length, 20);
  EXPECT_EQ(CompilePicture("@S255").length, 255);
  EXPECT_EQ(CompilePicture("@P(###)###-####P").length, 13);
  EXPECT_EQ(CompilePicture("@Nv6v2").kind, PictureKind::kString);  // not a picture
}

TEST_F(PictureTest, InvalidTextsFormatAsStrings) {
  for (const char* text : {"",     "@",     "@X5",   "@S0",   "@S256",    "@S20x",    "@D19",
                           "@D0",  "@T9",   "@N0",   "@N255", "@N(12.2",  "@N2.2",    "@N$-3.2",
                           "@D1x", "@E6.2", "@P###", "@K##",  "@N12.2-)", "@N~EUR12", "12"}) {
    const Picture p = CompilePicture(text);
    EXPECT_FALSE(p.valid) << text;
    EXPECT_EQ(FORMAT(FV::Integer(42), p), "42") << text;
  }
  EXPECT_FALSE(CompilePicture("@S" + std::string(300, '1')).valid);
  EXPECT_EQ(FORMAT(FV::Real(1.5), CompilePicture("@X")), "1.5");
}

TEST_F(PictureTest, NumericExamples) {
  EXPECT_EQ(F(1234.5, "@N12.2"), "    1,234.50");
  EXPECT_EQ(F(0.5, "@N12.2"), "        0.50");
  EXPECT_EQ(F(int64_t{0}, "@N5"), "    0");
  EXPECT_EQ(F(int64_t{0}, "@N5B"), "     ");
  EXPECT_EQ(F(int64_t{1234567}, "@N9"), "1,234,567");
  EXPECT_EQ(F(int64_t{12345678}, "@N9"), "#########");  // does not fit
  EXPECT_EQ(F(-1234.5, "@N-12.2"), "   -1,234.50");
  EXPECT_EQ(F(1234.5, "@N-12.2"), "    1,234.50");
  EXPECT_EQ(F(-1234.5, "@N12.2-"), "   1,234.50-");
  EXPECT_EQ(F(-1234.5, "@N(12.2)"), "  (1,234.50)");
  EXPECT_EQ(F(1234.5, "@N(12.2)"), "   1,234.50 ");
  EXPECT_EQ(F(1234.5, "@N$12.2"), "   $1,234.50");
  EXPECT_EQ(F(1234.5, "@N12.2~ EUR~"), "1,234.50 EUR");
  EXPECT_EQ(F(1234.5, "@N012.2"), "000001234.50");
  EXPECT_EQ(F(1234.5, "@N_12.2"), "     1234.50");
  EXPECT_EQ(F(1234.5, "@N*12.2"), "****1,234.50");
  EXPECT_EQ(F(1234.5, "@N12`2"), "    1.234,50");
  EXPECT_EQ(F(1234.5, "@N12_.2"), "    1 234.50");
  EXPECT_EQ(F(12.34, "@N6v2"), "  1234");
  // A negative number in a picture without a sign position keeps its minus.
  EXPECT_EQ(F(-5.0, "@N6.2"), " -5.00");
  EXPECT_EQ(F(-5.0, "@N06.2"), "-05.00");
  EXPECT_EQ(F(-123.0, "@N3"), "###");
}

TEST_F(PictureTest, NumbersRoundHalfAwayFromZeroWithoutBinaryError) {
  EXPECT_EQ(F(1.005, "@N6.2"), "  1.01");
  EXPECT_EQ(F(-1.005, "@N-7.2"), "  -1.01");
  EXPECT_EQ(F(2.5, "@N3"), "  3");
  EXPECT_EQ(F(-2.5, "@N-3"), " -3");
  EXPECT_EQ(F(-0.004, "@N-6.2"), "  0.00");  // rounds to zero: no sign
  EXPECT_EQ(F(999.995, "@N8.2"), "1,000.00");
  EXPECT_EQ(FD("12345678901234567890.125", "@N30.2"), " 12,345,678,901,234,567,890.13");
  EXPECT_EQ(FD("-0.0000000000000000000000005", "@N-30.25"), "  -0.0000000000000000000000005");
  EXPECT_EQ(FORMAT(FV::String("12.5abc"), "@N6.2"), " 12.50");
  EXPECT_EQ(FORMAT(FV::String("abc"), "@N6.2"), "  0.00");
  EXPECT_EQ(F(1e300, "@N10"), "##########");
}

TEST_F(PictureTest, ScientificAndPatternAndKeyIn) {
  EXPECT_EQ(F(1234.5, "@E12.2"), "   1.23E+003");
  EXPECT_EQ(F(-0.00012, "@E12.2"), "  -1.20E-004");
  EXPECT_EQ(F(9.999, "@E12.2"), "   1.00E+001");
  EXPECT_EQ(F(0.0, "@E12.2"), "   0.00E+000");
  EXPECT_EQ(F(int64_t{5551234567}, "@P(###)###-####P"), "(555)123-4567");
  EXPECT_EQ(F(int64_t{42}, "@P<<#P"), " 42");
  EXPECT_EQ(F(int64_t{7}, "@P###P"), "007");
  EXPECT_EQ(F(int64_t{12345}, "@P###P"), "###");
  EXPECT_EQ(FORMAT(FV::String("ab12"), "@K^^-##K"), "AB-12");
  EXPECT_EQ(FORMAT(FV::String("a"), "@K?\\#_K"), "a#_");
  EXPECT_EQ(DEFORMAT("(555)123-4567", "@P(###)###-####P"), "5551234567");
  EXPECT_EQ(DEFORMAT("AB-12", "@K^^-##K"), "AB12");
}

TEST_F(PictureTest, StringPictures) {
  EXPECT_EQ(FORMAT(FV::String("hello"), "@s20"), "hello" + std::string(15, ' '));
  EXPECT_EQ(FORMAT(FV::String(std::string(30, 'x')), "@s20"), std::string(20, 'x'));
  EXPECT_EQ(FORMAT(FV::Integer(-42), "@S5"), "-42  ");
  EXPECT_EQ(FORMAT(FV::Real(0.25), "@S5"), "0.25 ");
  EXPECT_EQ(DEFORMAT("ab-12.5e+3x.7", "@s20"), "-12.5e+37");
  EXPECT_EQ(DEFORMAT("-12-3"), "-123");
}

TEST_F(PictureTest, DateEdgeCases) {
  const int32_t oct31 = DayNumber(1959, 10, 31);
  const int32_t jan5 = DayNumber(1959, 1, 5);
  EXPECT_EQ(F(int64_t{4}, "@D1"), " 1/01/01");
  EXPECT_EQ(F(int64_t{4}, "@D2"), " 1/01/1801");
  EXPECT_EQ(F(int64_t{3}, "@D1"), "  /  /  ");
  EXPECT_EQ(F(int64_t{0}, "@D17"), "  /  /  ");
  EXPECT_EQ(F(int64_t{0}, "@D1B"), "        ");
  EXPECT_EQ(F(int64_t{jan5}, "@D1"), " 1/05/59");
  EXPECT_EQ(F(int64_t{jan5}, "@D7"), " 5 Jan 59");
  const std::pair<const char*, const char*> table[] = {
      {"@D1", "10/31/59"},    {"@D2", "10/31/1959"},
      {"@D3", "Oct 31,1959"}, {"@D4", "October 31, 1959     "},
      {"@D5", "31/10/59"},    {"@D6", "31/10/1959"},
      {"@D7", "31 Oct 59"},   {"@D8", "31 Oct 1959"},
      {"@D9", "59/10/31"},    {"@D10", "1959/10/31"},
      {"@D11", "591031"},     {"@D12", "19591031"},
      {"@D13", "10/59"},      {"@D14", "10/1959"},
      {"@D15", "59/10"},      {"@D16", "1959/10"},
      {"@D17", "10/31/59"},   {"@D18", "October 31, 1959"},
      {"@D1-", "10-31-59"},   {"@D6.", "31.10.1959"},
      {"@D2_", "10 31 1959"}, {"@D*1", "10/31/59"},
      {"@D_9", "59/10/31"},   {"@D01", "01/05/59"}};
  for (const auto& [pic, expected] : table) {
    const int32_t day = std::string_view(pic) == "@D01" ? jan5 : oct31;
    std::string got = F(int64_t{day}, pic);
    if (std::string_view(pic) == "@D18") got.resize(16);
    EXPECT_EQ(got, expected) << pic;
  }
  // The day's tens are blank-filled as in the other fixed pictures; only the name closes up.
  EXPECT_EQ(F(int64_t{jan5}, "@D4"), "January  5, 1959" + std::string(5, ' '));
  EXPECT_EQ(F(int64_t{jan5}, "@D04"), "January 05, 1959" + std::string(5, ' '));
  EXPECT_EQ(F(int64_t{DayNumber(1959, 5, 9)}, "@D4"), "May  9, 1959" + std::string(9, ' '));
  EXPECT_EQ(DEFORMAT("January  5, 1959", "@D4"), std::to_string(jan5));
  EXPECT_EQ(F(int64_t{jan5}, "@D*1"), "*1/*5/59");
}

TEST_F(PictureTest, TimeEdgeCases) {
  const int32_t t173005 = TimeValue(17, 30, 5, 0);
  EXPECT_EQ(F(int64_t{1}, "@T3"), "12:00AM");
  EXPECT_EQ(F(int64_t{kTimeValueNoon}, "@T3"), "12:00PM");
  EXPECT_EQ(F(int64_t{t173005}, "@T1"), "17:30");
  EXPECT_EQ(F(int64_t{t173005}, "@T2"), "1730");
  EXPECT_EQ(F(int64_t{t173005}, "@T3"), " 5:30PM");
  EXPECT_EQ(F(int64_t{t173005}, "@T4"), "17:30:05");
  EXPECT_EQ(F(int64_t{t173005}, "@T5"), "173005");
  EXPECT_EQ(F(int64_t{t173005}, "@T6"), " 5:30:05PM");
  EXPECT_EQ(F(int64_t{t173005}, "@T7"), "05:30 PM");
  EXPECT_EQ(F(int64_t{t173005}, "@T8"), "05:30:05 PM");
  EXPECT_EQ(F(int64_t{t173005}, "@T04."), "17.30.05");
  EXPECT_EQ(F(int64_t{TimeValue(5, 3, 0, 0)}, "@T1"), " 5:03");
  EXPECT_EQ(F(int64_t{TimeValue(5, 3, 0, 0)}, "@T01"), "05:03");
  EXPECT_EQ(F(int64_t{0}, "@T1"), "  :  ");
  EXPECT_EQ(F(int64_t{kLastTimeValue + 1}, "@T3"), "  :    ");
  EXPECT_EQ(DEFORMAT("25:00", "@T1"), "-1");
  EXPECT_EQ(DEFORMAT("10:60", "@T1"), "-1");
  EXPECT_EQ(DEFORMAT("     ", "@T1"), "0");
  // Every part zero with no AM/PM read is "no time"; with AM it is midnight.
  EXPECT_EQ(DEFORMAT(" 0:00", "@T1"), "0");
  EXPECT_EQ(DEFORMAT("00:00:00", "@T4"), "0");
  EXPECT_EQ(DEFORMAT("0", "@T1"), "0");
  EXPECT_EQ(DEFORMAT("12:00AM", "@T3"), "1");
  EXPECT_EQ(DEFORMAT(" 0:00AM", "@T3"), "1");
  EXPECT_EQ(DEFORMAT(" 0:01", "@T1"), std::to_string(TimeValue(0, 1, 0, 0)));
  EXPECT_EQ(DEFORMAT("00:00:01", "@T4"), std::to_string(TimeValue(0, 0, 1, 0)));
  EXPECT_EQ(DEFORMAT("5:30pm", "@T3"), std::to_string(TimeValue(17, 30, 0, 0)));
  EXPECT_EQ(DEFORMAT("12:15AM", "@T3"), std::to_string(TimeValue(0, 15, 0, 0)));
}

TEST_F(PictureTest, TwoDigitYearsOnTheWayBack) {
  EXPECT_EQ(DEFORMAT("01/01/22", "@D1"), std::to_string(DayNumber(1922, 1, 1)));
  EXPECT_EQ(DEFORMAT("01/01/21", "@D1"), std::to_string(DayNumber(2021, 1, 1)));
  EXPECT_EQ(DEFORMAT("01/01/22", "@D1<10"), std::to_string(DayNumber(2022, 1, 1)));
  EXPECT_EQ(DEFORMAT("01/01/50", "@D1>40"), std::to_string(DayNumber(1950, 1, 1)));
  EXPECT_EQ(DEFORMAT("        ", "@D1"), "0");
  EXPECT_EQ(DEFORMAT("02/30/01", "@D1"), std::to_string(DayNumber(2001, 3, 2)));  // normalised
  EXPECT_EQ(DEFORMAT("13/45/01", "@D1"), std::to_string(DATE(13, 45, 2001)));
  // Typed by hand, not lined up with the positions.
  EXPECT_EQ(DEFORMAT("1/5/59", "@D1"), std::to_string(DayNumber(1959, 1, 5)));
  EXPECT_EQ(DEFORMAT("1/5/1959", "@D1"), std::to_string(DayNumber(1959, 1, 5)));
  EXPECT_EQ(DEFORMAT("5 jan 1959", "@D8"), std::to_string(DayNumber(1959, 1, 5)));
  EXPECT_EQ(DEFORMAT("10/31", "@D1"), std::to_string(DayNumber(2002, 10, 31)));
  EXPECT_EQ(DEFORMAT("10/59", "@D13"), std::to_string(DayNumber(1959, 10, 1)));
}

// What FORMAT shows, DEFORMAT reads back, for every date and time picture.
TEST_F(PictureTest, FormatThenDeformatReturnsTheValue) {
  std::vector<int32_t> days = {4, 5, 31, 60, 2994626, 2994600};
  for (int32_t d = 4; d < 2994626; d += 7919) days.push_back(d);
  for (int n = 1; n <= 18; ++n) {
    for (const char* options : {"", "-", ".", "_", "`"}) {
      const std::string pic = "@D" + std::to_string(n) + options;
      const Picture p = CompilePicture(pic);
      ASSERT_TRUE(p.valid) << pic;
      size_t year_digits = 0;
      bool has_day = false;
      for (size_t k = 0; k < p.length; ++k) {
        year_digits += p.positions[k].code == PositionCode::kYearDigit;
        has_day |= p.positions[k].code == PositionCode::kDayDigit;
      }
      for (int32_t d : days) {
        BrokenDate bd;
        SplitDate(d, &bd);
        // Two-digit years come back within the window; the others exactly.
        if (year_digits < 4 && (bd.year < 1922 || bd.year > 2021)) continue;
        const int32_t expected = has_day ? d : DayNumber(bd.year, bd.month, 1);
        const std::string shown = FORMAT(FV::Integer(d), p);
        ASSERT_EQ(shown.size(), p.length) << pic;
        ASSERT_EQ(DEFORMAT(shown, p), std::to_string(expected)) << pic << " '" << shown << "'";
      }
    }
  }
  std::vector<int32_t> times = {1, kTimeValueNoon, kLastTimeValue};
  for (int32_t t = 1; t <= kLastTimeValue; t += 86413) times.push_back(t);
  for (int n = 1; n <= 8; ++n) {
    for (const char* options : {"", "0", "."}) {
      const std::string pic = std::string("@T") + (options[0] == '0' ? "0" : "") +
                              std::to_string(n) + (options[0] == '.' ? "." : "");
      const Picture p = CompilePicture(pic);
      ASSERT_TRUE(p.valid) << pic;
      bool seconds = false, am_pm = false;
      for (size_t k = 0; k < p.length; ++k) {
        seconds |= p.positions[k].code == PositionCode::kSecondDigit;
        am_pm |= p.positions[k].code == PositionCode::kAmPm;
      }
      for (int32_t t : times) {
        BrokenTime bt;
        SplitTime(t, &bt);
        int32_t expected = TimeValue(bt.hour, bt.minute, seconds ? bt.second : 0, 0);
        // Midnight shown without an AM/PM letter reads back as "no time".
        if (!am_pm && bt.hour == 0 && bt.minute == 0 && (!seconds || bt.second == 0)) expected = 0;
        const std::string shown = FORMAT(FV::Integer(t), p);
        ASSERT_EQ(DEFORMAT(shown, p), std::to_string(expected)) << pic << " '" << shown << "'";
      }
    }
  }
}

TEST_F(PictureTest, NumbersComeBackThroughTheirPictures) {
  const char* pictures[] = {"@N12.2", "@N-12.2", "@N(12.2)", "@N$12.2", "@N012.2",      "@N*12.2",
                            "@N12`2", "@N12.2-", "@N12_.2",  "@N12v2",  "@N~kr ~-14.3", "@E12.2"};
  const double values[] = {0, 1234.5, -1234.5, 0.5, -0.25, 99999.99, -7, 12.34};
  for (const char* pic : pictures) {
    for (double v : values) {
      const std::string shown = F(v, pic);
      const bool unsigned_pic = std::string_view(pic).find_first_of("-(") == std::string::npos;
      if (shown.find('#') != std::string::npos ||
          (v < 0 && unsigned_pic && pic[1] == 'N' && shown.find('-') == std::string::npos)) {
        continue;
      }
      const double back = std::stod(DEFORMAT(shown, pic));
      EXPECT_NEAR(back, v, std::string_view(pic) == "@E12.2" ? std::abs(v) * 0.01 : 0.0005)
          << pic << " '" << shown << "'";
    }
  }
  EXPECT_EQ(DEFORMAT("1,234.50", "@N12.2"), "1234.5");
  EXPECT_EQ(DEFORMAT("1.234,50", "@N12`2"), "1234.5");
  EXPECT_EQ(DEFORMAT("(12)", "@N(6)"), "-12");
  EXPECT_EQ(DEFORMAT("  1234", "@N6v2"), "12.34");
  EXPECT_EQ(DEFORMAT("-1.5E-003", "@E12.2"), "-0.0015");
  EXPECT_EQ(DEFORMAT("", "@N6.2"), "0");
}

}  // namespace
}  // namespace pellucor::runtime
