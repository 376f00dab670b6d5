#include "ui/control.h"

#include <QPalette>
#include <QStatusBar>
#include <QStringList>

#include "ui/ansi_text.h"
#include "ui/engine_window.h"
#include "ui/prop_value.h"
#include "ui/value_text.h"

namespace pellucor::ui {

using runtime::Prop;

Control::Control(EngineWindow& window, const runtime::ControlDescription& description)
    : window_(window), d_(description) {}

QString Control::AccessibleNameFor(const QString& text) const {
  QString name = WithoutMnemonic(text).trimmed();
  if (name.isEmpty()) name = ToQt(d_.tip).trimmed();
  if (name.isEmpty()) name = ToQt(d_.message).trimmed();
  return name;
}

void Control::SetAccessibleText(const QString& text) {
  if (widget_) widget_->setAccessibleName(AccessibleNameFor(text));
}

void Control::CompleteAccessibleName() {
  QWidget* w = FocusWidget() != nullptr ? FocusWidget() : widget();
  if (w == nullptr) return;
  QString name = w->accessibleName();
  if (name.isEmpty() && widget_) name = widget_->accessibleName();
  if (name.isEmpty() && d_.parent != 0) {
    if (const Control* p = window_.Find(d_.parent)) {
      name = WithoutMnemonic(ToQt(p->description().text)).trimmed();
    }
  }
  if (name.isEmpty() && d_.at) {
    // A control drawn inside a group's frame belongs to that group.
    const runtime::DialogRect& r = *d_.at;
    for (const auto& c : window_.controls()) {
      const runtime::ControlDescription& g = c->description();
      if ((g.kind != runtime::ControlKind::kGroup && g.kind != runtime::ControlKind::kOption) ||
          !g.at || g.number == d_.number) {
        continue;
      }
      if (r.x >= g.at->x && r.y >= g.at->y && r.x + r.width <= g.at->x + g.at->width &&
          r.y + r.height <= g.at->y + g.at->height) {
        name = WithoutMnemonic(ToQt(g.text)).trimmed();
        break;
      }
    }
  }
  if (name.isEmpty() && d_.kind == runtime::ControlKind::kSheet) {
    QStringList tabs;
    for (const auto& c : window_.controls()) {
      if (c->description().parent == d_.number && c->kind() == runtime::ControlKind::kTab) {
        tabs << WithoutMnemonic(ToQt(c->description().text)).trimmed();
      }
    }
    name = tabs.join(QStringLiteral(", "));
  }
  if (name.isEmpty()) return;
  for (QWidget* named : {widget(), w}) {
    if (named != nullptr && named->accessibleName().isEmpty()) named->setAccessibleName(name);
  }
  if (!widget_) return;
  for (QWidget* part : widget_->findChildren<QWidget*>()) {
    // Other controls placed inside (on a tab's page) are named by their own pass.
    if (part->objectName().startsWith(QStringLiteral("control"))) continue;
    if (part->focusPolicy() != Qt::NoFocus && part->accessibleName().isEmpty()) {
      part->setAccessibleName(name);
    }
  }
}

void Control::Adopt(QWidget* w) {
  widget_ = w;
  w->setObjectName(QStringLiteral("control%1").arg(d_.number));
  w->setAccessibleName(AccessibleNameFor(ToQt(d_.text)));
  if (!d_.tip.empty()) w->setToolTip(ToQt(d_.tip));
  if (d_.flags.hidden) w->hide();
  if (d_.flags.disabled) w->setEnabled(false);
}

void Control::Post(runtime::Event event, int32_t keycode) const {
  window_.Post(runtime::EventRecord{event, d_.number, keycode});
}

void Control::StoreAndPost(std::string value, runtime::Event event, int32_t keycode) const {
  const runtime::WindowId w = window_.id();
  const runtime::AnyRef use = d_.use;
  const runtime::EventRecord record{event, d_.number, keycode};
  window_.Deliver([w, use, value = std::move(value), record] {
    // Only while the window is open: its variables live as long as it does.
    if (runtime::EngineInput::OwnerOf(w) == 0) return;
    Store(use, value);
    runtime::EngineInput::Post(w, record);
  });
}

void Control::Refuse(const QString& character) const {
  window_.ShowNotice(RefusalNotice(character));
}

bool Control::Set(Prop prop, int32_t index, std::string_view value) {
  (void)index;
  QWidget* w = widget();
  switch (prop) {
    case Prop::kHide:
      d_.flags.hidden = Switch(value);
      if (w) w->setVisible(!d_.flags.hidden);
      return true;
    case Prop::kDisable:
      d_.flags.disabled = Switch(value);
      if (w) w->setEnabled(!d_.flags.disabled);
      return true;
    case Prop::kTip:
      d_.tip = std::string(value);
      if (w) w->setToolTip(ToQt(value));
      return true;
    case Prop::kMessage:
      d_.message = std::string(value);
      return true;
    case Prop::kColor: {
      color_ = std::string(value);
      if (!w) return true;
      const QColor c(ToQt(value));
      QPalette p = w->parentWidget() != nullptr ? w->parentWidget()->palette() : QPalette();
      if (c.isValid()) {
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
          p.setColor(role, c);
        }
      }
      w->setPalette(p);
      return true;
    }
    case Prop::kSkip:
      d_.flags.skip = Switch(value);
      if (QWidget* f = FocusWidget()) {
        f->setFocusPolicy(d_.flags.skip ? Qt::ClickFocus : Qt::StrongFocus);
      }
      return true;
    case Prop::kPicture:
      d_.picture = std::string(value);
      Display();
      return true;
    case Prop::kXPos:
    case Prop::kYPos:
    case Prop::kWidth:
    case Prop::kHeight: {
      if (!w) return false;
      runtime::DialogRect r = d_.at.value_or(runtime::DialogRect{});
      const int v = ToInt(value);
      if (prop == Prop::kXPos) r.x = v;
      if (prop == Prop::kYPos) r.y = v;
      if (prop == Prop::kWidth) r.width = v;
      if (prop == Prop::kHeight) r.height = v;
      d_.at = r;
      window_.Place(w, w->parentWidget(), d_.at, w->size());
      return true;
    }
    case Prop::kHelpId:
      return true;
    default:
      return false;
  }
}

