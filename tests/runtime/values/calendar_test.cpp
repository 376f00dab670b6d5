#include "runtime/values/calendar.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/clock.h"

namespace pellucor::runtime {
namespace {

namespace chr = std::chrono;

class CalendarTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentYearForTests(2002); }
  void TearDown() override { SetCurrentYearForTests(std::nullopt); }
};

// The whole valid range agrees with <chrono>'s civil calendar, both ways.
TEST_F(CalendarTest, EveryDayNumberMatchesTheCivilCalendar) {
  const chr::sys_days epoch = chr::sys_days{chr::year{1800} / 12 / 28};
  for (int32_t n = kFirstDayNumber; n <= kLastDayNumber; ++n) {
    const chr::year_month_day civil{epoch + chr::days{n}};
    BrokenDate d;
    ASSERT_EQ(SplitDate(n, &d), 0) << n;
    const BrokenDate expected{static_cast<int>(civil.year()),
                              static_cast<int32_t>(static_cast<unsigned>(civil.month())),
                              static_cast<int32_t>(static_cast<unsigned>(civil.day()))};
    ASSERT_EQ(d, expected) << n;
    ASSERT_EQ(DayNumber(d.year, d.month, d.day), n);
    ASSERT_EQ(DATE(d.month, d.day, d.year), n);
  }
}

TEST_F(CalendarTest, BoundsAndInvalidDayNumbers) {
  EXPECT_EQ(DayNumber(1801, 1, 1), 4);
  EXPECT_EQ(DayNumber(9999, 12, 31), 2994626);
  for (int32_t n : {-1, 0, 3, 2994627, INT32_MAX, INT32_MIN}) {
    BrokenDate d{1, 1, 1};
    EXPECT_EQ(SplitDate(n, &d), -1) << n;
    EXPECT_EQ(d, BrokenDate{}) << n;
    EXPECT_EQ(DAY(n), 0);
    EXPECT_EQ(MONTH(n), 0);
    EXPECT_EQ(YEAR(n), 0);
  }
  EXPECT_EQ(DayNumber(1800, 12, 31), -1);
  EXPECT_EQ(DayNumber(10000, 1, 1), -1);
  EXPECT_EQ(DayNumber(2001, 13, 1), -1);
  EXPECT_EQ(DayNumber(2001, 4, 31), -1);
  EXPECT_EQ(DayNumber(2001, 1, 0), -1);
}

TEST_F(CalendarTest, LeapYears) {
  EXPECT_EQ(DayNumber(1900, 2, 29), -1);
  EXPECT_NE(DayNumber(2000, 2, 29), -1);
  EXPECT_EQ(DayNumber(2004, 2, 29) + 1, DayNumber(2004, 3, 1));
  EXPECT_EQ(DayNumber(2100, 2, 29), -1);
  EXPECT_EQ(MonthLength(2000, 2), 29);
  EXPECT_EQ(MonthLength(1900, 2), 28);
}

TEST_F(CalendarTest, DateNormalises) {
  EXPECT_EQ(DATE(13, 1, 2001), DayNumber(2002, 1, 1));
  EXPECT_EQ(DATE(1, 32, 2001), DayNumber(2001, 2, 1));
  EXPECT_EQ(DATE(2, 29, 2001), DayNumber(2001, 3, 1));
  EXPECT_EQ(DATE(2, 29, 2000), DayNumber(2000, 2, 29));
  EXPECT_EQ(DATE(0, 1, 2001), -1);
  EXPECT_EQ(DATE(1, 0, 2001), -1);
  EXPECT_EQ(DATE(25, 1, 2001), DayNumber(2003, 1, 1));
  // Days running over February take the length of the February they cross, not the start year's.
  EXPECT_EQ(DATE(1, 31 + 29 + 1, 2004), DayNumber(2004, 3, 1));
  EXPECT_EQ(DATE(12, 31 + 31 + 29 + 1, 2003), DayNumber(2004, 3, 1));
  // The year only has to be in range once normalised.
  EXPECT_EQ(DATE(12, 32, 1800), 4);
  EXPECT_EQ(DATE(12, 32, 9999), -1);
  EXPECT_EQ(DATE(1, INT32_MAX, 2001), -1);
  EXPECT_EQ(DATE(INT32_MAX, 1, 2001), -1);
  EXPECT_EQ(DATE(1, 1, -5), -1);
  // Two-digit years are widened.
  EXPECT_EQ(DATE(1, 1, 22), DayNumber(1922, 1, 1));
  EXPECT_EQ(DATE(1, 1, 21), DayNumber(2021, 1, 1));
}

