// The ACCEPT loop on one thread: the order of events and what the dequeue step drops.
#include "event_test_util.h"

namespace pellucor::runtime {
namespace {

using ::testing::ElementsAre;
using testing::EventTest;
using testing::Form;

using AcceptLoopTest = EventTest;

TEST_F(AcceptLoopTest, EventFunctionsWithoutAWindowReportNothing) {
  EXPECT_EQ(EVENT(), Event::kNone);
  EXPECT_EQ(FIELD(), 0);
  EXPECT_EQ(FocusControl(), 0);
  EXPECT_EQ(AcceptedControl(), 0);
  PostEvent(Event::kAccepted, 2);  // no window on this thread: nothing happens
  Window w(Form());
  w.Open();
  EXPECT_EQ(EVENT(), Event::kNone);  // open, but nothing handed out yet
}

TEST_F(AcceptLoopTest, OpenWindowComesFirstAndPostsArriveInOrder) {
  Window w(Form());
  w.Open();
  PostEvent(Event::kAccepted, 6);
  PostEvent(Event::kAccepted, 6);  // the same event twice is delivered twice
  PostEvent(Event::kNewSelection, 7);
  std::vector<int32_t> accepted;
  const auto seen = Trace([&] {
    accepted.push_back(AcceptedControl());
    if (EVENT() == Event::kNewSelection) return LoopControl::kLeave;
    return LoopControl::kNext;
  });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Accepted 6", "EVENT:Accepted 6",
                                "EVENT:NewSelection 7"));
  EXPECT_THAT(accepted, ElementsAre(0, 6, 6, 0));
}

TEST_F(AcceptLoopTest, SelectedAndAcceptedReportOnlyTheirOwnEvent) {
  Window w(Form());
  w.Open();
  SELECT(2);  // the engine reports the focus: "EVENT:Selected" for 2
  std::vector<std::pair<int32_t, int32_t>> reported;  // (AcceptedControl, SelectedControl)
  Steps({[&] { ScriptedEngine::Click(w.id(), 6); }});
  Trace([&] {
    reported.emplace_back(AcceptedControl(), SelectedControl());
    EXPECT_EQ(FocusControl(), 2);
    return EVENT() == Event::kAccepted ? LoopControl::kLeave : LoopControl::kNext;
  });
  EXPECT_THAT(reported, ElementsAre(std::pair(0, 0), std::pair(0, 2), std::pair(6, 0)));
}

TEST_F(AcceptLoopTest, ASelectionThatFocusHasLeftIsNeverDelivered) {
  Window w(Form());
  w.Open();
  SELECT(2);
  SELECT(4);  // focus moved on before the first selection was handed out
  PostEvent(Event::kNotify);
  const auto seen =
      Trace([&] { return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Selected 4", "EVENT:Notify"));
}

TEST_F(AcceptLoopTest, TimerTicksNeverPileUpAndStopWithTheTimer) {
  WindowDescription d = Form();
  d.timer = 50;
  Window w(std::move(d));
  w.Open();
  EXPECT_EQ(engine_.TimerOf(w.id()), 50);
  for (int i = 0; i < 3; ++i) EngineInput::TimerTick(w.id());
  PostEvent(Event::kNotify);
  int timers = 0;
  AcceptLoop loop;
  while (loop.Accept()) {
    if (EVENT() == Event::kTimer) ++timers;
    if (EVENT() == Event::kNotify) break;
  }
  EXPECT_EQ(timers, 1);

  // A tick queued before the timer stopped is dropped; no new ticks are queued.
  EngineInput::TimerTick(w.id());
  SetTimer(0);
  EXPECT_EQ(engine_.TimerOf(w.id()), 0);
  EngineInput::TimerTick(w.id());
  PostEvent(Event::kNotify);
  const auto seen = Trace([] { return LoopControl::kLeave; });
  EXPECT_THAT(seen, ElementsAre("EVENT:Notify"));
}

TEST_F(AcceptLoopTest, AcceptAllVisitsEveryInputControlThenCompletes) {
  Window w(Form());
  w.Open();
  PostEvent(Event::kNotify);
  const auto seen = Trace([&] {
    if (EVENT() == Event::kOpenWindow) SELECT();
    return EVENT() == Event::kCompleted ? LoopControl::kLeave : LoopControl::kNext;
  });
  // Queued events go first; the prompt, the hidden and the read-only entry and the button are
  // passed over.
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:Accepted 2",
                                "EVENT:Accepted 4", "EVENT:Accepted 7", "EVENT:Completed"));
}

