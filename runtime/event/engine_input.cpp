// What the window engine reports: posted events, focus, activation, timer ticks, alert keys.
#include <algorithm>
#include <utility>

#include "runtime/event/engine.h"
#include "runtime/event/event_state.h"

namespace pellucor::runtime::EngineInput {

using detail::Mutex;
using detail::S;
using detail::WindowState;

void Post(WindowId window, const EventRecord& record) {
  std::lock_guard lock(Mutex());
  if (WindowState* w = detail::FindWindow(window)) detail::Enqueue(*w, record);
}

void NoteFocus(WindowId window, int32_t control) {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::FindWindow(window);
  if (w == nullptr) return;
  w->focus = control;
  detail::Enqueue(*w, EventRecord{Event::kSelected, control});
}

void NoteActivated(WindowId window) {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::FindWindow(window);
  if (w == nullptr || S().active_thread == w->thread) return;
  // Both threads look at the change in their next dequeue step.
  detail::WakeThread(S().active_seen);
  S().active_thread = w->thread;
  detail::WakeThread(w->thread);
}

void TimerTick(WindowId window) {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::FindWindow(window);
  if (w == nullptr || !w->has_timer || w->timer_queued) return;
  detail::Enqueue(*w, EventRecord{Event::kTimer});
}

bool IsAlertKey(WindowId window, int32_t keycode) {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::FindWindow(window);
  if (w == nullptr) return false;
  return std::any_of(w->alert_keys.begin(), w->alert_keys.end(), [&](const auto& range) {
    return keycode >= range.first && keycode <= range.second;
  });
}

std::vector<PressedKey> TakePressedKeys() {
  std::lock_guard lock(Mutex());
  return std::exchange(S().pressed, {});
}

ThreadNumber OwnerOf(WindowId window) {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::FindWindow(window);
  return w == nullptr ? 0 : w->thread;
}

}  // namespace pellucor::runtime::EngineInput
