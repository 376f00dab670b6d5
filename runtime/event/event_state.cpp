#include "runtime/event/event_state.h"

#include <algorithm>
#include <atomic>

#include "runtime/core/fatal.h"
#include "runtime/event/event_errors.h"

namespace pellucor::runtime::detail {

namespace {
thread_local ThreadNumber this_thread = 0;
std::atomic<WindowEngine*> engine_pointer{nullptr};
}  // namespace

std::mutex& Mutex() {
  static std::mutex m;
  return m;
}

State& S() {
  static State state;
  return state;
}

ThreadNumber ThisThread() {
  return this_thread;
}
void SetThisThread(ThreadNumber thread) {
  this_thread = thread;
}

WindowEngine& Engine() {
  return *engine_pointer.load();
}
void SetEngine(WindowEngine* engine) {
  engine_pointer.store(engine);
}

WindowState* FindWindow(WindowId id) {
  auto it = S().windows.find(id);
  return it == S().windows.end() ? nullptr : it->second.get();
}

WindowState* CurrentWindowOf(ThreadNumber thread) {
  auto it = S().threads.find(thread);
  if (it == S().threads.end() || it->second.windows.empty()) return nullptr;
  return FindWindow(it->second.windows.back());
}

void WakeThread(ThreadNumber thread) {
  if (thread != 0 && engine_pointer.load() != nullptr) Engine().Wake(thread);
}

void Enqueue(WindowState& w, const EventRecord& record) {
  if (record.event == Event::kTimer) w.timer_queued = true;
  w.queue.push_back(record);
  WakeThread(w.thread);
}

bool StartClosing(WindowState& w) {
  std::vector<WindowState*> children;
  for (auto& [id, other] : S().windows) {
    if (other->parent == w.id) children.push_back(other.get());
  }
  if (children.empty()) {
    w.closing = Closing::kClosing;
    w.waiting_for = 0;
    WakeThread(w.thread);
    return false;
  }
  for (WindowState* child : children) {
    if (child->closing != Closing::kOpen) continue;
    Enqueue(*child, EventRecord{Event::kCloseDown});
    w.closing = Closing::kWaitingForChildren;
    w.waiting_for = child->id;
    return false;
  }
  // Every child is already closing on its own: nothing to ask, and nothing to wait for here.
  w.closing = Closing::kOpen;
  w.waiting_for = 0;
  return true;
}

void ForgetWindow(WindowId id, bool& beep) {
  WindowState* w = FindWindow(id);
  if (w == nullptr) return;
  const WindowId parent = w->parent;
  auto& stack = S().threads[w->thread].windows;
  stack.erase(std::remove(stack.begin(), stack.end(), id), stack.end());
  for (auto& [other_id, other] : S().windows) {
    if (other->parent == id) other->parent = 0;
  }
  if (S().system_modal == id) {
    S().system_modal = 0;
    for (auto& [thread, t] : S().threads) WakeThread(thread);
  }
  S().windows.erase(id);
  if (WindowState* p = FindWindow(parent);
      p != nullptr && p->closing == Closing::kWaitingForChildren && p->waiting_for == id) {
    // The child accepted its close-down: the parent goes on closing.
    if (StartClosing(*p)) beep = true;
    WakeThread(p->thread);
  }
}

void CloseNow(WindowId id) {
  bool beep = false;
  {
    std::lock_guard lock(Mutex());
    if (FindWindow(id) == nullptr) return;
    ForgetWindow(id, beep);
  }
  Engine().CloseWindow(id);
  if (beep) Engine().Beep();
}

WindowId RequireCurrentWindow() {
  err::RegisterEventErrorTexts();
  WindowId id = 0;
  {
    std::lock_guard lock(Mutex());
    if (WindowState* w = CurrentWindowOf(ThisThread())) id = w->id;
  }
  if (id == 0) FatalError(err::kNotOpen);
  return id;
}

}  // namespace pellucor::runtime::detail
