// Calendar arithmetic of the runtime: day numbers, broken-down dates, time values.
//
// A date is a day number: days since 28 December 1800, so 1 January 1801 is day 4 and
// 31 December 9999 is day 2994626; 0 means "no date" and -1 is the answer for an invalid date.
// The calendar is Gregorian throughout.
//
// A time is a time value: hundredths of a second since midnight plus one, so 00:00:00.00 is 1 and
// 23:59:59.99 is 8640000; 0 means "no time".
//
// Two-digit years (0-99) are widened with the current year C and a century window W (80 unless a
// date picture sets another): every two-digit year lands in [C - W, C + 99 - W]. C is read once
// from the local clock and kept; tests fix it with SetCurrentYearForTests.
//
// Nothing here keeps a mutable month table, so these functions are safe on any thread (the
// current year is read once under a static initialiser).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pellucor::runtime {

inline constexpr int32_t kFirstDayNumber = 4;       // 1 January 1801
inline constexpr int32_t kLastDayNumber = 2994626;  // 31 December 9999
inline constexpr int32_t kFirstYear = 1801;
inline constexpr int32_t kLastYear = 9999;
inline constexpr int kDefaultCenturyWindow = 80;
inline constexpr int32_t kLastTimeValue = 8640000;  // 23:59:59.99
inline constexpr int32_t kHundredthsPerHour = 360000;
inline constexpr int32_t kHundredthsPerMinute = 6000;
inline constexpr int32_t kTimeValueNoon = 12 * kHundredthsPerHour + 1;

struct BrokenDate {
  int32_t year = 0;
  int32_t month = 0;  // 1-12
  int32_t day = 0;    // 1-31
  friend bool operator==(const BrokenDate&, const BrokenDate&) = default;
};

struct BrokenTime {
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t hundredth = 0;
  friend bool operator==(const BrokenTime&, const BrokenTime&) = default;
};

[[nodiscard]] bool IsLeapYear(int32_t year);
// Days in month (1-12) of year; 0 for a month outside 1-12.
[[nodiscard]] int MonthLength(int32_t year, int32_t month);

// The current year used to widen two-digit years: read once from platform::Now() and kept.
[[nodiscard]] int32_t CurrentYear();
// Fixes the current year (std::nullopt returns to the clock's year, read afresh). For tests.
void SetCurrentYearForTests(std::optional<int32_t> year);

// Widens a two-digit year (0-99) with the century window; other years are returned unchanged.
[[nodiscard]] int32_t WidenYear(int32_t year, int window = kDefaultCenturyWindow);

// The day number of a date, or -1 when it is not a valid date of 1801-9999. A year below 100 is
// widened with the window first.
[[nodiscard]] int32_t DayNumber(int32_t year, int32_t month, int32_t day,
                                int window = kDefaultCenturyWindow);

// Fills *out with the date of a day number. Returns 0, or -1 (and an all-zero date) when the day
// number lies outside 4 to 2994626.
int32_t SplitDate(int32_t day_number, BrokenDate* out);

// The normalising date constructor: a month above 12 moves into the following years, a day past
// the month's end into the following months (DATE(13,1,2001) is 1 January 2002, DATE(1,32,2001)
// is 1 February 2001). -1 when month or day is below 1 or the date lands outside 1801-9999.
[[nodiscard]] int32_t DATE(int32_t month, int32_t day, int32_t year,
                           int window = kDefaultCenturyWindow);
// Parts of a day number; 0 for an invalid day number.
[[nodiscard]] int32_t DAY(int32_t day_number);
[[nodiscard]] int32_t MONTH(int32_t day_number);
[[nodiscard]] int32_t YEAR(int32_t day_number);

// Time value of h:m:s.hh (no range check: the caller's parts are taken as given).
[[nodiscard]] int32_t TimeValue(int32_t hour, int32_t minute, int32_t second, int32_t hundredth);
// Fills *out with the parts of a time value. Returns 0, or -1 (and all-zero parts) when the value
// lies outside 1 to 8640000.
int32_t SplitTime(int32_t time_value, BrokenTime* out);

// Today's local date as a day number, and the local time of day as a time value.
[[nodiscard]] int32_t TODAY();
[[nodiscard]] int32_t CLOCK();

// The age of `birth` at `base` as "45 DAYS", "18 MOS" or "43 YRS"; a birth after the base is
// moved back a century first, and is 255 asterisks when it still lies after it. Two invalid or
// missing day numbers give the same asterisks.
[[nodiscard]] std::string AGE(int32_t birth, int32_t base);
[[nodiscard]] std::string AGE(int32_t birth);

}  // namespace pellucor::runtime
