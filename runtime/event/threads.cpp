// Program threads and the run lock.
#include <pthread.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/event_errors.h"
#include "runtime/event/event_state.h"

namespace pellucor::runtime {

using detail::Engine;
using detail::Mutex;
using detail::S;

namespace {

struct RunLock {
  std::mutex m;
  ThreadNumber owner = 0;
  std::set<ThreadNumber> waiting;
};
RunLock& TheRunLock() {
  static RunLock lock;
  return lock;
}

// The OS threads START made, joined when the program ends.
std::vector<pthread_t>& Started() {
  static std::vector<pthread_t> threads;
  return threads;
}

struct ThreadStart {
  ThreadNumber number = 0;
  std::function<void()> procedure;
};

// Closes what the thread left open (the latest first), then leaves the thread table. The thread
// gives up the run lock before it leaves the table, so that once EndProgram sees no other thread
// nothing of them touches the runtime any more.
void EndThread(ThreadNumber number) {
  for (;;) {
    WindowId id = 0;
    {
      std::lock_guard lock(Mutex());
      if (detail::WindowState* w = detail::CurrentWindowOf(number)) id = w->id;
    }
    if (id == 0) break;
    detail::CloseNow(id);
  }
  Engine().ThreadEnded(number);
  detail::ReleaseRunLock(number);
  std::lock_guard lock(Mutex());
  S().threads.erase(number);
  for (auto& [thread, t] : S().threads) detail::WakeThread(thread);
}

void* ThreadMain(void* arg) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(arg));
  detail::SetThisThread(start->number);
  Engine().ThreadStarted(start->number);
  detail::AcquireRunLock(start->number);
  try {
    start->procedure();
  } catch (const HaltException&) {
    // A test's halt hook stopped the procedure; the hook has seen the error.
  }
  EndThread(start->number);
  detail::SetThisThread(0);
  return nullptr;
}

size_t DefaultStackSize() {
  pthread_attr_t attr;
  size_t size = 0;
  pthread_attr_init(&attr);
  pthread_attr_getstacksize(&attr, &size);
  pthread_attr_destroy(&attr);
  return size;
}

}  // namespace

namespace detail {

void AcquireRunLock(ThreadNumber thread) {
  RunLock& rl = TheRunLock();
  std::unique_lock lock(rl.m);
  while (rl.owner != 0 && rl.owner != thread) {
    rl.waiting.insert(thread);
    lock.unlock();
    Engine().Wait(thread);  // serves this thread's windows while the lock is taken
    lock.lock();
  }
  rl.waiting.erase(thread);
  rl.owner = thread;
}

void ReleaseRunLock(ThreadNumber thread) {
  RunLock& rl = TheRunLock();
  std::lock_guard lock(rl.m);
  if (rl.owner != thread) return;
  rl.owner = 0;
  for (ThreadNumber waiter : rl.waiting) Engine().Wake(waiter);
}

void WaitForMessage(ThreadNumber thread) {
  ReleaseRunLock(thread);
  Engine().Wait(thread);
  AcquireRunLock(thread);
}

}  // namespace detail

void BeginProgram(WindowEngine& engine) {
  err::RegisterEventErrorTexts();
  {
    std::lock_guard lock(Mutex());
    S() = detail::State{};
    S().engine = &engine;
    S().threads[1] = detail::ThreadState{};
    S().next_thread = 2;
  }
  detail::SetEngine(&engine);
  detail::SetThisThread(1);
  engine.ThreadStarted(1);
  detail::AcquireRunLock(1);
}

void EndProgram() {
  for (;;) {
    WindowId id = 0;
    {
      std::lock_guard lock(Mutex());
      if (detail::WindowState* w = detail::CurrentWindowOf(1)) id = w->id;
    }
    if (id == 0) break;
    detail::CloseNow(id);
  }
  WaitForOtherThreads();
  for (pthread_t t : Started()) pthread_join(t, nullptr);
  Started().clear();
  Engine().ThreadEnded(1);
  detail::ReleaseRunLock(1);
  {
    std::lock_guard lock(Mutex());
    S() = detail::State{};
  }
  detail::SetThisThread(0);
  detail::SetEngine(nullptr);
}

ThreadNumber START(std::function<void()> procedure, uint32_t stack) {
  const uint32_t request = stack == 0 ? 0 : std::max(stack, kMinimumThreadStack);
  auto start = std::make_unique<ThreadStart>();
  {
    std::lock_guard lock(Mutex());
    start->number = S().next_thread++;
    detail::ThreadState& t = S().threads[start->number];
    t.stack_request = request;
    if (detail::WindowState* w = detail::CurrentWindowOf(detail::ThisThread())) {
      t.starter_window = w->id;
    }
  }
  const ThreadNumber number = start->number;
  start->procedure = std::move(procedure);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, std::max<size_t>(request, DefaultStackSize()));
  pthread_t handle;
  const int rc = pthread_create(&handle, &attr, &ThreadMain, start.get());
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    {
      std::lock_guard lock(Mutex());
      S().threads.erase(number);
    }
    FatalError(err::kInsufficientMemory, "a program thread could not be started");
  }
  start.release();  // ThreadMain owns it now
  Started().push_back(handle);
  return number;
}

ThreadNumber THREAD() {
  return detail::ThisThread();
}

uint32_t ThreadStackRequest(ThreadNumber thread) {
  std::lock_guard lock(Mutex());
  auto it = S().threads.find(thread);
  return it == S().threads.end() ? 0 : it->second.stack_request;
}

void WaitForOtherThreads() {
  const ThreadNumber self = detail::ThisThread();
  for (;;) {
    {
      std::lock_guard lock(Mutex());
      if (std::all_of(S().threads.begin(), S().threads.end(),
                      [&](const auto& t) { return t.first == self; })) {
        return;
      }
    }
    detail::WaitForMessage(self);
  }
}

}  // namespace pellucor::runtime
