// The event model as procedures see it: program threads and the run lock, the current event of
// the thread's window, posting events, the ACCEPT loop, and the keyboard.
//
// One process-wide run lock lets a single program thread run program code at a time. A thread
// takes it when it starts (thread 1 in BeginProgram) and gives it up only while it waits for
// events in ACCEPT (and in WaitForOtherThreads); while it waits for the lock it keeps serving its
// windows (WindowEngine::Wait). Every function here REQUIRES that the caller holds the run lock,
// except THREAD().
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "runtime/event/engine.h"
#include "runtime/event/event_codes.h"
#include "runtime/event/key_codes.h"

namespace pellucor::runtime {

// --- The program and its threads ---

// Makes the calling thread program thread 1, with `engine` as the window engine, and gives it the
// run lock. REQUIRES: no program is running; `engine` outlives EndProgram.
void BeginProgram(WindowEngine& engine);
// Closes what thread 1 still has open, waits for every other program thread to end, and forgets
// the program (thread numbers start from 1 again). REQUIRES: called on thread 1.
void EndProgram();

class ProgramScope {
 public:
  explicit ProgramScope(WindowEngine& engine) { BeginProgram(engine); }
  ~ProgramScope() { EndProgram(); }
  ProgramScope(const ProgramScope&) = delete;
  ProgramScope& operator=(const ProgramScope&) = delete;
};

inline constexpr uint32_t kMinimumThreadStack = 20000;

// Runs `procedure` on a new program thread and returns its number; the caller goes on at once.
// The thread takes the run lock before the procedure runs; when it returns, the thread's windows
// that are still open are closed. A non-zero stack request below kMinimumThreadStack is raised to
// it; the thread never gets less than the platform's usual stack, which is far larger.
ThreadNumber START(std::function<void()> procedure, uint32_t stack = 0);
// The calling thread's number; 0 for a thread that is not a program thread.
[[nodiscard]] ThreadNumber THREAD();
// The stack request of a running thread as START recorded it (after raising); 0 when unknown.
[[nodiscard]] uint32_t ThreadStackRequest(ThreadNumber thread);
// Gives up the run lock until every other program thread has ended, serving this thread's
// windows meanwhile.
void WaitForOtherThreads();

// --- The current event ---

// The current event of the calling thread's window; kNone without a window or before its first.
[[nodiscard]] Event EVENT();
// The control of the current event; 0 for window events.
[[nodiscard]] int32_t FIELD();
// The control that has focus in the current window.
[[nodiscard]] int32_t FocusControl();
// The control when the current event is "EVENT:Accepted", else 0.
[[nodiscard]] int32_t AcceptedControl();
// The control when the current event is "EVENT:Selected", else 0.
[[nodiscard]] int32_t SelectedControl();
[[nodiscard]] EventRecord CurrentEvent();

// Queues `event` for the current window of `thread` (0: the calling thread). Does nothing when
// that thread has no window open.
void PostEvent(Event event, int32_t control = 0, ThreadNumber thread = 0);

// --- The ACCEPT loop ---
//
//   AcceptLoop loop;
//   while (loop.Accept()) {
//     if (EVENT() == Event::kCloseWindow && !MaySave()) { loop.Continue(); continue; }
//     ...
//     if (done) break;
//   }
//
// Accept waits for the next event of the window that was current when the loop first asked, and
// returns false once that window has closed. After the body has handled an event, the runtime
// carries out its default action when the loop next asks: "EVENT:CloseWindow" and
// "EVENT:CloseDown" start the closing sequence, "EVENT:OpenFailed" ends the loop. Continue()
// (followed by `continue`) is the statement that returns to Accept at once and skips that action:
// after a close event it refuses the close. Leaving with `break` skips it too; the procedure then
// closes its window.
class AcceptLoop {
 public:
  AcceptLoop() = default;
  AcceptLoop(const AcceptLoop&) = delete;
  AcceptLoop& operator=(const AcceptLoop&) = delete;
  // Without an open window this is the fatal error 537.
  [[nodiscard]] bool Accept();
  void Continue() { continued_ = true; }

 private:
  WindowId window_ = 0;
  bool started_ = false;
  bool continued_ = false;
};

// Idle processing: `procedure` runs (as program code, under the run lock) each time an ACCEPT
// loop of the calling thread finds nothing to hand out, before the thread waits; events it posts
// are handed out at once. An empty function removes it.
void SetIdleProcedure(std::function<void()> procedure);

// The loop with its body as a function: kNext lets the default action happen, kContinue skips it,
// kLeave leaves the loop.
enum class LoopControl : uint8_t { kNext, kContinue, kLeave };
void ACCEPT(const std::function<LoopControl()>& body);

// --- The keyboard ---

// The key code of the key or mouse button behind the last event that had one (key_codes.h).
[[nodiscard]] int32_t KEYCODE();
void SETKEYCODE(int32_t keycode);
// Registers keys that post "EVENT:AlertKey" in the current window instead of reaching the control;
// ALERT() removes them all.
void ALERT(int32_t keycode);
void ALERT(int32_t first, int32_t last);
void ALERT();
// Puts keystrokes into the keyboard buffer, as if typed. When they do not all fit, nothing is
// put and it is the fatal error 534.
inline constexpr size_t kPressBufferSize = 256;
void PRESS(std::string_view text);
void PRESS(int32_t keycode);  // one key, by its key code

}  // namespace pellucor::runtime
