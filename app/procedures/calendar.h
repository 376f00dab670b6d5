// The calendar date picker: a small modal window that shows one month and returns a date.
#pragma once

#include <cstdint>

namespace pellucor::app {

// Shows the month of `date` (a day number; 0 means none, and today is shown) and returns the day
// the user picked, or `date` (today when it was 0) when the user left without picking one.
[[nodiscard]] int32_t Calendar(int32_t date);

}  // namespace pellucor::app
