// Local time and the clock, with a test override so that "today" and "the current year" can be
// fixed in tests.
#pragma once

#include <cstdint>
#include <optional>

namespace pellucor::platform {

struct LocalTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59
  int hundredths = 0;
  int weekday = 0;  // 0 Sunday - 6 Saturday
};

// The local time now (clock_gettime + localtime_r), or the override when one is set.
LocalTime Now();
// Fixes what Now() returns (std::nullopt restores the real clock). For tests.
void SetNowOverride(std::optional<LocalTime> fixed);

// A monotonic clock in hundredths of a second, for timeouts and trace timings.
int64_t MonotonicHundredths();
// Sleeps the calling thread.
void SleepMilliseconds(int milliseconds);

}  // namespace pellucor::platform
