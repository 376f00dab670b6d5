// Program threads over the real engine: every widget lives on the GUI thread (thread 1), so a
// window call from thread 2 is carried over to it, and thread 1 serves such calls whether it waits
// in ACCEPT or for the run lock.
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>

#include "ui_test_util.h"

namespace pellucor::ui {
namespace {

using runtime::ControlKind;
using runtime::Event;
using runtime::LoopControl;
using runtime::testing::Form;
using runtime::testing::TraceName;
using ::testing::ElementsAre;
using testing::UiTest;

using ThreadsUiTest = UiTest;

std::vector<std::string> Sans(const std::vector<std::string>& seen) {
  std::vector<std::string> out;
  for (const auto& s : seen) {
    if (s != "EVENT:Suspend" && s != "EVENT:Resume" && s != "EVENT:GainFocus" &&
        s != "EVENT:LoseFocus" && s.rfind("EVENT:Selected", 0) != 0) {
      out.push_back(s);
    }
  }
  return out;
}

// Two threads, each with a real window and an ACCEPT loop, hand a notice back and forth. Between
// notices thread 2 changes its own window's controls and asks a question in a message box: each
// of those calls is carried over to the GUI thread, which at that moment waits either in its
// ACCEPT or for the run lock (it was woken by the notice thread 2 just posted).
TEST_F(ThreadsUiTest, TwoThreadsWithRealWindowsPassNoticesAndCarryWindowCallsOver) {
  constexpr int kRounds = 40;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto program_code = [&] {
    if (inside.fetch_add(1) != 0) overlap = true;
    inside.fetch_sub(1);
  };
  int questions = 0;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    ++questions;
    box->findChild<QPushButton*>("button2")->click();  // Yes
  });

  runtime::Window main_window(Form("MAIN"));
  OpenAndShow(main_window);
  int pings = 0;
  int answers_yes = 0;
  runtime::WindowId other_id = 0;
  std::string last_text;
  const runtime::ThreadNumber other = runtime::START([&] {
    runtime::Window w(Form("OTHER"));
    w.Open(runtime::StarterWindow());
    other_id = w.id();
    int round = 0;
    runtime::ACCEPT([&] {
      program_code();
      if (runtime::EVENT() == Event::kOpenWindow || runtime::EVENT() == Event::kNotify) {
        ++round;
        runtime::PostEvent(Event::kNotify, 0, 1);
        // Window calls while thread 1 is awake and wants the run lock back.
        runtime::SetProperty(2, runtime::Prop::kText, "round " + std::to_string(round));
        last_text = runtime::GetProperty(2, runtime::Prop::kText);
        if (round % 10 == 0 &&
            runtime::MESSAGE("Go on?", "Thread 2", runtime::MessageIcon::kQuestion,
                             runtime::button::kYes + runtime::button::kNo) ==
                runtime::button::kYes) {
          ++answers_yes;
        }
      }
      return LoopControl::kNext;
    });
  });
  std::vector<std::string> main_seen;
  runtime::ACCEPT([&] {
    program_code();
    main_seen.push_back(TraceName(runtime::CurrentEvent()));
    if (runtime::EVENT() == Event::kNotify) {
      if (++pings < kRounds) {
        runtime::PostEvent(Event::kNotify, 0, other);
      } else {
        runtime::PostEvent(Event::kCloseWindow, 0, other);
        return LoopControl::kLeave;
      }
    }
    return LoopControl::kNext;
  });
  runtime::WaitForOtherThreads();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(pings, kRounds);
  EXPECT_EQ(questions, kRounds / 10);
  EXPECT_EQ(answers_yes, kRounds / 10);
  EXPECT_EQ(last_text, "round " + std::to_string(kRounds));
  EXPECT_EQ(engine_.WidgetOf(other_id), nullptr);  // closed when its loop ended
  EXPECT_EQ(Sans(main_seen).front(), "EVENT:OpenWindow");
}

