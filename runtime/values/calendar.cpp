#include "runtime/values/calendar.h"

#include <array>
#include <mutex>

#include "platform/clock.h"

namespace pellucor::runtime {

namespace {

// Days before each month in a common year.
constexpr std::array<int32_t, 12> kDaysBefore = {0,   31,  59,  90,  120, 151,
                                                 181, 212, 243, 273, 304, 334};
constexpr std::array<int, 12> kMonthLength = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Leap years from year 1 up to and including y (y >= 0).
constexpr int64_t LeapsThrough(int64_t y) {
  return y / 4 - y / 100 + y / 400;
}

// The day number of any Gregorian date with year >= 1 and a valid month, day counted from the
// month's first day (so a day past the month's end runs on into the next months). Used where an
// intermediate date may fall outside 1801-9999 (normalising, ages).
int64_t ProlepticDayNumber(int64_t year, int32_t month, int64_t day) {
  int64_t n = (year - 1801) * 365 + kDaysBefore[month - 1] + day + 3 +
              (LeapsThrough(year) - LeapsThrough(1800));
  if (month <= 2 && IsLeapYear(static_cast<int32_t>(year))) --n;
  return n;
}

std::mutex year_mutex;
std::optional<int32_t> current_year;

}  // namespace

bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int MonthLength(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kMonthLength[month - 1];
}

int32_t CurrentYear() {
  std::lock_guard lock(year_mutex);
  if (!current_year) current_year = platform::Now().year;
  return *current_year;
}

void SetCurrentYearForTests(std::optional<int32_t> year) {
  std::lock_guard lock(year_mutex);
  current_year = year;
}

int32_t WidenYear(int32_t year, int window) {
  if (year < 0 || year >= 100) return year;
  const int32_t c = CurrentYear();
  int32_t widened = c - c % 100 + year;
  const int32_t distance = c % 100 - year;
  if (distance > window) {
    widened += 100;
  } else if (distance <= window - 100) {
    widened -= 100;
  }
  return widened;
}

int32_t DayNumber(int32_t year, int32_t month, int32_t day, int window) {
  year = WidenYear(year, window);
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
      day > MonthLength(year, month)) {
    return -1;
  }
  return static_cast<int32_t>(ProlepticDayNumber(year, month, day));
}

int32_t SplitDate(int32_t day_number, BrokenDate* out) {
  *out = BrokenDate{};
  if (day_number < kFirstDayNumber || day_number > kLastDayNumber) return -1;
  // The estimate by 365-day years is never too small; step back until the year's first day does
  // not lie after the date.
  int32_t year = kFirstYear + (day_number - kFirstDayNumber) / 365;
  if (year > kLastYear) year = kLastYear;
  while (ProlepticDayNumber(year, 1, 1) > day_number) --year;
  int32_t remaining = day_number - static_cast<int32_t>(ProlepticDayNumber(year, 1, 1)) + 1;
  int32_t month = 1;
  while (remaining > MonthLength(year, month)) {
    remaining -= MonthLength(year, month);
    ++month;
  }
  *out = BrokenDate{year, month, remaining};
  return 0;
}

int32_t DATE(int32_t month, int32_t day, int32_t year, int window) {
  if (month < 1 || day < 1) return -1;
  int64_t y = WidenYear(year, window);
  // Months past December move whole years; days past a month's end run on through the
  // following months, each with its own length (February of the year it falls in).
  y += (month - 1) / 12;
  const int32_t m = (month - 1) % 12 + 1;
  if (y < 1 || y > kLastYear) return -1;
  const int64_t n = ProlepticDayNumber(y, m, day);
  if (n < kFirstDayNumber || n > kLastDayNumber) return -1;
  return static_cast<int32_t>(n);
}

int32_t DAY(int32_t day_number) {
  BrokenDate d;
  SplitDate(day_number, &d);
  return d.day;
}

int32_t MONTH(int32_t day_number) {
  BrokenDate d;
  SplitDate(day_number, &d);
  return d.month;
}

int32_t YEAR(int32_t day_number) {
  BrokenDate d;
  SplitDate(day_number, &d);
  return d.year;
}

int32_t TimeValue(int32_t hour, int32_t minute, int32_t second, int32_t hundredth) {
  return hour * kHundredthsPerHour + minute * kHundredthsPerMinute + second * 100 + hundredth + 1;
}

int32_t SplitTime(int32_t time_value, BrokenTime* out) {
  *out = BrokenTime{};
  if (time_value < 1 || time_value > kLastTimeValue) return -1;
  int32_t t = time_value - 1;
  out->hour = static_cast<uint8_t>(t / kHundredthsPerHour);
  t %= kHundredthsPerHour;
  out->minute = static_cast<uint8_t>(t / kHundredthsPerMinute);
  t %= kHundredthsPerMinute;
  out->second = static_cast<uint8_t>(t / 100);
  out->hundredth = static_cast<uint8_t>(t % 100);
  return 0;
}

int32_t TODAY() {
  const platform::LocalTime now = platform::Now();
  return DayNumber(now.year, now.month, now.day);
}

int32_t CLOCK() {
  const platform::LocalTime now = platform::Now();
  return TimeValue(now.hour, now.minute, now.second, now.hundredths);
}

std::string AGE(int32_t birth, int32_t base) {
  const std::string stars(255, '*');
  BrokenDate b;
  BrokenDate now;
  if (SplitDate(birth, &b) != 0 || SplitDate(base, &now) != 0) return stars;
  int64_t birth_n = birth;
  if (birth > base) {
    b.year -= 100;
    // 29 February of a century year that is not a leap year runs on to 1 March.
    birth_n = ProlepticDayNumber(b.year, b.month, b.day);
    if (birth_n > base) return stars;
    if (b.day > MonthLength(b.year, b.month)) {
      b.day = 1;
      b.month = 3;
    }
  }
  const int64_t days = base - birth_n;
  if (days < 61) return std::to_string(days) + " DAYS";
  int32_t months = (now.year - b.year) * 12 + now.month - b.month;
  if (now.day < b.day) --months;
  if (months < 25) return std::to_string(months) + " MOS";
  int32_t years = now.year - b.year;
  if (now.month < b.month || (now.month == b.month && now.day < b.day)) --years;
  return std::to_string(years) + " YRS";
}

std::string AGE(int32_t birth) {
  return AGE(birth, TODAY());
}

}  // namespace pellucor::runtime
