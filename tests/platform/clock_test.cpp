#include "platform/clock.h"

#include <gtest/gtest.h>

namespace pellucor::platform {
namespace {

TEST(Clock, NowIsALocalTimeAndCanBeFixed) {
  const LocalTime now = Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23 && now.minute >= 0 && now.minute <= 59);
  EXPECT_TRUE(now.second >= 0 && now.second <= 59 && now.hundredths >= 0 && now.hundredths <= 99);
  EXPECT_TRUE(now.weekday >= 0 && now.weekday <= 6);

  LocalTime fixed;
  fixed.year = 1999;
  fixed.month = 12;
  fixed.day = 31;
  fixed.hour = 23;
  fixed.minute = 59;
  fixed.weekday = 5;
  SetNowOverride(fixed);
  EXPECT_EQ(Now().year, 1999);
  EXPECT_EQ(Now().weekday, 5);
  SetNowOverride(std::nullopt);
  EXPECT_GE(Now().year, 2024);
}

TEST(Clock, MonotonicHundredthsAdvanceWithSleep) {
  const int64_t before = MonotonicHundredths();
  SleepMilliseconds(30);
  const int64_t after = MonotonicHundredths();
  EXPECT_GE(after - before, 2);  // at least 20 ms seen in whole hundredths
}

}  // namespace
}  // namespace pellucor::platform
