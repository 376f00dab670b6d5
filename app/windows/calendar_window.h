// The calendar's window: one month as a grid of day cells, with spin boxes on the month and year.
#pragma once

#include <cstdint>

#include "runtime/window/description.h"

namespace pellucor::app::calendar_window {

inline constexpr int32_t kMonthSpin = 10;
inline constexpr int32_t kYearSpin = 11;
// Day cells in row order, 7 columns (Sunday first) and 6 rows, the sixth row two cells long;
// each has a day-number string above it, kDayOffset further on.
inline constexpr int32_t kFirstCell = 15;
inline constexpr int32_t kCells = 37;
inline constexpr int32_t kLastCell = kFirstCell + kCells - 1;  // 51
inline constexpr int32_t kDayOffset = kCells;                  // cell 15 shows string 52

// `month` and `year` are the variables the spin boxes show (16-bit numbers).
[[nodiscard]] runtime::WindowDescription Describe(int16_t* month, int16_t* year);

}  // namespace pellucor::app::calendar_window
