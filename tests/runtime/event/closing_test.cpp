// The closing sequence of a window with child windows on other threads.
#include "event_test_util.h"

namespace pellucor::runtime {
namespace {

using ::testing::ElementsAre;
using testing::EventTest;
using testing::Form;
using testing::TraceName;

using ClosingTest = EventTest;

// Trace names without the suspend and resume events, which depend on how the threads took turns.
std::vector<std::string> Sans(const std::vector<std::string>& seen) {
  std::vector<std::string> out;
  for (const auto& s : seen) {
    if (s != "EVENT:Suspend" && s != "EVENT:Resume") out.push_back(s);
  }
  return out;
}

size_t Position(const std::vector<std::string>& log, const std::string& line) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] == line) return i;
  }
  return log.size();
}

// Runs a parent window on thread 1 and a child on thread 2; the child answers each
// "EVENT:CloseDown" with `child_answers` in turn (kNext once it runs out). The parent closes
// itself as soon as the child is open, and again each time the child reports a refusal.
struct Family {
  std::vector<std::string> parent_seen;
  std::vector<std::string> child_seen;
  WindowId parent_id = 0;
  WindowId child_id = 0;
};

Family RunFamily(std::vector<LoopControl> child_answers) {
  Family f;
  Window parent(Form("PARENT"));
  parent.Open();
  f.parent_id = parent.id();
  START([&] {
    Window child(Form("CHILD"));
    child.Open(StarterWindow());
    f.child_id = child.id();
    size_t answer = 0;
    AcceptLoop loop;
    while (loop.Accept()) {
      f.child_seen.push_back(TraceName(CurrentEvent()));
      if (EVENT() == Event::kOpenWindow) PostEvent(Event::kNotify, 0, 1);
      if (EVENT() == Event::kCloseDown && answer < child_answers.size() &&
          child_answers[answer++] == LoopControl::kContinue) {
        PostEvent(Event::kNotify, 0, 1);  // tell the parent it was refused
        loop.Continue();
        continue;
      }
    }
  });
  AcceptLoop loop;
  while (loop.Accept()) {
    f.parent_seen.push_back(TraceName(CurrentEvent()));
    if (EVENT() == Event::kNotify) PostEvent(Event::kCloseWindow);
  }
  return f;
}

TEST_F(ClosingTest, ClosingAParentClosesItsOpenChildFirst) {
  const Family f = RunFamily({});
  EXPECT_THAT(Sans(f.child_seen), ElementsAre("EVENT:OpenWindow", "EVENT:CloseDown"));
  EXPECT_THAT(Sans(f.parent_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:CloseWindow"));
  const auto log = engine_.Log();
  const size_t child_closed = Position(log, "close " + std::to_string(f.child_id));
  const size_t parent_closed = Position(log, "close " + std::to_string(f.parent_id));
  ASSERT_LT(parent_closed, log.size());
  EXPECT_LT(child_closed, parent_closed);
}

TEST_F(ClosingTest, AChildThatRefusesKeepsItsParentOpen) {
  // The first close-down is refused: the parent stays open and hears of it; its second close
  // asks the child again, which then agrees.
  const Family f = RunFamily({LoopControl::kContinue});
  EXPECT_THAT(Sans(f.child_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:CloseDown", "EVENT:CloseDown"));
  EXPECT_THAT(Sans(f.parent_seen),
              ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:CloseWindow", "EVENT:Notify",
                          "EVENT:CloseWindow"));
  EXPECT_FALSE(engine_.IsOpen(f.parent_id));
  EXPECT_EQ(engine_.Beeps(), 0);
}

// A parent whose only child is itself closing already (waiting for a grandchild that has not
// answered yet) finds no open child to ask: it beeps and stays open.
TEST_F(ClosingTest, AParentWithOnlyClosingChildrenBeepsAndStaysOpen) {
  const Event kGo = static_cast<Event>(0x300);
  Window parent(Form("PARENT"));
  parent.Open();
  START([&] {
    Window child(Form("CHILD"));
    child.Open(StarterWindow());
    START([&] {
      Window grandchild(Form("GRANDCHILD"));
      grandchild.Open(StarterWindow());
      // A second window on the same thread: the grandchild is not current, so its close-down
      // waits in its queue unanswered.
      Window other(Form("OTHER"));
      other.Open();
      ACCEPT([&] {
        if (EVENT() == Event::kOpenWindow) PostEvent(Event::kCloseWindow, 0, 2);
        return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext;
      });
      // Leaving closes both windows: the child goes on closing and ends its loop.
    });
    ACCEPT([&] {
      // The close is carried out after this body; the go-ahead comes after it.
      if (EVENT() == Event::kCloseWindow) PostEvent(kGo);
      if (EVENT() == kGo) PostEvent(kGo, 0, 1);
      return LoopControl::kNext;
    });
  });
  std::vector<std::string> seen;
  ACCEPT([&] {
    if (EVENT() == Event::kSuspend || EVENT() == Event::kResume) return LoopControl::kNext;
    seen.push_back(TraceName(CurrentEvent()));
    if (EVENT() == kGo) PostEvent(Event::kCloseWindow);
    if (EVENT() == Event::kCloseWindow) PostEvent(Event::kNotify);
    if (EVENT() == Event::kNotify) {
      EXPECT_TRUE(parent.IsOpen());
      PostEvent(Event::kNotify, 0, 3);
      return LoopControl::kLeave;
    }
    return LoopControl::kNext;
  });
  EXPECT_THAT(seen,
              ElementsAre("EVENT:OpenWindow", "EVENT:768", "EVENT:CloseWindow", "EVENT:Notify"));
  EXPECT_EQ(engine_.Beeps(), 1);
  EXPECT_TRUE(parent.IsOpen());
  WaitForOtherThreads();
  EXPECT_FALSE(engine_.IsOpen(engine_.WindowNamed("CHILD")));
}

TEST_F(ClosingTest, ClosingAWindowDirectlyLeavesItsChildrenOnTheirOwn) {
  Window parent(Form("PARENT"));
  parent.Open();
  START([&] {
    Window child(Form("CHILD"));
    child.Open(StarterWindow());
    PostEvent(Event::kNotify, 0, 1);
    ACCEPT([] { return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext; });
  });
  ACCEPT([&] { return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext; });
  const WindowId child = engine_.WindowNamed("CHILD");
  parent.Close();
  EXPECT_TRUE(engine_.IsOpen(child));
  EXPECT_FALSE(parent.IsOpen());
  PostEvent(Event::kNotify, 0, 2);
  WaitForOtherThreads();
}

}  // namespace
}  // namespace pellucor::runtime
