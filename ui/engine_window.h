// A window built from its description: a top-level QMainWindow whose central widget is the
// client area, with the menu bar, tool bar and status bar the description asks for.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "runtime/event/engine.h"
#include "ui/dialog_units.h"

class QLabel;
class QMenuBar;
class QToolBar;

namespace pellucor::ui {

class Control;
class EngineCore;

class EngineWindow : public QMainWindow {
 public:
  EngineWindow(EngineCore& core, runtime::WindowId id, runtime::ThreadNumber owner,
               runtime::WindowId parent, const runtime::WindowDescription& description);
  ~EngineWindow() override;

  [[nodiscard]] runtime::WindowId id() const { return id_; }
  [[nodiscard]] runtime::ThreadNumber owner() const { return owner_; }
  [[nodiscard]] runtime::WindowId parent_window() const { return parent_; }
  [[nodiscard]] EngineCore& core() const { return core_; }
  [[nodiscard]] const DialogUnits& units() const { return units_; }
  [[nodiscard]] const runtime::WindowDescription& description() const { return d_; }

  // Builds the controls and shows the window. False when a control could not be made.
  [[nodiscard]] bool Build();
  [[nodiscard]] bool AddControl(const runtime::ControlDescription& c);
  void RemoveControl(int32_t number);
  [[nodiscard]] Control* Find(int32_t number) const;
  [[nodiscard]] const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Where a control with this parent goes, and its rectangle there.
  [[nodiscard]] QWidget* AreaFor(int32_t parent) const;
  [[nodiscard]] QWidget* client() const { return client_; }
  [[nodiscard]] QMenuBar* Menus();
  [[nodiscard]] QToolBar* Tools();
  // Places `w` at `at` (dialog units of the client area) inside `area`.
  void Place(QWidget* w, QWidget* area, const std::optional<runtime::DialogRect>& at,
             QSize fallback);

  void SetStatus(int zone, const QString& text);
  [[nodiscard]] QString Status(int zone) const;
  void ShowNotice(const QString& text);  // a passing note in the status bar (or a tip)
  void SetTimer(int hundredths);
  void Disable(bool disabled);  // thread-modal: disabled while a later window of its thread is up
  void CloseFromEngine();       // the runtime closes it: no question asked
  void Act(runtime::StandardAction action);
  // Presses the focused button or the default one; false when there is none to press.
  bool PressDefaultButton();

  bool SetWindowProperty(runtime::Prop prop, int32_t index, std::string_view value);
  [[nodiscard]] std::string GetWindowProperty(runtime::Prop prop, int32_t index) const;

  // Input.
  void Deliver(std::function<void()> delivery) const;
  void Post(const runtime::EventRecord& record) const;
  void NoteFocus(int32_t control) const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void BuildStatusBar();
  [[nodiscard]] QSize ContentSize() const;

  EngineCore& core_;
  runtime::WindowId id_;
  runtime::ThreadNumber owner_;
  runtime::WindowId parent_;
  runtime::WindowDescription d_;
  DialogUnits units_;
  QWidget* client_ = nullptr;
  QMenuBar* menus_ = nullptr;
  QToolBar* tools_ = nullptr;
  std::vector<QLabel*> zones_;
  std::vector<std::unique_ptr<Control>> controls_;
  QTimer timer_;
  QPixmap wallpaper_;
  // The control that last had the focus and is not a button: what cut, copy and paste act on
  // when a button carrying one of them has taken the focus with its click.
  QPointer<QWidget> last_input_;
  bool closing_ = false;
  bool shown_ = false;
  int disabled_count_ = 0;
};

}  // namespace pellucor::ui
