// The engine's state on the GUI thread and the hand-over between program threads and it.
//
// Hand-over. Widgets live on the GUI thread (program thread 1). A request from another program
// thread runs there through OnGui, which waits for it; the GUI thread serves such requests
// whenever it waits (Wait(1), and the nested loops of dialogs).
//
// Input. What the user does becomes a delivery for the window's owning thread: storing a typed
// value into a bound variable, then posting events. A delivery runs at once when the owner is not
// running program code (thread 1 whenever the GUI thread handles input; another thread while it
// is parked in Wait or in OnGui, which its gate tells); otherwise it waits, in order, for the
// owner's next Wait, which runs it on the owner's own thread. So a variable is never written while
// its program code runs, and a thread's events keep the order in which they happened.
#pragma once

#include <QPointer>
#include <QPrinter>
#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>

#include "runtime/event/engine.h"
#include "runtime/event/thread_waiter.h"

class QAbstractEventDispatcher;
class QTextBrowser;
class QWidget;

namespace pellucor::ui {

class EngineWindow;

class EngineCore {
 public:
  EngineCore();
  ~EngineCore();

  [[nodiscard]] bool OnGuiThread() const;
  // Runs `f` on the GUI thread and returns its result; the calling program thread waits.
  template <class F>
  auto OnGui(F&& f) -> decltype(f()) {
    using R = decltype(f());
    if (OnGuiThread()) return f();
    std::packaged_task<R()> task(std::forward<F>(f));
    auto result = task.get_future();
    RunOnGui([&task] { task(); });
    return result.get();
  }

  // --- Threads ---
  void ThreadStarted(runtime::ThreadNumber thread);
  void ThreadEnded(runtime::ThreadNumber thread);
  void Wait(runtime::ThreadNumber thread);
  void Wake(runtime::ThreadNumber thread);
  // Delivers input for `window` to its owning thread (see above). GUI thread only.
  void Deliver(runtime::WindowId window, std::function<void()> delivery);

  // --- Windows (GUI thread) ---
  [[nodiscard]] EngineWindow* Find(runtime::WindowId window) const;
  void Add(runtime::WindowId window, std::unique_ptr<EngineWindow> w);
  std::unique_ptr<EngineWindow> Remove(runtime::WindowId window);
  // The owner's windows, in the order they were opened.
  [[nodiscard]] std::vector<EngineWindow*> WindowsOf(runtime::ThreadNumber owner) const;

  // Dialogs the engine waits for are offered to the responder once they are shown.
  void SetResponder(std::function<void(QWidget*)> responder);
  void Offer(QWidget* dialog);
  void ShowHelp(const std::string& help_id);
  void PrinterSetup(QWidget* parent);
  // The printer the setup chose (made with the desktop's default on first use).
  [[nodiscard]] QPrinter& Printer();
  [[nodiscard]] QWidget* HelpWidget() const;

 private:
  struct Gate {
    std::mutex parked;  // held by the thread while it runs program code
    runtime::ThreadWaiter waiter;
    std::mutex pending_mutex;
    std::deque<std::function<void()>> pending;
  };
  void RunOnGui(std::function<void()> f);
  std::shared_ptr<Gate> GateOf(runtime::ThreadNumber thread);
  static void RunPending(Gate& gate);

  QAbstractEventDispatcher* dispatcher_ = nullptr;
  std::atomic<bool> gui_woken_{false};
  std::mutex gates_mutex_;
  std::map<runtime::ThreadNumber, std::shared_ptr<Gate>> gates_;
  std::map<runtime::WindowId, std::unique_ptr<EngineWindow>> windows_;
  std::function<void(QWidget*)> responder_;
  QPointer<QTextBrowser> help_;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace pellucor::ui
