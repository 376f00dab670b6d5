// The menu bar, its menus and items, the tool bar and its buttons.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "ui/ansi_text.h"
#include "ui/controls.h"
#include "ui/engine_window.h"
#include "ui/icons.h"
#include "ui/keys.h"
#include "ui/prop_value.h"

namespace pellucor::ui {

using runtime::ControlKind;
using runtime::Event;
using runtime::Prop;

namespace {

class MenuEntry : public Control {
 public:
  MenuEntry(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    Control* parent = w.Find(d.parent);
    auto* parent_entry = dynamic_cast<MenuEntry*>(parent);
    QMenu* parent_menu = parent_entry != nullptr ? parent_entry->menu_.data() : nullptr;
    switch (d.kind) {
      case ControlKind::kMenuBar:
        bar_ = w.Menus();
        return;
      case ControlKind::kMenu:
        if (parent_menu != nullptr) {
          menu_ = parent_menu->addMenu(ToQt(d.text));
        } else {
          menu_ = w.Menus()->addMenu(ToQt(d.text));
        }
        action_ = menu_->menuAction();
        break;
      default: {
        action_ = new QAction(IconFor(d.icon), ToQt(d.text), &w);
        if (parent != nullptr && parent->kind() == ControlKind::kToolbar) {
          w.Tools()->addAction(action_);
          if (QWidget* b = w.Tools()->widgetForAction(action_)) {
            widget_ = b;
            b->setObjectName(QStringLiteral("control%1").arg(d.number));
            b->setAccessibleName(AccessibleNameFor(ToQt(d.text)));
            b->setFocusPolicy(Qt::NoFocus);
          }
          if (d.icon.empty()) action_->setIconText(WithoutMnemonic(ToQt(d.text)));
        } else if (parent_menu != nullptr) {
          parent_menu->addAction(action_);
        } else {
          w.Menus()->addAction(action_);
        }
        if (d.key != 0) {
          action_->setShortcut(QKeySequence(QtKeyOf(d.key) | QtModifiersOf(d.key)));
        }
        QObject::connect(action_, &QAction::triggered, action_, [this] {
          if (d_.action != runtime::StandardAction::kNone) {
            window_.Act(d_.action);
          } else {
            Post(Event::kAccepted);
          }
        });
        break;
      }
    }
    action_->setToolTip(d.tip.empty() ? WithoutMnemonic(ToQt(d.text)) : ToQt(d.tip));
    action_->setStatusTip(ToQt(d.message));
    action_->setVisible(!d.flags.hidden);
    action_->setEnabled(!d.flags.disabled);
  }
  ~MenuEntry() override {
    if (d_.kind == ControlKind::kItem || d_.kind == ControlKind::kButton) delete action_.data();
  }
  QWidget* FocusWidget() const override { return nullptr; }
  bool Set(Prop prop, int32_t index, std::string_view value) override {
    if (!action_) return Control::Set(prop, index, value);
    switch (prop) {
      case Prop::kText:
        action_->setText(ToQt(value));
        return true;
      case Prop::kHide:
        d_.flags.hidden = Switch(value);
        action_->setVisible(!d_.flags.hidden);
        return true;
      case Prop::kDisable:
        d_.flags.disabled = Switch(value);
        action_->setEnabled(!d_.flags.disabled);
        return true;
      case Prop::kChecked:
        action_->setCheckable(true);
        action_->setChecked(Switch(value));
        return true;
      case Prop::kIcon:
        d_.icon = std::string(value);
        action_->setIcon(IconFor(value));
        return true;
      case Prop::kTip:
        d_.tip = std::string(value);
        action_->setToolTip(ToQt(value));
        return true;
      default:
        return Control::Set(prop, index, value);
    }
  }
  std::optional<std::string> Get(Prop prop, int32_t index) const override {
    if (action_ && prop == Prop::kText) return FromQt(action_->text()).value_or(std::string());
    if (action_ && prop == Prop::kChecked) return action_->isChecked() ? "1" : "";
    return Control::Get(prop, index);
  }

 private:
  QMenuBar* bar_ = nullptr;
  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
};

class Toolbar : public Control {
 public:
  Toolbar(EngineWindow& w, const runtime::ControlDescription& d) : Control(w, d) {
    QToolBar* tools = w.Tools();
    widget_ = tools;
    tools->setObjectName(QStringLiteral("control%1").arg(d.number));
    if (d.flags.hidden) tools->hide();
  }
  QWidget* FocusWidget() const override { return nullptr; }
};

}  // namespace

std::unique_ptr<Control> MakeMenuEntry(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<MenuEntry>(w, d);
}
std::unique_ptr<Control> MakeToolbar(EngineWindow& w, const runtime::ControlDescription& d) {
  return std::make_unique<Toolbar>(w, d);
}

}  // namespace pellucor::ui
