#include "ui/engine_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "runtime/event/key_codes.h"
#include "ui/ansi_text.h"
#include "ui/control.h"
#include "ui/engine_core.h"
#include "ui/icons.h"
#include "ui/keys.h"
#include "ui/prop_value.h"

namespace pellucor::ui {

using runtime::Event;
using runtime::EventRecord;
using runtime::Prop;

namespace {
std::string Number(int v) {
  return std::to_string(v);
}
}  // namespace

EngineWindow::EngineWindow(EngineCore& core, runtime::WindowId id, runtime::ThreadNumber owner,
                           runtime::WindowId parent, const runtime::WindowDescription& description)
    : core_(core),
      id_(id),
      owner_(owner),
      parent_(parent),
      d_(description),
      units_(FontOf(description.font)) {
  setFont(FontOf(d_.font));
  setWindowTitle(ToQt(d_.title));
  setObjectName(ToQt(d_.name));
  setAccessibleName(ToQt(d_.title));
  const QIcon icon = IconFor(d_.icon.empty() ? std::string_view("~pellucor.ico") : d_.icon);
  if (!icon.isNull()) setWindowIcon(icon);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  setCentralWidget(client_);
  if (!d_.wallpaper.empty()) SetWindowProperty(Prop::kWallpaper, 0, d_.wallpaper);
  BuildStatusBar();
  connect(&timer_, &QTimer::timeout, this, [this] {
    const runtime::WindowId w = id_;
    Deliver([w] { runtime::EngineInput::TimerTick(w); });
  });
}

EngineWindow::~EngineWindow() {
  // Controls go first, while their widgets still exist.
  controls_.clear();
}

void EngineWindow::BuildStatusBar() {
  if (d_.status_zones.empty()) {
    // Controls' messages show in a status bar. A window whose controls have messages has it from
    // the start: made when the first message shows, it would take its height from the client
    // area after the procedure had measured the window (and a restored size would then squeeze
    // the controls under it).
    const bool messages =
        std::any_of(d_.controls.begin(), d_.controls.end(),
                    [](const runtime::ControlDescription& c) { return !c.message.empty(); });
    if (messages) statusBar()->setSizeGripEnabled(d_.resizable);
    return;
  }
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(d_.resizable);
  for (size_t i = 0; i < d_.status_zones.size(); ++i) {
    auto* zone = new QLabel(bar);
    zone->setObjectName(QStringLiteral("zone%1").arg(i + 1));
    zone->setAccessibleName(QStringLiteral("Status zone %1").arg(i + 1));
    zone->setTextFormat(Qt::PlainText);
    const int width = d_.status_zones[i];
    if (width > 0) {
      zone->setMinimumWidth(units_.X(width));
      bar->addWidget(zone, 0);
    } else {
      bar->addWidget(zone, 1);
    }
    zones_.push_back(zone);
  }
}

QMenuBar* EngineWindow::Menus() {
  if (menus_ == nullptr) {
    menus_ = menuBar();
    menus_->setAccessibleName(QStringLiteral("Menu bar"));
  }
  return menus_;
}

QToolBar* EngineWindow::Tools() {
  if (tools_ == nullptr) {
    tools_ = addToolBar(QStringLiteral("Tools"));
    tools_->setMovable(false);
    tools_->setIconSize(QSize(20, 20));
    tools_->setAccessibleName(QStringLiteral("Tool bar"));
  }
  return tools_;
}

QWidget* EngineWindow::AreaFor(int32_t parent) const {
  if (parent != 0) {
    if (Control* p = Find(parent); p != nullptr && p->ChildArea() != nullptr) {
      return p->ChildArea();
    }
  }
  return client_;
}

void EngineWindow::Place(QWidget* w, QWidget* area, const std::optional<runtime::DialogRect>& at,
                         QSize fallback) {
  QRect r = at ? units_.Rect(*at) : QRect(QPoint(units_.X(4), units_.Y(4)), fallback);
  if (r.width() <= 0) r.setWidth(std::max(fallback.width(), w->sizeHint().width()));
  if (r.height() <= 0) r.setHeight(std::max(fallback.height(), w->sizeHint().height()));
  if (area != client_ && area != nullptr) {
    // Positions are relative to the client area throughout; a page inside a tab sheet starts
    // further in.
    r.translate(-area->mapTo(client_, QPoint(0, 0)));
  }
  w->setGeometry(r);
}

bool EngineWindow::AddControl(const runtime::ControlDescription& c) {
  if (Find(c.number) != nullptr) return false;
  std::unique_ptr<Control> control = MakeControl(*this, c);
  if (!control) return false;
  if (QWidget* fw = control->FocusWidget()) fw->installEventFilter(this);
  controls_.push_back(std::move(control));
  return true;
}

void EngineWindow::RemoveControl(int32_t number) {
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](const auto& c) { return c->number() == number; });
  if (it == controls_.end()) return;
  QPointer<QWidget> w = (*it)->widget();
  controls_.erase(it);
  delete w.data();
}

