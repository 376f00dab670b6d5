// Shared by the window tests: one QApplication on the offscreen platform, a program over the Qt
// engine, a reaper that fails a hung test, and the events an ACCEPT loop hands out.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "tests/runtime/event/event_test_util.h"
#include "ui/qt_engine.h"

namespace pellucor::ui::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    // Window tests never need a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// An event number no window produces: it marks the end of what a test waits for.
inline constexpr auto kEndOfInput = static_cast<runtime::Event>(0x3F0);

class UiTest : public ::testing::Test {
 protected:
  UiTest()
      : app_(App()),
        previous_hook_(runtime::SetHaltHook(runtime::HaltHookThrows())),
        program_(engine_) {}
  ~UiTest() override { runtime::SetHaltHook(previous_hook_); }

  // The trace names of every event the current window's loop hands out until now.
  std::vector<std::string> Events() {
    runtime::PostEvent(kEndOfInput);
    std::vector<std::string> seen;
    runtime::ACCEPT([&] {
      if (runtime::EVENT() == kEndOfInput) return runtime::LoopControl::kLeave;
      seen.push_back(runtime::testing::TraceName(runtime::CurrentEvent()));
      return runtime::LoopControl::kContinue;
    });
    return seen;
  }

  // Opens `window` and waits until it is the active window with its first focus given.
  void OpenAndShow(runtime::Window& window) {
    window.Open();
    QWidget* w = engine_.WidgetOf(window.id());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  }

  QWidget* Widget(const runtime::Window& window, int32_t control) {
    return engine_.ControlWidget(window.id(), control);
  }

  runtime::testing::Reaper reaper_{std::chrono::seconds(30)};
  QApplication& app_;
  QtEngine engine_;
  runtime::HaltHook previous_hook_;
  runtime::ProgramScope program_;
};

inline runtime::ControlDescription& Add(runtime::WindowDescription& d, int32_t number,
                                        runtime::ControlKind kind, std::string text = {},
                                        runtime::DialogRect at = {}) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  if (at.width > 0) c.at = at;
  d.controls.push_back(c);
  return d.controls.back();
}

}  // namespace pellucor::ui::testing
