#include "ui/qt_engine.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <array>

#include "ui/ansi_text.h"
#include "ui/control.h"
#include "ui/controls.h"
#include "ui/engine_core.h"
#include "ui/engine_window.h"
#include "ui/icons.h"
#include "ui/keys.h"

namespace pellucor::ui {

using runtime::Prop;
using runtime::ThreadNumber;
using runtime::WindowId;

namespace {

// The descendants of `control` in the description (their parent chain reaches it).
bool Below(const EngineWindow& w, const Control& c, int32_t ancestor) {
  int32_t p = c.description().parent;
  for (int guard = 0; p != 0 && guard < 64; ++guard) {
    if (p == ancestor) return true;
    const Control* up = w.Find(p);
    p = up != nullptr ? up->description().parent : 0;
  }
  return false;
}

void BuildMenu(QMenu* menu, const std::vector<runtime::PopupEntry>& entries) {
  for (const runtime::PopupEntry& e : entries) {
    switch (e.kind) {
      case runtime::PopupEntry::Kind::kSeparator:
        menu->addSeparator();
        break;
      case runtime::PopupEntry::Kind::kSubmenu: {
        QMenu* sub = menu->addMenu(ToQt(e.text));
        sub->setEnabled(!e.disabled);
        BuildMenu(sub, e.children);
        break;
      }
      case runtime::PopupEntry::Kind::kItem: {
        QAction* a = menu->addAction(ToQt(e.text));
        if (!e.icon.empty()) a->setIcon(IconFor(e.icon));
        a->setEnabled(!e.disabled);
        a->setCheckable(e.checked);
        a->setChecked(e.checked);
        a->setData(e.number);
        break;
      }
    }
  }
}

}  // namespace

QtEngine::QtEngine()
    : core_(std::make_unique<EngineCore>()), session_context_(std::make_unique<QObject>()) {
  // The session manager's quit request: refused while the program runs. The answer may interact
  // only after allowsInteraction() granted it, and releases the session at once afterwards.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, session_context_.get(),
                   [this](QSessionManager& session) {
                     if (!AnswerSessionEnd(session.allowsInteraction())) session.cancel();
                     session.release();
                   });
}
QtEngine::~QtEngine() = default;

void QtEngine::RunOnGui(const std::function<void()>& f) {
  core_->OnGui(f);
}

QPrinter& QtEngine::Printer() {
  return core_->Printer();
}

void QtEngine::OfferDialog(QWidget* dialog) {
  core_->Offer(dialog);
}

void QtEngine::SetResponder(std::function<void(QWidget*)> responder) {
  core_->OnGui([&] { core_->SetResponder(std::move(responder)); });
}

QWidget* QtEngine::WidgetOf(WindowId window) const {
  return core_->OnGui([&]() -> QWidget* { return core_->Find(window); });
}

QWidget* QtEngine::ControlWidget(WindowId window, int32_t control) const {
  return core_->OnGui([&]() -> QWidget* {
    EngineWindow* w = core_->Find(window);
    Control* c = w != nullptr ? w->Find(control) : nullptr;
    if (c == nullptr) return nullptr;
    return c->FocusWidget() != nullptr ? c->FocusWidget() : c->widget();
  });
}

QWidget* QtEngine::HelpWidget() const {
  return core_->OnGui([&] { return core_->HelpWidget(); });
}

void QtEngine::ThreadStarted(ThreadNumber thread) {
  core_->ThreadStarted(thread);
}
void QtEngine::ThreadEnded(ThreadNumber thread) {
  core_->ThreadEnded(thread);
}
void QtEngine::Wait(ThreadNumber thread) {
  core_->Wait(thread);
}
void QtEngine::Wake(ThreadNumber thread) {
  core_->Wake(thread);
}

