#include "app/windows/calendar_window.h"

#include <array>
#include <string>

namespace pellucor::app::calendar_window {

namespace {

using runtime::ControlKind;

constexpr int32_t kLeft = 6;
constexpr int32_t kGridTop = 40;
constexpr int32_t kColumn = 12;  // dialog units from column to column
constexpr int32_t kRow = 11;     // and from row to row

runtime::ControlDescription& Add(runtime::WindowDescription& d, int32_t number, ControlKind kind,
                                 std::string text, runtime::DialogRect at) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

}  // namespace

runtime::WindowDescription Describe(int16_t* month, int16_t* year) {
  runtime::WindowDescription d;
  d.name = "P1$WINDOW";
  d.module = "pelkit$PELKI_VW";
  d.icon = "~pelkin.ico";
  d.centered = true;
  d.at = runtime::DialogRect{0, 0, kLeft * 2 + 7 * kColumn, kGridTop + 6 * kRow + 6};
  Add(d, 1, ControlKind::kPrompt, "&Month", {kLeft, 4, 40, 9});
  auto& m = Add(d, kMonthSpin, ControlKind::kSpin, "", {kLeft, 13, 40, 12});
  m.picture = "@n-6";
  m.use = runtime::AnyRef{month, 2, runtime::TypeCode::kShort, 0};
  // One step past either end, so that stepping on wraps into the next or previous year.
  m.range_low = 0;
  m.range_high = 13;
  m.tip = "Month";
  Add(d, 2, ControlKind::kPrompt, "&Year", {kLeft + 50, 4, 40, 9});
  auto& y = Add(d, kYearSpin, ControlKind::kSpin, "", {kLeft + 50, 13, 40, 12});
  y.picture = "@n-6";
  y.use = runtime::AnyRef{year, 2, runtime::TypeCode::kShort, 0};
  y.range_low = 1800;  // one past each limit: the limits then say why they hold
  y.range_high = 2100;
  y.tip = "Year";
  static constexpr std::array<const char*, 7> kWeekdays{"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
  for (int32_t c = 0; c < 7; ++c) {
    auto& h = Add(d, 3 + c, ControlKind::kString, kWeekdays[c],
                  {kLeft + c * kColumn, kGridTop - 10, kColumn, 9});
    h.picture = "@s2";
  }
  for (int32_t i = 0; i < kCells; ++i) {
    const runtime::DialogRect cell{kLeft + (i % 7) * kColumn, kGridTop + (i / 7) * kRow, kColumn,
                                   kRow};
    Add(d, kFirstCell + i, ControlKind::kButton, "", cell);
  }
  for (int32_t i = 0; i < kCells; ++i) {
    const runtime::DialogRect cell{kLeft + (i % 7) * kColumn + 1, kGridTop + (i / 7) * kRow + 1,
                                   kColumn - 3, kRow - 2};
    Add(d, kFirstCell + kDayOffset + i, ControlKind::kString, "", cell).picture = "@n2";
  }
  return d;
}

}  // namespace pellucor::app::calendar_window