// Closing a parent asks its open child (another thread's window) to close down first; a child
// that refuses keeps the parent open, and the parent's next close goes through.
struct Family {
  std::vector<std::string> parent_seen;
  std::vector<std::string> child_seen;
  runtime::WindowId child_id = 0;
  bool child_open_when_refused = false;
};

Family RunFamily(QtEngine& engine, int refusals) {
  Family f;
  runtime::Window parent(Form("PARENT"));
  parent.Open();
  runtime::START([&] {
    runtime::Window child(Form("CHILD"));
    child.Open(runtime::StarterWindow());
    f.child_id = child.id();
    int refused = 0;
    runtime::AcceptLoop loop;
    while (loop.Accept()) {
      f.child_seen.push_back(TraceName(runtime::CurrentEvent()));
      if (runtime::EVENT() == Event::kOpenWindow) runtime::PostEvent(Event::kNotify, 0, 1);
      if (runtime::EVENT() == Event::kCloseDown && refused < refusals) {
        ++refused;
        runtime::PostEvent(Event::kNotify, 0, 1);  // tell the parent it was refused
        loop.Continue();
        continue;
      }
    }
  });
  runtime::AcceptLoop loop;
  int notices = 0;
  while (loop.Accept()) {
    f.parent_seen.push_back(TraceName(runtime::CurrentEvent()));
    if (runtime::EVENT() == Event::kNotify) {
      if (++notices > 1) f.child_open_when_refused = engine.WidgetOf(f.child_id) != nullptr;
      runtime::PostEvent(Event::kCloseWindow);
    }
  }
  runtime::WaitForOtherThreads();
  return f;
}

TEST_F(ThreadsUiTest, ClosingAParentWithAnOpenChildClosesTheChildFirst) {
  const Family f = RunFamily(engine_, 0);
  EXPECT_THAT(Sans(f.child_seen), ElementsAre("EVENT:OpenWindow", "EVENT:CloseDown"));
  EXPECT_THAT(Sans(f.parent_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:CloseWindow"));
  EXPECT_EQ(engine_.WidgetOf(f.child_id), nullptr);
}

TEST_F(ThreadsUiTest, AChildThatRefusesToCloseKeepsItsParentOpen) {
  const Family f = RunFamily(engine_, 1);
  EXPECT_THAT(Sans(f.child_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:CloseDown", "EVENT:CloseDown"));
  EXPECT_THAT(Sans(f.parent_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:CloseWindow", "EVENT:Notify",
                          "EVENT:CloseWindow"));
  EXPECT_TRUE(f.child_open_when_refused);
}

// The user closes the parent with the window manager's close button (a real close event on the
// real widget): the same sequence runs.
TEST_F(ThreadsUiTest, TheUsersCloseOfAParentAsksItsChildToo) {
  runtime::Window parent(Form("PARENT"));
  OpenAndShow(parent);
  std::vector<std::string> child_seen;
  runtime::START([&] {
    runtime::Window child(Form("CHILD"));
    child.Open(runtime::StarterWindow());
    runtime::ACCEPT([&] {
      child_seen.push_back(TraceName(runtime::CurrentEvent()));
      if (runtime::EVENT() == Event::kOpenWindow) runtime::PostEvent(Event::kNotify, 0, 1);
      return LoopControl::kNext;
    });
  });
  QWidget* parent_widget = engine_.WidgetOf(parent.id());
  std::vector<std::string> parent_seen;
  runtime::ACCEPT([&] {
    parent_seen.push_back(TraceName(runtime::CurrentEvent()));
    if (runtime::EVENT() == Event::kNotify) parent_widget->close();
    return LoopControl::kNext;
  });
  runtime::WaitForOtherThreads();
  EXPECT_THAT(Sans(child_seen), ElementsAre("EVENT:OpenWindow", "EVENT:CloseDown"));
  EXPECT_THAT(Sans(parent_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:CloseWindow"));
  EXPECT_EQ(engine_.WidgetOf(parent.id()), nullptr);
}

}  // namespace
}  // namespace pellucor::ui
