// Shared by the event tests: a reaper that fails a test instead of letting it hang, a program
// running over the scripted engine, and a small form to open.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/scripted_engine.h"
#include "runtime/event/window.h"

namespace pellucor::runtime::testing {

// Ends the whole test binary with a failure when the test is still running after `limit`: a
// deadlock must fail the run, not stall it.
class Reaper {
 public:
  explicit Reaper(std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    name_ = info ? std::string(info->test_suite_name()) + "." + info->name() : "?";
    thread_ = std::thread([this, limit] {
      std::unique_lock lock(m_);
      if (!cv_.wait_for(lock, limit, [&] { return done_; })) {
        std::fprintf(stderr, "reaper: %s still running after %lld s: deadlock\n", name_.c_str(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(3);
      }
    });
  }
  ~Reaper() {
    {
      std::lock_guard lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::string name_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// "EVENT:Accepted 6": the trace name and, for field events, the control.
inline std::string TraceName(const EventRecord& e) {
  std::string name(EventName(e.event));
  if (name.empty()) name = "EVENT:" + std::to_string(static_cast<int>(e.event));
  if (e.control != 0) name += " " + std::to_string(e.control);
  return name;
}

// A program over the scripted engine whose fatal errors throw HaltException.
class EventTest : public ::testing::Test {
 protected:
  EventTest() : previous_hook_(SetHaltHook(HaltHookThrows())), program_(engine_) {}
  ~EventTest() override { SetHaltHook(previous_hook_); }

  // Runs `body` on an ACCEPT loop of the current window and returns the trace names of the events
  // it received.
  std::vector<std::string> Trace(const std::function<LoopControl()>& body = {}) {
    std::vector<std::string> seen;
    ACCEPT([&] {
      seen.push_back(TraceName(CurrentEvent()));
      return body ? body() : LoopControl::kNext;
    });
    return seen;
  }

  // After each of the steps, the thread's queue is looked at again.
  void Steps(std::initializer_list<std::function<void()>> steps) {
    for (const auto& s : steps) engine_.AddStep(1, s);
  }

  Reaper reaper_;
  ScriptedEngine engine_;
  HaltHook previous_hook_;
  ProgramScope program_;
};

// A form: a prompt, two entries (the second hidden), a check box, a read-only entry, a button and
// a text box.
inline WindowDescription Form(std::string name = "FORM") {
  WindowDescription d;
  d.name = std::move(name);
  d.title = "Form";
  auto add = [&](int32_t number, ControlKind kind, std::string text = {}) {
    ControlDescription c;
    c.number = number;
    c.kind = kind;
    c.text = std::move(text);
    d.controls.push_back(c);
    return &d.controls.back();
  };
  add(1, ControlKind::kPrompt, "&Topic:");
  add(2, ControlKind::kEntry);
  add(3, ControlKind::kEntry)->flags.hidden = true;
  add(4, ControlKind::kCheck, "Done");
  add(5, ControlKind::kEntry)->flags.read_only = true;
  add(6, ControlKind::kButton, "OK");
  add(7, ControlKind::kText);
  return d;
}

}  // namespace pellucor::runtime::testing