Control* EngineWindow::Find(int32_t number) const {
  for (const auto& c : controls_) {
    if (c->number() == number) return c.get();
  }
  return nullptr;
}

QSize EngineWindow::ContentSize() const {
  if (d_.at && d_.at->width > 0 && d_.at->height > 0) {
    return QSize(units_.X(d_.at->width), units_.Y(d_.at->height));
  }
  QRect all;
  for (QWidget* w : client_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    all |= w->geometry();
  }
  return QSize(all.right() + units_.X(6), all.bottom() + units_.Y(6));
}

bool EngineWindow::Build() {
  for (const runtime::ControlDescription& c : d_.controls) {
    if (!AddControl(c)) return false;
  }
  for (const auto& c : controls_) c->Built();
  for (const auto& c : controls_) c->CompleteAccessibleName();
  // Tab order is the order of the description.
  QWidget* previous = nullptr;
  for (const auto& c : controls_) {
    QWidget* fw = c->FocusWidget();
    if (fw == nullptr || fw->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, fw);
    previous = fw;
  }
  client_->setMinimumSize(ContentSize());
  adjustSize();
  if (!d_.resizable) {
    setFixedSize(sizeHint());
  }
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  if (d_.at && !d_.centered && (d_.at->x != 0 || d_.at->y != 0)) {
    move(screen.topLeft() + QPoint(units_.X(d_.at->x), units_.Y(d_.at->y)));
  } else {
    move(screen.center() - QPoint(width() / 2, height() / 2));
  }
  if (d_.maximized) {
    showMaximized();
  } else {
    show();
  }
  // A tab sheet lays its pages out only when it is shown: the controls on them are placed again
  // now, so that their positions are the window's as described.
  for (const auto& c : controls_) {
    QWidget* area = AreaFor(c->description().parent);
    if (area != client_ && c->widget() != nullptr && c->description().at) {
      Place(c->widget(), area, c->description().at, c->widget()->size());
    }
  }
  activateWindow();
  raise();
  // The first control that Tab would reach takes the focus.
  for (const auto& c : controls_) {
    QWidget* fw = c->FocusWidget();
    if (fw == nullptr || c->description().flags.skip || !fw->isEnabled() ||
        fw->focusPolicy() == Qt::NoFocus || !fw->isVisibleTo(this)) {
      continue;
    }
    if (c->kind() == runtime::ControlKind::kButton || c->kind() == runtime::ControlKind::kSheet) {
      continue;
    }
    fw->setFocus(Qt::OtherFocusReason);
    break;
  }
  shown_ = true;
  return true;
}

void EngineWindow::SetStatus(int zone, const QString& text) {
  if (zones_.empty()) {
    statusBar()->showMessage(text);
    return;
  }
  const int i = std::clamp(zone, 1, static_cast<int>(zones_.size())) - 1;
  zones_[static_cast<size_t>(i)]->setText(text);
}

QString EngineWindow::Status(int zone) const {
  if (zones_.empty()) return {};
  const int i = std::clamp(zone, 1, static_cast<int>(zones_.size())) - 1;
  return zones_[static_cast<size_t>(i)]->text();
}

