// Program threads: the run lock, events between threads, focus and suspend/resume.
#include <atomic>
#include <chrono>
#include <thread>

#include "event_test_util.h"

namespace pellucor::runtime {
namespace {

using ::testing::ElementsAre;
using testing::EventTest;
using testing::Form;
using testing::TraceName;

using ThreadsTest = EventTest;

TEST_F(ThreadsTest, StartNumbersThreadsAndRaisesSmallStackRequests) {
  EXPECT_EQ(THREAD(), 1);
  std::vector<ThreadNumber> ran;
  const ThreadNumber a = START([&] { ran.push_back(THREAD()); }, 100);
  const ThreadNumber b = START([&] { ran.push_back(THREAD()); }, 25000);
  const ThreadNumber c = START([&] { ran.push_back(THREAD()); });
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(c, 4);
  // The new threads wait for the run lock, which this thread still holds.
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(ThreadStackRequest(a), kMinimumThreadStack);
  EXPECT_EQ(ThreadStackRequest(b), 25000u);
  EXPECT_EQ(ThreadStackRequest(c), 0u);
  WaitForOtherThreads();
  std::sort(ran.begin(), ran.end());
  EXPECT_THAT(ran, ElementsAre(2, 3, 4));
  EXPECT_EQ(ThreadStackRequest(a), 0u);  // gone
}

TEST_F(ThreadsTest, AThreadThatEndsClosesTheWindowsItLeftOpen) {
  // The window variable outlives the thread, so only the thread's end can close the window.
  Window left(Form("LEFT"));
  START([&] { left.Open(); });
  WaitForOtherThreads();
  ASSERT_NE(left.id(), 0);
  EXPECT_FALSE(left.IsOpen());
  EXPECT_FALSE(engine_.IsOpen(left.id()));
}

// Two threads, each with a window and an ACCEPT loop, hand an event back and forth. Only one of
// them runs program code at any moment (the run lock); neither waits for the other outside its
// loop, so nothing deadlocks; and the suspend/resume events that the changes of thread bring
// stay bounded.
TEST_F(ThreadsTest, TwoThreadsPingPongUnderTheRunLock) {
  constexpr int kRounds = 200;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  auto program_code = [&] {
    if (inside.fetch_add(1) != 0) overlap = true;
    std::this_thread::yield();
    inside.fetch_sub(1);
  };
  int pings = 0;
  int pongs = 0;
  int suspends = 0;
  int resumes = 0;

  Window main_window(Form("MAIN"));
  main_window.Open();
  const ThreadNumber other = START(
      [&] {
        Window w(Form("OTHER"));
        w.Open(StarterWindow());
        ACCEPT([&] {
          program_code();
          if (EVENT() == Event::kSuspend) ++suspends;
          if (EVENT() == Event::kResume) ++resumes;
          if (EVENT() == Event::kOpenWindow || EVENT() == Event::kNotify) {
            if (EVENT() == Event::kNotify) ++pongs;
            PostEvent(Event::kNotify, 0, 1);
          }
          return LoopControl::kNext;
        });
      },
      25000);
  ACCEPT([&] {
    program_code();
    if (EVENT() == Event::kSuspend) ++suspends;
    if (EVENT() == Event::kResume) ++resumes;
    if (EVENT() == Event::kNotify) {
      if (++pings < kRounds) {
        PostEvent(Event::kNotify, 0, other);
      } else {
        PostEvent(Event::kCloseWindow, 0, other);
        return LoopControl::kLeave;
      }
    }
    return LoopControl::kNext;
  });
  WaitForOtherThreads();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(pings, kRounds);
  EXPECT_EQ(pongs, kRounds - 1);
  // At most one suspend and one resume per hand-over; they never answer each other.
  EXPECT_GT(suspends, 0);
  EXPECT_LE(suspends, 2 * kRounds + 2);
  EXPECT_LE(resumes, 2 * kRounds + 2);
}

TEST_F(ThreadsTest, AThreadWaitingForTheRunLockStillServesItsWindows) {
  // Thread 2 keeps the run lock for a while without entering ACCEPT; meanwhile events for thread
  // 1's window keep arriving (the engine delivers them) and are all there when it gets its turn.
  Window w(Form("MAIN"));
  w.Open();
  START([&] {
    for (int i = 0; i < 50; ++i) EngineInput::Post(w.id(), EventRecord{Event::kAccepted, 6});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostEvent(Event::kNotify, 0, 1);
  });
  int accepted = 0;
  ACCEPT([&] {
    if (AcceptedControl() == 6) ++accepted;
    return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext;
  });
  EXPECT_EQ(accepted, 50);
  WaitForOtherThreads();
}

TEST_F(ThreadsTest, PostingToAThreadWithoutAWindowDoesNothing) {
  const ThreadNumber other = START([] {});
  PostEvent(Event::kNotify, 0, other);  // thread 2 has no window
  PostEvent(Event::kNotify, 0, 99);     // no such thread
  WaitForOtherThreads();
  Window w(Form());
  w.Open();
  PostEvent(Event::kNotify);
  const auto seen =
      Trace([] { return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext; });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Notify"));
}

// When the desktop activates another thread's window, the window that was active loses the
// focus and the new one gains it. Events handed out on a thread other than the last one's bring
// a suspend to the thread that had them and a resume to this one.
TEST_F(ThreadsTest, ActivationBringsFocusAndSuspendResumeEvents) {
  Window main_window(Form("MAIN"));
  main_window.Open();
  std::vector<std::string> other_seen;
  WindowId other_id = 0;
  const ThreadNumber other = START([&] {
    Window w(Form("OTHER"));
    w.Open();
    other_id = w.id();
    PostEvent(Event::kNotify, 0, 1);
    ACCEPT([&] {
      other_seen.push_back(TraceName(CurrentEvent()));
      return EVENT() == Event::kCloseWindow ? LoopControl::kLeave : LoopControl::kNext;
    });
  });
  std::vector<std::string> main_seen;
  ACCEPT([&] {
    main_seen.push_back(TraceName(CurrentEvent()));
    if (EVENT() == Event::kNotify) EngineInput::NoteActivated(main_window.id());
    if (EVENT() == Event::kGainFocus) EngineInput::NoteActivated(other_id);
    if (EVENT() == Event::kLoseFocus) {
      PostEvent(Event::kCloseWindow, 0, other);
      return LoopControl::kLeave;
    }
    return LoopControl::kNext;
  });
  WaitForOtherThreads();
  // Only one thread ever has something to hand out here, so the order is fixed: thread 2's first
  // event suspends thread 1 (queued behind the notice thread 2 had already posted) and resumes
  // thread 2; thread 1's notice then suspends thread 2 and resumes thread 1. The suspend and
  // resume events themselves change nothing. The last resume of thread 2 is queued behind its
  // close and never handed out.
  EXPECT_THAT(main_seen, ElementsAre("EVENT:OpenWindow", "EVENT:Notify", "EVENT:Suspend",
                                     "EVENT:Resume", "EVENT:GainFocus", "EVENT:LoseFocus"));
  EXPECT_THAT(other_seen, ElementsAre("EVENT:OpenWindow", "EVENT:Resume", "EVENT:Suspend",
                                      "EVENT:GainFocus", "EVENT:CloseWindow"));
}

}  // namespace
}  // namespace pellucor::runtime
