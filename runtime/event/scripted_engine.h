// A window engine without a screen, for tests of the runtime and the framework: windows are
// records, controls hold a screen text, input comes from scripted steps, and every request is
// written to a log ("open P1$WINDOW 1", "select 1 4", "beep") that a test compares.
//
// Input. Steps given for a thread run one at a time, on that thread, each time it waits (in ACCEPT
// with nothing to hand out, or for the run lock) and has a step left; with none left it waits for
// a wake like any thread. A step reports user input through EngineInput (or the helpers below,
// which do so): it must not run program statements.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "runtime/event/engine.h"
#include "runtime/event/thread_waiter.h"

namespace pellucor::runtime {

class ScriptedEngine : public WindowEngine {
 public:
  // --- What tests give it ---
  void AddStep(ThreadNumber thread, std::function<void()> step);
  void SetMessageResponder(std::function<int32_t(const MessageRequest&)> responder);
  void SetPopupResponder(std::function<int32_t(const PopupMenu&)> responder);
  // OpenWindow of a description with this name fails.
  void FailOpening(std::string name);
  // CanAccept answers false for this control (and posts "EVENT:Rejected" for it).
  void RefuseAccept(WindowId window, int32_t control);
  // The user typed `text` into the control (its screen text; UPDATE stores it).
  void Type(WindowId window, int32_t control, std::string_view text);
  // The user clicked a button or chose an item: "EVENT:Accepted" for it.
  static void Click(WindowId window, int32_t control);

  // --- What tests read ---
  [[nodiscard]] std::vector<std::string> Log() const;
  void ClearLog();
  [[nodiscard]] std::string ScreenText(WindowId window, int32_t control) const;
  // The latest window opened from a description with this name (0: none), and whether it is open.
  [[nodiscard]] WindowId WindowNamed(std::string_view name) const;
  [[nodiscard]] bool IsOpen(WindowId window) const;
  [[nodiscard]] int32_t TimerOf(WindowId window) const;
  [[nodiscard]] int32_t Beeps() const;

  // --- WindowEngine ---
  void ThreadStarted(ThreadNumber thread) override;
  void ThreadEnded(ThreadNumber thread) override;
  void Wait(ThreadNumber thread) override;
  void Wake(ThreadNumber thread) override;
  bool OpenWindow(WindowId window, ThreadNumber owner, WindowId parent,
                  const WindowDescription& description) override;
  void CloseWindow(WindowId window) override;
  bool CreateControl(WindowId window, const ControlDescription& control) override;
  void DestroyControl(WindowId window, int32_t control) override;
  void SetProperty(WindowId window, int32_t control, Prop prop, int32_t index,
                   std::string_view value) override;
  std::string GetProperty(WindowId window, int32_t control, Prop prop, int32_t index) override;
  void Display(WindowId window, int32_t control) override;
  void Update(WindowId window, int32_t control) override;
  void Select(WindowId window, int32_t control) override;
  bool CanAccept(WindowId window, int32_t control) override;
  void SetTimer(WindowId window, int32_t hundredths) override;
  void SetListRows(WindowId window, int32_t control, const ListRows* rows) override;
  int32_t Message(const MessageRequest& request) override;
  int32_t Popup(WindowId window, const PopupMenu& menu, std::optional<ScreenPoint> at) override;
  void Beep() override;
  void SetCursor(CursorKind cursor) override;
  void Help(WindowId window, std::string_view help_id) override;
  void KeysPressed() override;

 private:
  struct ScriptWindow {
    WindowDescription description;
    ThreadNumber owner = 0;
    WindowId parent = 0;
    bool open = true;
    int32_t timer = 0;
    std::map<int32_t, std::string> screen;  // control -> what it shows
    std::map<std::tuple<int32_t, Prop, int32_t>, std::string> props;
    std::set<int32_t> refused;
  };
  void Write(std::string line);
  ThreadWaiter& WaiterOf(ThreadNumber thread);
  ScriptWindow* Find(WindowId window);
  const ScriptWindow* Find(WindowId window) const;

  // Guards the waiters only: Wake may be called under the runtime's locks.
  mutable std::mutex waiters_mutex_;
  std::map<ThreadNumber, std::unique_ptr<ThreadWaiter>> waiters_;
  // Guards the rest. Never held while calling EngineInput or a responder.
  mutable std::mutex mutex_;
  std::map<ThreadNumber, std::deque<std::function<void()>>> steps_;
  std::map<WindowId, ScriptWindow> windows_;
  std::vector<std::string> log_;
  std::set<std::string> fail_opening_;
  std::function<int32_t(const MessageRequest&)> message_responder_;
  std::function<int32_t(const PopupMenu&)> popup_responder_;
  int32_t beeps_ = 0;
};

}  // namespace pellucor::runtime
