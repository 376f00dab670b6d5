// The ACCEPT loop: the dequeue step and the default actions that follow an event.
#include <algorithm>
#include <utility>

#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/event_errors.h"
#include "runtime/event/event_state.h"

namespace pellucor::runtime {

using detail::Closing;
using detail::Mutex;
using detail::S;
using detail::WindowState;

namespace {

bool IsBuildEvent(Event e) {
  return e == Event::kBuildFile || e == Event::kBuildKey || e == Event::kBuildDone;
}

bool HasDefaultAction(Event e) {
  return e == Event::kCloseWindow || e == Event::kCloseDown || e == Event::kOpenFailed;
}

bool TakesPartInPass(const detail::ControlEntry& c) {
  return KindTakesInput(c.kind) && !c.hidden && !c.disabled && !c.read_only;
}

// Step 1: when the active thread changed since the last look, the window of the thread that was
// active loses the focus and the window of the one that is active now gains it.
void NoteActiveThread() {
  detail::State& s = S();
  if (s.active_thread == s.active_seen) return;
  if (WindowState* was = detail::CurrentWindowOf(s.active_seen)) {
    detail::Enqueue(*was, EventRecord{Event::kLoseFocus});
  }
  if (WindowState* now = detail::CurrentWindowOf(s.active_thread)) {
    detail::Enqueue(*now, EventRecord{Event::kGainFocus});
  }
  s.active_seen = s.active_thread;
}

enum class Step : uint8_t { kReady, kNothing, kClosed };

// The dequeue step for window `id` of the calling thread. REQUIRES: `lock` holds Mutex(); it is
// let go only around the engine's answer for a control of the accept-all pass.
Step Dequeue(WindowId id, std::unique_lock<std::mutex>& lock, EventRecord& out) {
  const ThreadNumber self = detail::ThisThread();
  NoteActiveThread();
  for (;;) {
    WindowState* w = detail::FindWindow(id);
    if (w == nullptr) return Step::kClosed;
    // While another thread's system-modal window is open this loop holds its events.
    if (S().system_modal != 0 && S().system_modal != id) {
      if (WindowState* m = detail::FindWindow(S().system_modal);
          m != nullptr && m->thread != self) {
        return Step::kNothing;
      }
    }
    EventRecord e;
    if (!w->queue.empty()) {
      e = w->queue.front();
      w->queue.pop_front();
      if (e.event == Event::kTimer) w->timer_queued = false;
    } else if (w->accept_all) {
      auto& controls = w->controls;
      size_t i = w->accept_next;
      while (i < controls.size() && !TakesPartInPass(controls[i])) ++i;
      if (i >= controls.size()) {
        w->accept_all = false;
        detail::Enqueue(*w, EventRecord{Event::kCompleted});
        continue;
      }
      const int32_t control = controls[i].number;
      lock.unlock();
      const bool accepted = detail::Engine().CanAccept(id, control);
      lock.lock();
      w = detail::FindWindow(id);
      if (w == nullptr) return Step::kClosed;
      if (!w->accept_all || w->accept_next > i) continue;  // the pass ended or moved meanwhile
      if (!accepted) {
        w->accept_all = false;  // the pass ends at a control that cannot be accepted
        continue;
      }
      w->accept_next = i + 1;
      e = EventRecord{Event::kAccepted, control};
    } else {
      return Step::kNothing;
    }
    // Step 3: a selection that focus has already left is stale.
    if (e.event == Event::kSelected && e.control != w->focus) continue;
    // Step 4: timer events only while the window has a timer.
    if (e.event == Event::kTimer && !w->has_timer) continue;
    // Step 6: build events go to the procedure at once.
    if (!IsBuildEvent(e.event) && e.event != Event::kSuspend && e.event != Event::kResume) {
      // Step 5. The suspend and resume events themselves do not count as a change of thread:
      // otherwise each would answer the other forever between two threads.
      if (S().last_delivered != 0 && S().last_delivered != self) {
        if (WindowState* prev = detail::CurrentWindowOf(S().last_delivered)) {
          detail::Enqueue(*prev, EventRecord{Event::kSuspend});
        }
        detail::Enqueue(*w, EventRecord{Event::kResume});
      }
      S().last_delivered = self;
    }
    w->current = e;
    w->default_pending = HasDefaultAction(e.event);
    if (e.keycode != 0) S().threads[self].keycode = e.keycode;
    out = e;
    return Step::kReady;
  }
}

}  // namespace

bool AcceptLoop::Accept() {
  err::RegisterEventErrorTexts();
  const ThreadNumber self = detail::ThisThread();
  bool beep = false;
  bool close_now = false;
  {
    std::lock_guard lock(Mutex());
    if (!started_) {
      if (WindowState* w = detail::CurrentWindowOf(self)) {
        window_ = w->id;
        started_ = true;
      }
    } else if (WindowState* w = detail::FindWindow(window_); w != nullptr && w->default_pending) {
      w->default_pending = false;
      const Event e = w->current.event;
      if (e == Event::kOpenFailed) {
        close_now = true;  // cannot be refused: there is no window to keep
      } else if (!continued_) {
        if (w->closing == Closing::kOpen) beep = detail::StartClosing(*w);
      } else if (e == Event::kCloseDown) {
        // Refused: a parent that waited for this window stays open.
        if (WindowState* p = detail::FindWindow(w->parent);
            p != nullptr && p->closing == Closing::kWaitingForChildren && p->waiting_for == w->id) {
          p->closing = Closing::kOpen;
          p->waiting_for = 0;
          detail::WakeThread(p->thread);
        }
      }
    }
  }
  if (!started_) FatalError(err::kAcceptNoWindow);
  continued_ = false;
  if (beep) detail::Engine().Beep();
  if (close_now) {
    detail::CloseNow(window_);
    return false;
  }
  bool idled = false;
  for (;;) {
    EventRecord e;
    Step step;
    {
      std::unique_lock lock(Mutex());
      WindowState* w = detail::FindWindow(window_);
      if (w == nullptr) return false;
      if (w->closing == Closing::kClosing) {
        lock.unlock();
        detail::CloseNow(window_);
        return false;
      }
      step = Dequeue(window_, lock, e);
    }
    if (step == Step::kReady) return true;
    if (step == Step::kClosed) return false;
    if (!idled) {
      // Idle processing gets one turn before each wait.
      idled = true;
      std::function<void()> idle;
      {
        std::lock_guard lock(Mutex());
        idle = S().threads[self].idle;
      }
      if (idle) {
        idle();
        continue;
      }
    }
    idled = false;
    detail::WaitForMessage(self);
  }
}

void SetIdleProcedure(std::function<void()> procedure) {
  std::lock_guard lock(Mutex());
  auto it = S().threads.find(detail::ThisThread());
  if (it != S().threads.end()) it->second.idle = std::move(procedure);
}

void ACCEPT(const std::function<LoopControl()>& body) {
  AcceptLoop loop;
  while (loop.Accept()) {
    switch (body()) {
      case LoopControl::kNext:
        break;
      case LoopControl::kContinue:
        loop.Continue();
        break;
      case LoopControl::kLeave:
        return;
    }
  }
}

namespace {
EventRecord Current() {
  std::lock_guard lock(Mutex());
  if (WindowState* w = detail::CurrentWindowOf(detail::ThisThread())) return w->current;
  return {};
}
}  // namespace

EventRecord CurrentEvent() {
  return Current();
}
Event EVENT() {
  return Current().event;
}
int32_t FIELD() {
  return Current().control;
}

int32_t FocusControl() {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::CurrentWindowOf(detail::ThisThread());
  return w == nullptr ? 0 : w->focus;
}

int32_t AcceptedControl() {
  const EventRecord e = Current();
  return e.event == Event::kAccepted ? e.control : 0;
}

int32_t SelectedControl() {
  const EventRecord e = Current();
  return e.event == Event::kSelected ? e.control : 0;
}

void PostEvent(Event event, int32_t control, ThreadNumber thread) {
  std::lock_guard lock(Mutex());
  if (thread == 0) thread = detail::ThisThread();
  if (WindowState* w = detail::CurrentWindowOf(thread)) {
    detail::Enqueue(*w, EventRecord{event, control});
  }
}

}  // namespace pellucor::runtime