bool QtEngine::OpenWindow(WindowId window, ThreadNumber owner, WindowId parent,
                          const runtime::WindowDescription& description) {
  return core_->OnGui([&] {
    // Thread-modal: the owner's earlier windows wait until this one closes.
    const std::vector<EngineWindow*> earlier = core_->WindowsOf(owner);
    auto w = std::make_unique<EngineWindow>(*core_, window, owner, parent, description);
    EngineWindow* raw = w.get();
    core_->Add(window, std::move(w));
    if (!raw->Build()) {
      raw->CloseFromEngine();
      core_->Remove(window);
      return false;
    }
    for (EngineWindow* e : earlier) e->Disable(true);
    return true;
  });
}

void QtEngine::CloseWindow(WindowId window) {
  core_->OnGui([&] {
    std::unique_ptr<EngineWindow> w = core_->Remove(window);
    if (!w) return;
    const ThreadNumber owner = w->owner();
    const bool was_active = w->isActiveWindow();
    w->CloseFromEngine();
    w.reset();
    const std::vector<EngineWindow*> left = core_->WindowsOf(owner);
    for (EngineWindow* e : left) e->Disable(false);
    if (was_active && !left.empty()) {
      left.back()->activateWindow();
      left.back()->raise();
    }
  });
}

bool QtEngine::CreateControl(WindowId window, const runtime::ControlDescription& control) {
  return core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr || !w->AddControl(control)) return false;
    w->Find(control.number)->Built();
    if (QWidget* widget = w->Find(control.number)->widget()) {
      if (!control.flags.hidden && widget->parentWidget() != nullptr) widget->show();
    }
    return true;
  });
}

void QtEngine::DestroyControl(WindowId window, int32_t control) {
  core_->OnGui([&] {
    if (EngineWindow* w = core_->Find(window)) w->RemoveControl(control);
  });
}

void QtEngine::SetProperty(WindowId window, int32_t control, Prop prop, int32_t index,
                           std::string_view value) {
  core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr) return;
    if (prop == Prop::kTimer) {
      w->SetTimer(std::atoi(std::string(value).c_str()));
      return;
    }
    if (control == 0) {
      (void)w->SetWindowProperty(prop, index, value);
      return;
    }
    Control* c = w->Find(control);
    if (c == nullptr) return;
    (void)c->Set(prop, index, value);
    // Hiding or disabling a group, an option, a sheet or a tab does the same to what it holds.
    if (prop == Prop::kHide || prop == Prop::kDisable) {
      for (const auto& other : w->controls()) {
        if (Below(*w, *other, control)) {
          const std::string own = prop == Prop::kHide
                                      ? (other->description().flags.hidden ? "1" : "")
                                      : (other->description().flags.disabled ? "1" : "");
          if (QWidget* ow = other->widget()) {
            const bool on = (!value.empty() && value != "0") || !own.empty();
            if (prop == Prop::kHide && other->kind() != runtime::ControlKind::kTab) {
              ow->setVisible(!on);
            } else if (prop == Prop::kDisable) {
              ow->setEnabled(!on);
            }
          }
        }
      }
    }
  });
}

std::string QtEngine::GetProperty(WindowId window, int32_t control, Prop prop, int32_t index) {
  return core_->OnGui([&]() -> std::string {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr) return {};
    if (control == 0) return w->GetWindowProperty(prop, index);
    if (prop == Prop::kThread) return std::to_string(w->owner());
    Control* c = w->Find(control);
    if (c == nullptr) return {};
    return c->Get(prop, index).value_or(std::string());
  });
}

void QtEngine::Display(WindowId window, int32_t control) {
  core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr) return;
    for (const auto& c : w->controls()) {
      if (control == 0 || c->number() == control) c->Display();
    }
  });
}

void QtEngine::Update(WindowId window, int32_t control) {
  core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr) return;
    for (const auto& c : w->controls()) {
      if (control == 0 || c->number() == control) (void)c->Update();
    }
  });
}

