// The fatal errors of windows and the event loop, caught through the halt hook.
#include <atomic>

#include "runtime/core/error_state.h"

#include "event_test_util.h"

namespace pellucor::runtime {
namespace {

using testing::EventTest;
using testing::Form;

using EventErrorsTest = EventTest;

// Runs `f` and returns the halt it ended in (code 0 when it did not halt).
template <typename F>
HaltException HaltOf(F&& f) {
  try {
    f();
  } catch (const HaltException& h) {
    return h;
  }
  return HaltException{0, {}};
}

WindowDescription OfType(std::string name, WindowType type) {
  WindowDescription d = Form(std::move(name));
  d.type = type;
  return d;
}

TEST_F(EventErrorsTest, AcceptWithoutAWindowStopsWith537) {
  const HaltException h = HaltOf([] {
    AcceptLoop loop;
    (void)loop.Accept();
  });
  EXPECT_EQ(h.code, 537);
  EXPECT_EQ(h.text, "ACCEPT loop requires a window");
  EXPECT_EQ(ErrorCode(), 537);
}

TEST_F(EventErrorsTest, OpeningTwiceAndStatementsWithoutAWindow) {
  Window w(Form("TWICE"));
  w.Open();
  EXPECT_EQ(HaltOf([&] { w.Open(); }).text, "Window is already open : TWICE");
  w.Close();
  EXPECT_EQ(HaltOf([] { DISPLAY(); }).code, 536);
  EXPECT_EQ(HaltOf([] { SELECT(); }).code, 536);
  EXPECT_EQ(HaltOf([] { ALERT(key::kF1); }).text, "Window is not open");
  Window never(Form("NEVER"));
  EXPECT_EQ(HaltOf([&] { never.Close(); }).code, 536);
  w.Open();  // a closed window opens again
  EXPECT_TRUE(w.IsOpen());
}

TEST_F(EventErrorsTest, AnUnusableDescriptionNamesItsFault) {
  WindowDescription twice = Form("TWICE");
  twice.controls.push_back(twice.controls[1]);
  EXPECT_EQ(HaltOf([&] { Window(twice).Open(); }).text,
            "Unable to open WINDOW : TWICE: control number 2 is used twice");

  WindowDescription orphan = OfType("ORPHAN", WindowType::kFrame);
  orphan.controls[0].parent = 40;
  EXPECT_EQ(HaltOf([&] { Window(orphan).Open(); }).text,
            "Unable to open APPLICATION : ORPHAN: control 1 has no parent 40");
}

TEST_F(EventErrorsTest, ApplicationFrameRules) {
  EXPECT_EQ(HaltOf([] { Window(OfType("CHILD", WindowType::kFrameChild)).Open(); }).text,
            "Unable to open MDI window (No APPLICATION active) : CHILD");
  Window frame(OfType("FRAME", WindowType::kFrame));
  frame.Open();
  EXPECT_EQ(HaltOf([] { Window(OfType("FRAME2", WindowType::kFrame)).Open(); }).code, 526);
  EXPECT_EQ(HaltOf([] { Window(OfType("CHILD", WindowType::kFrameChild)).Open(); }).text,
            "Unable to open MDI window on APPLICATION's thread : CHILD");

  // On another thread a frame child opens, and belongs to the frame: closing the frame asks it
  // to close down first.
  std::atomic<int32_t> child_parent_closedown{0};
  START([&] {
    Window child(OfType("CHILD", WindowType::kFrameChild));
    child.Open();
    PostEvent(Event::kCloseWindow, 0, 1);
    ACCEPT([&] {
      if (EVENT() == Event::kCloseDown) ++child_parent_closedown;
      return LoopControl::kNext;
    });
  });
  ACCEPT([] { return LoopControl::kNext; });
  WaitForOtherThreads();
  EXPECT_EQ(child_parent_closedown, 1);
  EXPECT_FALSE(frame.IsOpen());
}

// While a thread shows a system-modal window, other threads may not open frames or controls,
// and their loops hold their events until it closes.
TEST_F(EventErrorsTest, ASystemModalWindowHoldsTheOtherThreads) {
  Window main_window(Form("MAIN"));
  main_window.Open();
  std::atomic<int32_t> frame_halt{0};
  std::atomic<int32_t> create_halt{0};
  std::atomic<bool> notice_seen{false};
  bool notice_seen_while_modal = true;
  START([&] {
    WindowDescription d = Form("MODAL");
    d.modality = Modality::kSystem;
    Window modal(std::move(d));
    modal.Open();
    START([&] {
      frame_halt = HaltOf([] { Window(OfType("FRAME", WindowType::kFrame)).Open(); }).code;
      Window plain(Form("PLAIN"));  // an ordinary window may open
      plain.Open();
      ControlDescription extra;
      extra.number = 50;
      extra.kind = ControlKind::kButton;
      create_halt = HaltOf([&] { (void)CREATE(extra); }).code;
    });
    PostEvent(Event::kNotify, 0, 1);
    engine_.AddStep(2, [&] {
      // Thread 1 may take the run lock now; its loop must still hold the notice.
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      EngineInput::Post(modal.id(), EventRecord{Event::kCloseWindow});
    });
    ACCEPT([&] {
      if (EVENT() == Event::kCloseWindow) notice_seen_while_modal = notice_seen;
      return LoopControl::kNext;
    });
  });
  ACCEPT([&] {
    if (EVENT() != Event::kNotify) return LoopControl::kNext;
    notice_seen = true;
    return LoopControl::kLeave;
  });
  EXPECT_FALSE(notice_seen_while_modal);
  WaitForOtherThreads();
  EXPECT_EQ(frame_halt, 527);
  EXPECT_EQ(create_halt, 541);
}

TEST_F(EventErrorsTest, PressingMoreThanTheBufferHoldsStopsWith534AndPressesNothing) {
  PRESS(std::string(kPressBufferSize, 'x'));
  engine_.ClearLog();
  const HaltException h = HaltOf([] { PRESS(std::string(kPressBufferSize + 1, 'y')); });
  EXPECT_EQ(h.code, 534);
  EXPECT_EQ(h.text, "Too many keystrokes PRESSed");
  EXPECT_TRUE(engine_.Log().empty());
  EXPECT_TRUE(EngineInput::TakePressedKeys().empty());
}

}  // namespace
}  // namespace pellucor::runtime
