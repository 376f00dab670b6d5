#include "platform/clock.h"

#include <time.h>

#include <mutex>
#include <thread>

namespace pellucor::platform {

namespace {
std::mutex override_mutex;
std::optional<LocalTime> now_override;
}  // namespace

LocalTime Now() {
  {
    std::lock_guard lock(override_mutex);
    if (now_override) return *now_override;
  }
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  // The broken-down time changes only with the second; a filter that asks for today's date once
  // per record would otherwise spend most of its time in localtime_r.
  thread_local time_t cached_second = -1;
  thread_local tm parts{};
  if (ts.tv_sec != cached_second) {
    localtime_r(&ts.tv_sec, &parts);
    cached_second = ts.tv_sec;
  }
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;  // a leap second reads as :59
  t.hundredths = static_cast<int>(ts.tv_nsec / 10000000);
  t.weekday = parts.tm_wday;
  return t;
}

void SetNowOverride(std::optional<LocalTime> fixed) {
  std::lock_guard lock(override_mutex);
  now_override = fixed;
}

int64_t MonotonicHundredths() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 100 + ts.tv_nsec / 10000000;
}

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace pellucor::platform