void EngineWindow::ShowNotice(const QString& text) {
  SetStatus(1, text);
  if (QWidget* f = QApplication::focusWidget()) f->setToolTip(text);
}

void EngineWindow::SetTimer(int hundredths) {
  if (hundredths <= 0) {
    timer_.stop();
    return;
  }
  timer_.start(hundredths * 10);
}

void EngineWindow::Disable(bool disabled) {
  disabled_count_ = std::max(0, disabled_count_ + (disabled ? 1 : -1));
  setEnabled(disabled_count_ == 0);
}

void EngineWindow::CloseFromEngine() {
  closing_ = true;
  timer_.stop();
  close();
}

void EngineWindow::Deliver(std::function<void()> delivery) const {
  core_.Deliver(id_, std::move(delivery));
}

void EngineWindow::Post(const EventRecord& record) const {
  const runtime::WindowId w = id_;
  Deliver([w, record] { runtime::EngineInput::Post(w, record); });
}

void EngineWindow::NoteFocus(int32_t control) const {
  const runtime::WindowId w = id_;
  Deliver([w, control] { runtime::EngineInput::NoteFocus(w, control); });
}

void EngineWindow::closeEvent(QCloseEvent* e) {
  if (closing_) {
    e->accept();
    return;
  }
  // The procedure decides: "EVENT:CloseWindow" may be refused.
  e->ignore();
  Post(EventRecord{Event::kCloseWindow});
}

void EngineWindow::moveEvent(QMoveEvent* e) {
  QMainWindow::moveEvent(e);
  if (shown_ && !isMinimized()) Post(EventRecord{Event::kMoved});
}

void EngineWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  if (shown_ && !isMinimized()) Post(EventRecord{Event::kSized});
}

void EngineWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
    const runtime::WindowId w = id_;
    Deliver([w] { runtime::EngineInput::NoteActivated(w); });
  }
  if (e->type() == QEvent::WindowStateChange && shown_) {
    if (isMinimized()) {
      Post(EventRecord{Event::kIconized});
    } else if (isMaximized()) {
      Post(EventRecord{Event::kMaximized});
    } else {
      Post(EventRecord{Event::kRestored});
    }
  }
}