std::optional<std::string> Control::Get(Prop prop, int32_t index) const {
  (void)index;
  const QWidget* w = widget();
  const DialogUnits& u = window_.units();
  // Through the screen: a tool-bar button does not lie inside the client area, and mapTo would
  // walk off its parents looking for it.
  const QPoint origin =
      w ? window_.client()->mapFromGlobal(w->mapToGlobal(QPoint(0, 0))) : QPoint();
  switch (prop) {
    case Prop::kHide:
      return Switch(d_.flags.hidden);
    case Prop::kDisable:
      return Switch(d_.flags.disabled);
    case Prop::kReadOnly:
      return Switch(d_.flags.read_only);
    case Prop::kColor:
      return color_;
    case Prop::kTip:
      return d_.tip;
    case Prop::kMessage:
      return d_.message;
    case Prop::kPicture:
      return d_.picture;
    case Prop::kSkip:
      return Switch(d_.flags.skip);
    case Prop::kDefault:
      return Switch(d_.flags.is_default);
    case Prop::kKind:
      return std::to_string(static_cast<int32_t>(d_.kind));
    case Prop::kParent:
      return std::to_string(d_.parent);
    case Prop::kIcon:
      return d_.icon;
    case Prop::kVisible:
      return Switch(w != nullptr && w->isVisible());
    case Prop::kXPos:
      return std::to_string(w ? u.ToUnitsX(origin.x()) : 0);
    case Prop::kYPos:
      return std::to_string(w ? u.ToUnitsY(origin.y()) : 0);
    case Prop::kWidth:
      return std::to_string(w ? u.ToUnitsX(w->width()) : 0);
    case Prop::kHeight:
      return std::to_string(w ? u.ToUnitsY(w->height()) : 0);
    case Prop::kFontName: {
      auto t = w ? FromQt(w->font().family()) : std::nullopt;
      return t.value_or(std::string());
    }
    case Prop::kFontSize:
      return std::to_string(w ? w->font().pointSize() : 0);
    default:
      return std::nullopt;
  }
}

}  // namespace pellucor::ui
