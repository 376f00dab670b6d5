// The event model's shared state: every open window with its queue, and the thread table.
// Internal to the event area.
//
// Locking. `Mutex()` guards everything here. It is held only for short bookkeeping, never while
// calling the window engine (an engine may carry a call over to its GUI thread, whose own event
// handlers post through EngineInput and take this mutex). WindowEngine::Wake is the exception: it
// never blocks and never calls back. Program code never runs under it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "runtime/event/engine.h"

namespace pellucor::runtime::detail {

struct ControlEntry {
  int32_t number = 0;
  ControlKind kind = ControlKind::kNone;
  bool hidden = false;
  bool disabled = false;
  bool read_only = false;
};

enum class Closing : uint8_t { kOpen = 0, kWaitingForChildren = 1, kClosing = 2 };

struct WindowState {
  WindowId id = 0;
  ThreadNumber thread = 0;
  WindowId parent = 0;
  WindowType type = WindowType::kWindow;
  Modality modality = Modality::kThread;
  std::deque<EventRecord> queue;
  EventRecord current;           // what the event functions report
  bool default_pending = false;  // the current event has a default action still to carry out
  int32_t focus = 0;
  bool accept_all = false;  // an accept-all pass is in progress
  size_t accept_next = 0;   // the next entry of `controls` the pass visits
  Closing closing = Closing::kOpen;
  WindowId waiting_for = 0;  // the child that was asked to close down
  bool has_timer = false;
  bool timer_queued = false;  // an "EVENT:Timer" waits in the queue
  std::vector<ControlEntry> controls;
  std::vector<std::pair<int32_t, int32_t>> alert_keys;  // ranges, inclusive
};

struct ThreadState {
  std::vector<WindowId> windows;  // open windows, the current one last
  int32_t keycode = 0;
  uint32_t stack_request = 0;
  WindowId starter_window = 0;
  std::function<void()> idle;
};

struct State {
  WindowEngine* engine = nullptr;
  std::map<WindowId, std::unique_ptr<WindowState>> windows;
  std::map<ThreadNumber, ThreadState> threads;
  WindowId next_window = 1;
  ThreadNumber next_thread = 1;
  ThreadNumber active_thread = 0;   // whose window is the desktop's active one
  ThreadNumber active_seen = 0;     // the active thread as the dequeue step last saw it
  ThreadNumber last_delivered = 0;  // the thread that received the last event
  WindowId system_modal = 0;        // an open system-modal window, 0 for none
  std::vector<PressedKey> pressed;  // the keyboard buffer PRESS fills
};

std::mutex& Mutex();
// REQUIRES: Mutex() held.
State& S();
WindowState* FindWindow(WindowId id);
WindowState* CurrentWindowOf(ThreadNumber thread);
// Queues `record` for `w` (keeping the timer flag) and wakes its thread.
void Enqueue(WindowState& w, const EventRecord& record);
void WakeThread(ThreadNumber thread);
// Removes the window from the tables; the caller then tells the engine (outside the mutex).
// Continues the closing sequence of a parent that waited for it; sets `beep` when that parent
// found no child to ask.
void ForgetWindow(WindowId id, bool& beep);
// Starts (or continues) the closing sequence of `w`. Returns true when the engine must beep.
[[nodiscard]] bool StartClosing(WindowState& w);

// The calling thread's program thread number (0: not a program thread).
ThreadNumber ThisThread();
void SetThisThread(ThreadNumber thread);

// The engine, for calls made outside the mutex. REQUIRES: a program is running.
WindowEngine& Engine();
void SetEngine(WindowEngine* engine);

// The run lock.
void AcquireRunLock(ThreadNumber thread);
void ReleaseRunLock(ThreadNumber thread);
// Gives up the run lock, waits once for something new for `thread`, takes it back.
void WaitForMessage(ThreadNumber thread);

// The current window of the calling thread, or the fatal error 536.
WindowId RequireCurrentWindow();
// Closes `id` now: forgets it, then tells the engine.
void CloseNow(WindowId id);

}  // namespace pellucor::runtime::detail
