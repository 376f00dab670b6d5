// A place for one thread to wait until another wakes it; a wake that comes first is kept, so the
// next Wait returns at once. What a window engine needs for WindowEngine::Wait and Wake on threads
// that have no toolkit event loop of their own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pellucor::runtime {

class ThreadWaiter {
 public:
  void Wait() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return woken_; });
    woken_ = false;
  }
  // False when the time ran out without a wake.
  bool WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_);
    const bool woken = cv_.wait_for(lock, limit, [&] { return woken_; });
    woken_ = false;
    return woken;
  }
  void Wake() {
    {
      std::lock_guard lock(m_);
      woken_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool woken_ = false;
};

}  // namespace pellucor::runtime