TEST_F(AcceptLoopTest, AcceptAllStopsAtAControlThatCannotBeAccepted) {
  Window w(Form());
  w.Open();
  engine_.RefuseAccept(w.id(), 4);
  SELECT();
  // After the pass has ended, a later event shows that no "EVENT:Completed" follows.
  Steps({[&] { EngineInput::Post(w.id(), EventRecord{Event::kNotify}); }});
  const auto seen =
      Trace([&] { return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Accepted 2", "EVENT:Rejected 4",
                                "EVENT:Notify"));
}

TEST_F(AcceptLoopTest, AcceptAllReadsTheScreenIntoTheVariables) {
  char topic[8] = "       ";
  WindowDescription d = Form();
  FindControl(d, 2)->use = AnyRef{topic, sizeof topic - 1, TypeCode::kString, 0};
  Window w(std::move(d));
  w.Open();
  engine_.Type(w.id(), 2, "Milk");
  SELECT();
  Trace([] { return EVENT() == Event::kCompleted ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_EQ(std::string(topic), "Milk   ");
  // DISPLAY shows the variable again.
  topic[0] = 'S';
  DISPLAY(2);
  EXPECT_EQ(engine_.ScreenText(w.id(), 2), "Silk   ");
}

TEST_F(AcceptLoopTest, CloseWindowEndsTheLoopUnlessRefused) {
  Window w(Form());
  w.Open();
  PostEvent(Event::kCloseWindow);
  int closes = 0;
  Steps({[&] { EngineInput::Post(w.id(), EventRecord{Event::kCloseWindow}); }});
  const auto seen = Trace([&] {
    // The first close is refused; the window stays and the loop goes on.
    if (EVENT() == Event::kCloseWindow && ++closes == 1) return LoopControl::kContinue;
    return LoopControl::kNext;
  });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:CloseWindow", "EVENT:CloseWindow"));
  EXPECT_FALSE(w.IsOpen());
  EXPECT_FALSE(engine_.IsOpen(w.id()));
  w.Close();  // closing what the loop closed does nothing
  EXPECT_EQ(CurrentWindow(), 0);
}

TEST_F(AcceptLoopTest, LeavingTheLoopSkipsTheCloseAndTheWindowStays) {
  Window w(Form());
  w.Open();
  PostEvent(Event::kCloseWindow);
  Trace([] { return EVENT() == Event::kCloseWindow ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_TRUE(w.IsOpen());
  // A new loop over the same window does not carry out the close it left behind.
  PostEvent(Event::kNotify);
  const auto seen = Trace([] { return LoopControl::kLeave; });
  EXPECT_THAT(seen, ElementsAre("EVENT:Notify"));
  EXPECT_TRUE(w.IsOpen());
}

TEST_F(AcceptLoopTest, OpenFailedEndsTheLoopAndCannotBeRefused) {
  engine_.FailOpening("FORM");
  Window w(Form());
  w.Open();
  const auto seen = Trace([] { return LoopControl::kContinue; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenFailed"));
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(AcceptLoopTest, ANestedWindowHasItsOwnLoopAndTheOuterResumes) {
  Window outer(Form("OUTER"));
  outer.Open();
  PostEvent(Event::kAccepted, 6);
  std::vector<std::string> inner_seen;
  const auto seen = Trace([&] {
    if (AcceptedControl() == 6) {
      Window inner(Form("INNER"));
      inner.Open();
      PostEvent(Event::kCloseWindow);
      inner_seen = Trace();
      EXPECT_EQ(CurrentWindow(), outer.id());
      EXPECT_EQ(AcceptedControl(), 6);  // the outer window's current event is as it was
      PostEvent(Event::kNotify);
    }
    return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext;
  });
  EXPECT_THAT(inner_seen, ElementsAre("EVENT:OpenWindow", "EVENT:CloseWindow"));
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Accepted 6", "EVENT:Notify"));
}

TEST_F(AcceptLoopTest, IdleProcessingRunsWhenNothingIsWaitingAndOncePerWait) {
  Window w(Form());
  w.Open();
  int idle_turns = 0;
  SetIdleProcedure([&] {
    // The first turn posts work; the second finds none, and the loop waits for the step.
    if (++idle_turns == 1) PostEvent(Event::kNotify);
  });
  Steps({[&] { ScriptedEngine::Click(w.id(), 6); }});
  const auto seen =
      Trace([] { return EVENT() == Event::kAccepted ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:Accepted 6"));
  EXPECT_EQ(idle_turns, 2);
  SetIdleProcedure({});
}

TEST_F(AcceptLoopTest, BuildEventsAreHandedOutInTurn) {
  Window w(Form());
  w.Open();
  PostEvent(Event::kBuildKey);
  PostEvent(Event::kBuildDone);
  const auto seen =
      Trace([] { return EVENT() == Event::kBuildDone ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:BuildKey", "EVENT:BuildDone"));
}

}  // namespace
}  // namespace pellucor::runtime
