// The window manager's dispatcher over the scripted engine: which handler each event reaches,
// what the registered parts see, and the window events' own rules.
#include <string>
#include <vector>

#include "framework/window/window_manager.h"
#include "tests/runtime/event/event_test_util.h"

namespace pellucor::framework {
namespace {

using runtime::Event;
using runtime::EventRecord;
using runtime::testing::EventTest;
using ::testing::ElementsAre;

// A part that notes what the window asked of it.
struct NotingPart : WindowPart {
  std::vector<std::string> log;
  bool stale = false;
  Level TakeEvent() override {
    log.push_back("event " + std::to_string(static_cast<int>(runtime::EVENT())));
    return Level::Proceed;
  }
  bool NeedsRefresh() override { return stale; }
  void Refresh() override {
    log.push_back("refresh");
    stale = false;
  }
  void ResetFromWindow(bool force) override { log.push_back(force ? "reset forced" : "reset"); }
  void TakeScreenValues() override { log.push_back("screen"); }
  void RegisterKeys() override { log.push_back("keys"); }
  void KillPart() override { log.push_back("kill"); }
};

struct NotingToolbar : WindowToolbar {
  std::vector<std::string> log;
  void TakeAccepted(int32_t control) override {
    log.push_back("accepted " + std::to_string(control));
  }
  void TabChanged(int32_t sheet) override { log.push_back("tab " + std::to_string(sheet)); }
  void KillToolbar() override { log.push_back("kill"); }
};

runtime::WindowDescription Sheet() {
  runtime::WindowDescription d = runtime::testing::Form("SHEET");
  runtime::ControlDescription sheet;
  sheet.number = 37;
  sheet.kind = runtime::ControlKind::kSheet;
  d.controls.push_back(sheet);
  runtime::ControlDescription tab;
  tab.number = 38;
  tab.kind = runtime::ControlKind::kTab;
  tab.parent = 37;
  tab.text = "First";
  d.controls.push_back(tab);
  return d;
}

// A plain window procedure: its steps run as the user between events.
class Browser : public WindowManager {
 public:
  Browser() : window_(Sheet()) {}
  NotingPart browse;
  NotingPart drop;
  NotingToolbar toolbar;
  std::vector<std::string> handled;
  runtime::WindowId id() const { return window_.id(); }

  Level Init() override {
    (void)WindowManager::Init();
    window_.Open();
    AddBrowse(browse);
    AddFileDrop(drop);
    AddButton(6, response::kCompleted);
    TOOLBAR = &toolbar;
    FIRSTFIELD = 2;
    return Level::Proceed;
  }
  Level Kill() override {
    const Level level = WindowManager::Kill();
    if (window_.IsOpen()) window_.Close();
    return level;
  }
  Level HandleSelected() override {
    handled.push_back("selected " + std::to_string(runtime::FIELD()));
    return WindowManager::HandleSelected();
  }
  Level HandleRejected() override {
    handled.push_back("rejected " + std::to_string(runtime::FIELD()));
    return WindowManager::HandleRejected();
  }

 private:
  runtime::Window window_;
};

using DispatchTest = EventTest;

TEST_F(DispatchTest, EventsReachTheirHandlersThenTheParts) {
  Browser w;
  const auto post = [&](EventRecord e) {
    engine_.AddStep(1, [&w, e] { runtime::EngineInput::Post(w.id(), e); });
  };
  post({Event::kRejected, 2});
  post({Event::kSized});             // the first sizing is the opening's: no reset
  post({Event::kSized});             // a real one resets
  post({Event::kNewSelection, 37});  // a tab sheet: reset, and the toolbar follows the tab
  engine_.AddStep(1, [&] { w.browse.stale = true; });
  post({Event::kAccepted, 6});  // a button with a response ends the window
  EXPECT_EQ(w.Run(), response::kCompleted);

  EXPECT_EQ(w.handled.front(), "selected 2");  // FIRSTFIELD at the opening
  EXPECT_NE(std::find(w.handled.begin(), w.handled.end(), "rejected 2"), w.handled.end());
  EXPECT_GE(engine_.Beeps(), 1);  // a rejected entry sounds the alarm
  // The parts see the window's events after its handlers; the refresh came with the event that
  // followed the data change.
  const auto& log = w.browse.log;
  auto count = [&](const std::string& s) { return std::count(log.begin(), log.end(), s); };
  EXPECT_EQ(count("reset"), 3);  // set-up at the opening, the second sizing, the new tab
  EXPECT_EQ(count("refresh"), 1);
  EXPECT_EQ(count("kill"), 1);
  EXPECT_EQ(log.back(), "kill");
  EXPECT_EQ(w.drop.log.back(), "kill");
  EXPECT_THAT(w.toolbar.log, ElementsAre("tab 37", "accepted 6", "kill"));
}

TEST_F(DispatchTest, ALostFocusForcesTheNextResetWhenAsked) {
  Browser w;
  w.RESETONGAINFOCUS = true;
  engine_.AddStep(1, [&] { runtime::EngineInput::Post(w.id(), {Event::kLoseFocus}); });
  engine_.AddStep(1, [&] { runtime::EngineInput::Post(w.id(), {Event::kGainFocus}); });
  engine_.AddStep(1, [&] { runtime::EngineInput::Post(w.id(), {Event::kCloseWindow}); });
  EXPECT_EQ(w.Run(), response::kCancelled);  // no response set: cancelled
  EXPECT_NE(std::find(w.browse.log.begin(), w.browse.log.end(), "reset forced"),
            w.browse.log.end());
  EXPECT_TRUE(w.DEAD);
  EXPECT_EQ(w.Kill(), Level::Notified);  // a dead window is killed once
}

}  // namespace
}  // namespace pellucor::framework