void QtEngine::Select(WindowId window, int32_t control) {
  core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    if (w == nullptr) return;
    Control* c = w->Find(control);
    QWidget* f = c != nullptr ? c->FocusWidget() : nullptr;
    if (f != nullptr && f->hasFocus()) {
      w->NoteFocus(control);  // already there: the program still hears of it
    } else if (f != nullptr) {
      w->activateWindow();
      f->setFocus(Qt::OtherFocusReason);
      if (!f->hasFocus()) w->NoteFocus(control);  // an inactive window keeps it for later
    }
  });
}

bool QtEngine::CanAccept(WindowId window, int32_t control) {
  const bool ok = core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    Control* c = w != nullptr ? w->Find(control) : nullptr;
    return c == nullptr || c->Update();
  });
  if (!ok) {
    runtime::EngineInput::Post(window, runtime::EventRecord{runtime::Event::kRejected, control});
  }
  return ok;
}

void QtEngine::SetTimer(WindowId window, int32_t hundredths) {
  core_->OnGui([&] {
    if (EngineWindow* w = core_->Find(window)) w->SetTimer(hundredths);
  });
}

void QtEngine::SetListRows(WindowId window, int32_t control, const runtime::ListRows* rows) {
  core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    Control* c = w != nullptr ? w->Find(control) : nullptr;
    if (c != nullptr) SetListSource(*c, rows);
  });
}

bool QtEngine::AnswerSessionEnd(bool may_ask) {
  if (may_ask) {
    runtime::MessageRequest request;
    request.text = "Application still active.\n\nQuit the application before quitting Windows.";
    request.icon = runtime::MessageIcon::kExclamation;
    request.system_modal = true;
    (void)Message(request);
  }
  return false;
}

int32_t QtEngine::Message(const runtime::MessageRequest& request) {
  return core_->OnGui([&] {
    QMessageBox box;
    box.setWindowTitle(request.caption.empty() ? QApplication::applicationDisplayName()
                                               : ToQt(request.caption));
    box.setText(MessageLines(request.text));
    box.setTextFormat(Qt::PlainText);
    switch (request.icon) {
      case runtime::MessageIcon::kInformation:
        box.setIcon(QMessageBox::Information);
        break;
      case runtime::MessageIcon::kExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
      case runtime::MessageIcon::kQuestion:
        box.setIcon(QMessageBox::Question);
        break;
      case runtime::MessageIcon::kError:
        box.setIcon(QMessageBox::Critical);
        break;
      case runtime::MessageIcon::kNone:
        break;
    }
    if (!request.icon_name.empty()) {
      box.setIconPixmap(IconFor(request.icon_name).pixmap(32, 32));
    }
    if (request.system_modal) box.setWindowModality(Qt::ApplicationModal);
    struct Pair {
      int32_t code;
      QMessageBox::StandardButton qt;
    };
    static constexpr std::array<Pair, 8> kButtons{{
        {runtime::button::kOk, QMessageBox::Ok},
        {runtime::button::kYes, QMessageBox::Yes},
        {runtime::button::kNo, QMessageBox::No},
        {runtime::button::kAbort, QMessageBox::Abort},
        {runtime::button::kRetry, QMessageBox::Retry},
        {runtime::button::kIgnore, QMessageBox::Ignore},
        {runtime::button::kCancel, QMessageBox::Cancel},
        {runtime::button::kHelp, QMessageBox::Help},
    }};
    const int32_t buttons = request.buttons != 0 ? request.buttons : runtime::button::kOk;
    int32_t first = 0;
    for (const Pair& p : kButtons) {
      if ((buttons & p.code) == 0) continue;
      QPushButton* b = box.addButton(p.qt);
      b->setObjectName(QStringLiteral("button%1").arg(p.code));
      if (first == 0) first = p.code;
    }
    const int32_t wanted = (request.default_button & buttons) != 0 ? request.default_button : first;
    for (const Pair& p : kButtons) {
      if (p.code == wanted) box.setDefaultButton(p.qt);
    }
    // Escape answers Cancel, else No, else the only button.
    if (buttons & runtime::button::kCancel) {
      box.setEscapeButton(QMessageBox::Cancel);
    } else if (buttons & runtime::button::kNo) {
      box.setEscapeButton(QMessageBox::No);
    }
    // The asking thread's windows wait while the box is up; others stay usable.
    const std::vector<EngineWindow*> held = core_->WindowsOf(request.thread);
    for (EngineWindow* w : held) w->Disable(true);
    core_->Offer(&box);
    box.exec();
    for (EngineWindow* w : core_->WindowsOf(request.thread)) w->Disable(false);
    const auto clicked = box.standardButton(box.clickedButton());
    for (const Pair& p : kButtons) {
      if (p.qt == clicked) return p.code;
    }
    return (buttons & runtime::button::kCancel) ? runtime::button::kCancel : wanted;
  });
}