bool EngineWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::FocusIn) {
    for (const auto& c : controls_) {
      if (c->FocusWidget() != watched) continue;
      if (qobject_cast<QAbstractButton*>(c->FocusWidget()) == nullptr)
        last_input_ = c->FocusWidget();
      NoteFocus(c->number());
      // The control's message takes the first zone (a passing message would be drawn over
      // the zones).
      if (!c->description().message.empty()) SetStatus(1, ToQt(c->description().message));
      break;
    }
  } else if (e->type() == QEvent::KeyPress) {
    const int32_t code = KeyCodeOf(*static_cast<QKeyEvent*>(e));
    if (code != 0 && runtime::EngineInput::IsAlertKey(id_, code)) {
      for (const auto& c : controls_) {
        if (c->FocusWidget() == watched) {
          Post(EventRecord{Event::kAlertKey, c->number(), code});
          return true;
        }
      }
    }
    if (code == runtime::key::kF1) {
      core_.ShowHelp(d_.help_id);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void EngineWindow::keyPressEvent(QKeyEvent* e) {
  const int32_t code = KeyCodeOf(*e);
  if (code != 0 && runtime::EngineInput::IsAlertKey(id_, code)) {
    Post(EventRecord{Event::kAlertKey, 0, code});
    return;
  }
  if (code == runtime::key::kF1) {
    core_.ShowHelp(d_.help_id);
    return;
  }
  // Enter that no control used (an entry has already taken its text) presses the focused
  // button, else the window's default button, as in any dialog.
  if (code == runtime::key::kEnter && PressDefaultButton()) return;
  QMainWindow::keyPressEvent(e);
}

// The right mouse button that no control used: a window that registered it with ALERT hears of
// it as a key, with the control under the mouse.
void EngineWindow::contextMenuEvent(QContextMenuEvent* e) {
  if (e->reason() != QContextMenuEvent::Mouse ||
      !runtime::EngineInput::IsAlertKey(id_, runtime::key::kMouseRight)) {
    QMainWindow::contextMenuEvent(e);
    return;
  }
  int32_t control = 0;
  for (QWidget* at = childAt(e->pos()); at != nullptr && control == 0; at = at->parentWidget()) {
    for (const auto& c : controls_) {
      if (c->widget() == at) control = c->number();
    }
  }
  Post(EventRecord{Event::kAlertKey, control, runtime::key::kMouseRight});
}

bool EngineWindow::PressDefaultButton() {
  auto usable = [this](QWidget* w) {
    return w != nullptr && w->isEnabled() && w->isVisibleTo(this);
  };
  if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      focused != nullptr && focused->window() == this && usable(focused)) {
    focused->click();
    return true;
  }
  for (const auto& c : controls_) {
    auto* button = qobject_cast<QPushButton*>(c->FocusWidget());
    if (button != nullptr && button->isDefault() && usable(button)) {
      button->click();
      return true;
    }
  }
  return false;
}

void EngineWindow::Act(runtime::StandardAction action) {
  using runtime::StandardAction;
  QWidget* focused = QApplication::focusWidget();
  if (focused != nullptr && focused->window() != this) focused = nullptr;
  if (focused == nullptr || qobject_cast<QAbstractButton*>(focused) != nullptr) {
    focused = last_input_.data();
  }
  switch (action) {
    case StandardAction::kClose:
      Post(EventRecord{Event::kCloseWindow});
      break;
    case StandardAction::kHelp:
      core_.ShowHelp(d_.help_id);
      break;
    case StandardAction::kCut:
      if (focused) QMetaObject::invokeMethod(focused, "cut");
      break;
    case StandardAction::kCopy:
      if (focused) QMetaObject::invokeMethod(focused, "copy");
      break;
    case StandardAction::kPaste:
      if (focused) QMetaObject::invokeMethod(focused, "paste");
      break;
    case StandardAction::kPrintSetup:
      core_.PrinterSetup(this);
      break;
    case StandardAction::kNone:
      break;
  }
}

bool EngineWindow::SetWindowProperty(Prop prop, int32_t index, std::string_view value) {
  const QRect client_rect(client_->mapTo(this, QPoint(0, 0)), client_->size());
  switch (prop) {
    case Prop::kText:
      setWindowTitle(ToQt(value));
      setAccessibleName(ToQt(value));
      return true;
    case Prop::kIcon:
      setWindowIcon(IconFor(value));
      return true;
    case Prop::kStatusText:
      SetStatus(index, ToQt(value));
      return true;
    case Prop::kHide:
      setVisible(!Switch(value));
      return true;
    case Prop::kDisable:
      setEnabled(!Switch(value));
      return true;
    case Prop::kMaximized:
      Switch(value) ? showMaximized() : showNormal();
      return true;
    case Prop::kIconized:
      Switch(value) ? showMinimized() : showNormal();
      return true;
    case Prop::kResizable:
      d_.resizable = Switch(value);
      if (d_.resizable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      } else {
        setFixedSize(size());
      }
      return true;
    case Prop::kMinWidth:
      client_->setMinimumWidth(units_.X(ToInt(value)));
      layout()->activate();  // the window's own limit follows at once, not at the next layout pass
      return true;
    case Prop::kMinHeight:
      client_->setMinimumHeight(units_.Y(ToInt(value)));
      layout()->activate();
      return true;
    case Prop::kMaxWidth: {
      // The limit is the client area's; the window around it adds its frame parts.
      const int v = ToInt(value);
      setMaximumWidth(v > 0 ? units_.X(v) + width() - client_->width() : QWIDGETSIZE_MAX);
      return true;
    }
    case Prop::kMaxHeight: {
      const int v = ToInt(value);
      setMaximumHeight(v > 0 ? units_.Y(v) + height() - client_->height() : QWIDGETSIZE_MAX);
      return true;
    }
    case Prop::kXPos:
      move(units_.X(ToInt(value)), y());
      return true;
    case Prop::kYPos:
      move(x(), units_.Y(ToInt(value)));
      return true;
    case Prop::kWidth:
      if (!d_.resizable) setFixedWidth(units_.X(ToInt(value)));
      resize(units_.X(ToInt(value)), height());
      return true;
    case Prop::kHeight:
      if (!d_.resizable) setFixedHeight(units_.Y(ToInt(value)));
      resize(width(), units_.Y(ToInt(value)));
      return true;
    case Prop::kWallpaper: {
      d_.wallpaper = std::string(value);
      const QIcon icon = IconFor(value);
      QPalette p = client_->palette();
      if (icon.isNull()) {
        p.setBrush(QPalette::Window, palette().brush(QPalette::Window));
      } else {
        p.setBrush(QPalette::Window, QBrush(icon.pixmap(64, 64)));
      }
      client_->setPalette(p);
      client_->setAutoFillBackground(!icon.isNull());
      return true;
    }
    case Prop::kHelpId:
      d_.help_id = std::string(value);
      return true;
    default:
      (void)client_rect;
      return false;
  }
}

std::string EngineWindow::GetWindowProperty(Prop prop, int32_t index) const {
  const QPoint client_origin = client_->mapTo(this, QPoint(0, 0));
  switch (prop) {
    case Prop::kText: {
      auto t = FromQt(windowTitle());
      return t ? *t : std::string();
    }
    case Prop::kStatusText: {
      // A notice may quote a character the program cannot hold: it reads back as "?".
      QString text = Status(index);
      for (QString bad = ForeignCharacter(text); !bad.isEmpty(); bad = ForeignCharacter(text)) {
        text.replace(bad, QStringLiteral("?"));
      }
      return FromQt(text).value_or(std::string());
    }
    case Prop::kHide:
      return Switch(!isVisible());
    case Prop::kDisable:
      return Switch(!isEnabled());
    case Prop::kMaximized:
      return Switch(isMaximized());
    case Prop::kIconized:
      return Switch(isMinimized());
    case Prop::kResizable:
      return Switch(d_.resizable);
    case Prop::kMinWidth:
      return Number(units_.ToUnitsX(client_->minimumWidth()));
    case Prop::kMinHeight:
      return Number(units_.ToUnitsY(client_->minimumHeight()));
    case Prop::kMaxWidth:
      return Number(maximumWidth() >= QWIDGETSIZE_MAX
                        ? 0
                        : units_.ToUnitsX(maximumWidth() - width() + client_->width()));
    case Prop::kMaxHeight:
      return Number(maximumHeight() >= QWIDGETSIZE_MAX
                        ? 0
                        : units_.ToUnitsY(maximumHeight() - height() + client_->height()));
    case Prop::kNextControl: {
      bool next = index == 0;
      for (const auto& c : controls_) {
        if (next) return Number(c->number());
        next = c->number() == index;
      }
      return Number(0);
    }
    case Prop::kXPos:
      return Number(units_.ToUnitsX(x()));
    case Prop::kYPos:
      return Number(units_.ToUnitsY(y()));
    case Prop::kWidth:
      return Number(units_.ToUnitsX(width()));
    case Prop::kHeight:
      return Number(units_.ToUnitsY(height()));
    case Prop::kClientX:
      return Number(units_.ToUnitsX(client_origin.x()));
    case Prop::kClientY:
      return Number(units_.ToUnitsY(client_origin.y()));
    case Prop::kClientWidth:
      return Number(units_.ToUnitsX(client_->width()));
    case Prop::kClientHeight:
      return Number(units_.ToUnitsY(client_->height()));
    case Prop::kTimer:
      return Number(timer_.isActive() ? timer_.interval() / 10 : 0);
    case Prop::kWallpaper:
      return d_.wallpaper;
    case Prop::kThread:
      return Number(owner_);
    case Prop::kHelpId:
      return d_.help_id;
    case Prop::kFontName: {
      auto t = FromQt(font().family());
      return t ? *t : std::string();
    }
    case Prop::kFontSize:
      return Number(font().pointSize());
    case Prop::kVisible:
      return Switch(isVisible());
    default:
      return {};
  }
}

}  // namespace pellucor::ui
