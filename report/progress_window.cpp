#include "report/progress_window.h"

#include <utility>

namespace pellucor::report {

runtime::WindowDescription ProgressWindow(std::string module, uint8_t* percentile) {
  using runtime::ControlKind;
  namespace w = progress_window;
  runtime::WindowDescription d;
  d.name = "P1$PROGRESSWINDOW";
  d.module = std::move(module);
  d.title = "Progress...";
  d.icon = "~pellucor.ico";
  d.at = runtime::DialogRect{0, 0, 150, 64};
  d.centered = true;
  d.timer = 1;
  auto add = [&d](int32_t number, ControlKind kind, std::string text, runtime::DialogRect at) {
    runtime::ControlDescription c;
    c.number = number;
    c.kind = kind;
    c.text = std::move(text);
    c.at = at;
    d.controls.push_back(std::move(c));
    return &d.controls.back();
  };
  runtime::ControlDescription* bar =
      add(w::kProgress, ControlKind::kProgress, "", runtime::DialogRect{15, 15, 120, 12});
  bar->range_low = 0;
  bar->range_high = 100;
  bar->use = runtime::AnyRef{percentile, 1, runtime::TypeCode::kByte, 0};
  bar->tip = "Progress";
  add(w::kUserString, ControlKind::kString, "", runtime::DialogRect{15, 3, 120, 10})->picture =
      "@s60";
  add(w::kPercentText, ControlKind::kString, "", runtime::DialogRect{15, 30, 120, 10});
  add(w::kCancel, ControlKind::kButton, "Cancel", runtime::DialogRect{50, 44, 50, 14})->message =
      "Stop the report; nothing is printed";
  return d;
}

}  // namespace pellucor::report
