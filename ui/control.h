// One control of a window: the widget that shows it and what it does with its bound variable.
// Every control kind derives from Control and overrides what differs.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/event/engine.h"

namespace pellucor::ui {

class EngineWindow;

class Control {
 public:
  Control(EngineWindow& window, const runtime::ControlDescription& description);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  [[nodiscard]] int32_t number() const { return d_.number; }
  [[nodiscard]] runtime::ControlKind kind() const { return d_.kind; }
  [[nodiscard]] const runtime::ControlDescription& description() const { return d_; }
  // The widget placed in the window (null for menu items and other non-widget controls).
  [[nodiscard]] QWidget* widget() const { return widget_.data(); }
  // The widget that takes the focus (a list's rows, an entry's line).
  [[nodiscard]] virtual QWidget* FocusWidget() const { return widget(); }
  // Where controls whose parent this control is go (a tab's page); null when it holds none.
  [[nodiscard]] virtual QWidget* ChildArea() const { return nullptr; }

  // Once every control of the window is built: a control the keyboard reaches gets a name for
  // screen readers even without a text of its own (the title of the group, option or tab it
  // stands in; for a tab sheet, the names of its tabs), and so do the parts it is made of (the
  // line of a spin box or combo, the tab bar of a sheet).
  void CompleteAccessibleName();

  // Shows the bound variable.
  virtual void Display() {}
  // Stores what the control shows into its variable. False when the text does not read back
  // (the variable keeps its value). Runs only while the owning thread waits.
  virtual bool Update() { return true; }
  // Properties: true when the control handled `prop`.
  virtual bool Set(runtime::Prop prop, int32_t index, std::string_view value);
  [[nodiscard]] virtual std::optional<std::string> Get(runtime::Prop prop, int32_t index) const;
  // The standard action of a menu item or button, or kNone.
  [[nodiscard]] runtime::StandardAction action() const { return d_.action; }

  // Called once every control of the window is built (prompts find the control they label).
  virtual void Built() {}

 protected:
  // Takes `w` as this control's widget: sets its name for accessibility tools, tip, state, and
  // watches its focus.
  void Adopt(QWidget* w);
  // Input: events for this control, delivered to the window's thread.
  void Post(runtime::Event event, int32_t keycode = 0) const;
  // Stores `value` into the bound variable, then posts `event` (in one delivery, so the program
  // sees the value when it sees the event).
  void StoreAndPost(std::string value, runtime::Event event, int32_t keycode = 0) const;
  void Refuse(const QString& character) const;
  // The status bar or the tip tells why the character was refused.
  [[nodiscard]] QString AccessibleNameFor(const QString& text) const;
  void SetAccessibleText(const QString& text);

  EngineWindow& window_;
  runtime::ControlDescription d_;
  QPointer<QWidget> widget_;
  std::string color_;  // the text colour set through the properties; empty for the default
};

// Builds the control for `description` inside `window`; null for a kind the engine does not make.
std::unique_ptr<Control> MakeControl(EngineWindow& window,
                                     const runtime::ControlDescription& description);

}  // namespace pellucor::ui
