// The progress window of a report procedure ("P1$PROGRESSWINDOW", "Progress..."): a progress bar
// on the percentage, a line for the procedure's own text, the percentage text and "Cancel". Its
// timer ticks as fast as the engine delivers ticks; each tick runs one processing cycle.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/window/description.h"

namespace pellucor::report {

namespace progress_window {
inline constexpr int32_t kProgress = 1;     // bound to the percentage byte
inline constexpr int32_t kUserString = 2;   // the procedure's own text
inline constexpr int32_t kPercentText = 3;  // "37% Complete"
inline constexpr int32_t kCancel = 4;
}  // namespace progress_window

// `module`: the procedure's module ("pelkit$PELKI015"); `percentile`: the percentage byte.
[[nodiscard]] runtime::WindowDescription ProgressWindow(std::string module, uint8_t* percentile);

}  // namespace pellucor::report