// Months past December and days past a month's end run on exactly as the civil calendar counts.
TEST_F(CalendarTest, DateNormalisationMatchesTheCivilCalendar) {
  const chr::sys_days epoch = chr::sys_days{chr::year{1800} / 12 / 28};
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < 20000; ++i) {
    const int32_t month = 1 + static_cast<int32_t>(next(40));
    const int32_t day = 1 + static_cast<int32_t>(next(800));
    const int32_t year = 1795 + static_cast<int32_t>(next(8210));
    const chr::year_month first = chr::year{year} / chr::January + chr::months{month - 1};
    const chr::sys_days civil = chr::sys_days{first / 1} + chr::days{day - 1};
    const int64_t n = (civil - epoch).count();
    const int32_t expected =
        n >= kFirstDayNumber && n <= kLastDayNumber ? static_cast<int32_t>(n) : -1;
    ASSERT_EQ(DATE(month, day, year), expected) << month << "/" << day << "/" << year;
  }
}

TEST_F(CalendarTest, TwoDigitYearsFollowTheCenturyWindow) {
  EXPECT_EQ(WidenYear(22), 1922);
  EXPECT_EQ(WidenYear(21), 2021);
  EXPECT_EQ(WidenYear(2), 2002);
  EXPECT_EQ(WidenYear(100), 100);
  for (int window : {0, 19, 50, 80, 99}) {
    for (int y = 0; y < 100; ++y) {
      const int32_t w = WidenYear(y, window);
      EXPECT_GE(w, 2002 - window) << window << " " << y;
      EXPECT_LE(w, 2002 + 99 - window) << window << " " << y;
      EXPECT_EQ(w % 100, y);
    }
  }
  SetCurrentYearForTests(1999);
  EXPECT_EQ(WidenYear(0), 2000);
  EXPECT_EQ(WidenYear(19), 1919);
  EXPECT_EQ(WidenYear(18), 2018);
}

TEST_F(CalendarTest, CurrentYearComesFromTheClockOnce) {
  SetCurrentYearForTests(std::nullopt);
  platform::LocalTime fixed;
  fixed.year = 2050;
  fixed.month = 6;
  fixed.day = 15;
  fixed.hour = 13;
  fixed.minute = 4;
  fixed.second = 5;
  fixed.hundredths = 6;
  platform::SetNowOverride(fixed);
  EXPECT_EQ(CurrentYear(), 2050);
  EXPECT_EQ(TODAY(), DayNumber(2050, 6, 15));
  EXPECT_EQ(CLOCK(), TimeValue(13, 4, 5, 6));
  fixed.year = 2070;
  platform::SetNowOverride(fixed);
  EXPECT_EQ(CurrentYear(), 2050);  // kept from the first reading
  platform::SetNowOverride(std::nullopt);
}

TEST_F(CalendarTest, TimeValues) {
  EXPECT_EQ(TimeValue(0, 0, 0, 0), 1);
  EXPECT_EQ(TimeValue(23, 59, 59, 99), kLastTimeValue);
  EXPECT_EQ(TimeValue(12, 0, 0, 0), 4320001);
  for (int32_t v = 1; v <= kLastTimeValue; v += 997) {
    BrokenTime t;
    ASSERT_EQ(SplitTime(v, &t), 0);
    EXPECT_EQ(TimeValue(t.hour, t.minute, t.second, t.hundredth), v);
  }
  BrokenTime t{1, 2, 3, 4};
  EXPECT_EQ(SplitTime(0, &t), -1);
  EXPECT_EQ(t, BrokenTime{});
  EXPECT_EQ(SplitTime(kLastTimeValue + 1, &t), -1);
}

TEST_F(CalendarTest, Age) {
  const int32_t base = DayNumber(2002, 6, 15);
  EXPECT_EQ(AGE(base - 30, base), "30 DAYS");
  EXPECT_EQ(AGE(base, base), "0 DAYS");
  EXPECT_EQ(AGE(base - 60, base), "60 DAYS");
  EXPECT_EQ(AGE(DayNumber(2000, 6, 15), base), "24 MOS");
  EXPECT_EQ(AGE(DayNumber(2000, 6, 16), base), "23 MOS");
  EXPECT_EQ(AGE(DayNumber(1999, 6, 15), base), "3 YRS");
  EXPECT_EQ(AGE(DayNumber(1999, 6, 16), base), "2 YRS");
  EXPECT_EQ(AGE(DayNumber(1959, 10, 31), base), "42 YRS");
  // A birth after the base is taken a century earlier.
  EXPECT_EQ(AGE(DayNumber(2050, 1, 1), base), "52 YRS");
  EXPECT_EQ(AGE(DayNumber(2150, 1, 1), base), std::string(255, '*'));
  EXPECT_EQ(AGE(0, base), std::string(255, '*'));
  EXPECT_EQ(AGE(DayNumber(2004, 2, 29), DayNumber(2003, 2, 28)), "98 YRS");
  // 29 February 2000 taken back a century is 1 March 1900: 1900 has no 29 February.
  EXPECT_EQ(AGE(DayNumber(2000, 2, 29), DayNumber(1900, 4, 1)), "31 DAYS");
  EXPECT_EQ(AGE(DayNumber(2000, 2, 29), DayNumber(1902, 3, 1)), "24 MOS");
}

}  // namespace
}  // namespace pellucor::runtime