int32_t QtEngine::Popup(WindowId window, const runtime::PopupMenu& menu,
                        std::optional<runtime::ScreenPoint> at) {
  return core_->OnGui([&] {
    EngineWindow* w = core_->Find(window);
    QMenu popup(w);
    popup.setAccessibleName(QStringLiteral("Popup menu"));
    BuildMenu(&popup, menu.entries);
    QPoint where = QCursor::pos();
    if (at && w != nullptr) {
      where = w->client()->mapToGlobal(QPoint(w->units().X(at->x), w->units().Y(at->y)));
    }
    // An item chosen in a submenu ends the whole popup too.
    QAction* chosen = nullptr;
    QObject::connect(&popup, &QMenu::triggered, &popup, [&](QAction* a) {
      chosen = a;
      popup.close();
    });
    core_->Offer(&popup);
    QAction* direct = popup.exec(where);
    if (chosen == nullptr) chosen = direct;
    return chosen != nullptr ? chosen->data().toInt() : 0;
  });
}

void QtEngine::Beep() {
  core_->OnGui([] { QApplication::beep(); });
}

void QtEngine::SetCursor(runtime::CursorKind cursor) {
  core_->OnGui([&] {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    switch (cursor) {
      case runtime::CursorKind::kArrow:
        return;
      case runtime::CursorKind::kWait:
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
      case runtime::CursorKind::kIBeam:
        QApplication::setOverrideCursor(Qt::IBeamCursor);
        return;
      case runtime::CursorKind::kCross:
        QApplication::setOverrideCursor(Qt::CrossCursor);
        return;
      case runtime::CursorKind::kSizeAll:
        QApplication::setOverrideCursor(Qt::SizeAllCursor);
        return;
    }
  });
}

void QtEngine::Help(WindowId window, std::string_view help_id) {
  core_->OnGui([&] {
    std::string id(help_id);
    if (id.empty()) {
      if (EngineWindow* w = core_->Find(window)) id = w->description().help_id;
    }
    core_->ShowHelp(id);
  });
}

void QtEngine::KeysPressed() {
  core_->OnGui([&] {
    for (const runtime::PressedKey& k : runtime::EngineInput::TakePressedKeys()) {
      QWidget* target = QApplication::focusWidget();
      if (target == nullptr) target = QApplication::activeWindow();
      if (target == nullptr) continue;
      const QString text =
          k.character != 0 ? ToQt(std::string(1, static_cast<char>(k.character))) : QString();
      const int qt_key = k.keycode != 0 ? QtKeyOf(k.keycode) : Qt::Key_unknown;
      const Qt::KeyboardModifiers mods = QtModifiersOf(k.keycode);
      QKeyEvent press(QEvent::KeyPress, qt_key, mods, text);
      QKeyEvent release(QEvent::KeyRelease, qt_key, mods, text);
      QApplication::sendEvent(target, &press);
      QApplication::sendEvent(target, &release);
    }
  });
}

}  // namespace pellucor::ui
