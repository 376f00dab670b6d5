// The window engine over Qt 6 Widgets. Create one after the QApplication, on the thread that
// runs it (thread 1 of the program), and hand it to BeginProgram:
//
//   QApplication app(argc, argv);
//   pellucor::ui::QtEngine engine;
//   pellucor::runtime::ProgramScope program(engine);
//
// Every widget lives on the GUI thread; requests from other program threads are carried over to
// it and waited for. User input becomes events for the window's owning thread; a value the user
// typed is stored into the bound variable only while that thread is not running program code.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/event/engine.h"

class QObject;
class QPrinter;
class QWidget;

namespace pellucor::ui {

class EngineCore;

class QtEngine : public runtime::WindowEngine {
 public:
  QtEngine();
  ~QtEngine() override;
  QtEngine(const QtEngine&) = delete;
  QtEngine& operator=(const QtEngine&) = delete;

  // Called on the GUI thread with every dialog the engine shows and waits for (message boxes,
  // popup menus, the printer dialog) once it is on the screen; the responder answers it as a
  // user would (clicks a button, triggers a menu action, closes it). Without a responder the
  // dialog waits for the user. Tests use it; nothing answers by sleeping.
  void SetResponder(std::function<void(QWidget* dialog)> responder);
  // The top-level widget of an open window, or null; for tests, the gallery and screenshots.
  [[nodiscard]] QWidget* WidgetOf(runtime::WindowId window) const;
  // The widget that shows `control` of `window` (for a list, its rows), or null.
  [[nodiscard]] QWidget* ControlWidget(runtime::WindowId window, int32_t control) const;
  // The help window, once a help page has been shown; else null.
  [[nodiscard]] QWidget* HelpWidget() const;
  // The desktop session asks whether it may end (log out, shut down) while the program runs. The
  // answer is no, so that no open form loses what the user typed: when the session lets the
  // program speak (`may_ask`), a system-modal box says to quit the program first. Returns whether
  // the session may end (never). The engine answers the session manager's quit request with it.
  bool AnswerSessionEnd(bool may_ask);

  // For the report engine, which shares the GUI thread, the printer and the responder:
  // runs `f` on the GUI thread and waits for it (directly when already there);
  void RunOnGui(const std::function<void()>& f);
  // the printer the user chose with the printer setup (the desktop's default until then; GUI
  // thread only);
  [[nodiscard]] QPrinter& Printer();
  // offers a dialog the report engine shows and waits for to the responder (GUI thread only).
  void OfferDialog(QWidget* dialog);

  // --- WindowEngine ---
  void ThreadStarted(runtime::ThreadNumber thread) override;
  void ThreadEnded(runtime::ThreadNumber thread) override;
  void Wait(runtime::ThreadNumber thread) override;
  void Wake(runtime::ThreadNumber thread) override;
  bool OpenWindow(runtime::WindowId window, runtime::ThreadNumber owner, runtime::WindowId parent,
                  const runtime::WindowDescription& description) override;
  void CloseWindow(runtime::WindowId window) override;
  bool CreateControl(runtime::WindowId window, const runtime::ControlDescription& control) override;
  void DestroyControl(runtime::WindowId window, int32_t control) override;
  void SetProperty(runtime::WindowId window, int32_t control, runtime::Prop prop, int32_t index,
                   std::string_view value) override;
  std::string GetProperty(runtime::WindowId window, int32_t control, runtime::Prop prop,
                          int32_t index) override;
  void Display(runtime::WindowId window, int32_t control) override;
  void Update(runtime::WindowId window, int32_t control) override;
  void Select(runtime::WindowId window, int32_t control) override;
  bool CanAccept(runtime::WindowId window, int32_t control) override;
  void SetTimer(runtime::WindowId window, int32_t hundredths) override;
  void SetListRows(runtime::WindowId window, int32_t control,
                   const runtime::ListRows* rows) override;
  int32_t Message(const runtime::MessageRequest& request) override;
  int32_t Popup(runtime::WindowId window, const runtime::PopupMenu& menu,
                std::optional<runtime::ScreenPoint> at) override;
  void Beep() override;
  void SetCursor(runtime::CursorKind cursor) override;
  void Help(runtime::WindowId window, std::string_view help_id) override;
  void KeysPressed() override;

 private:
  std::unique_ptr<EngineCore> core_;
  std::unique_ptr<QObject> session_context_;  // ends the session connection with the engine
};

}  // namespace pellucor::ui
