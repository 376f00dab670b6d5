// Opening and closing windows, and the statements on the current window.
#include "runtime/event/window.h"

#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/event_errors.h"
#include "runtime/event/event_state.h"

namespace pellucor::runtime {

using detail::Mutex;
using detail::S;
using detail::WindowState;

namespace {

// Window numbers are never reused, not even by a later program in the same process, so that a
// stale Window never mistakes another window for its own.
std::atomic<WindowId> next_window_id{1};

int32_t OpenErrorFor(WindowType type) {
  switch (type) {
    case WindowType::kFrame:
      return err::kFrameOpen;
    case WindowType::kFrameChild:
      return err::kChildOpen;
    case WindowType::kWindow:
      break;
  }
  return err::kWindowOpen;
}

// What makes a description unusable, or empty when it is sound.
std::string DescriptionFault(const WindowDescription& d) {
  std::set<int32_t> numbers;
  for (const ControlDescription& c : d.controls) {
    if (c.number <= 0) return "control number " + std::to_string(c.number) + " is not above 0";
    if (!numbers.insert(c.number).second) {
      return "control number " + std::to_string(c.number) + " is used twice";
    }
  }
  for (const ControlDescription& c : d.controls) {
    if (c.parent != 0 && numbers.count(c.parent) == 0) {
      return "control " + std::to_string(c.number) + " has no parent " + std::to_string(c.parent);
    }
  }
  return {};
}

detail::ControlEntry EntryFor(const ControlDescription& c) {
  return detail::ControlEntry{c.number, c.kind, c.flags.hidden, c.flags.disabled,
                              c.flags.read_only};
}

// The window that blocks `self` from opening windows and controls: another thread's open
// system-modal window.
bool ModalElsewhere(ThreadNumber self) {
  const WindowState* m = detail::FindWindow(S().system_modal);
  return m != nullptr && m->thread != self;
}

WindowState& CurrentState(WindowId id) {
  return *detail::FindWindow(id);
}

}  // namespace

Window::Window(WindowDescription description) : description_(std::move(description)) {}

Window::~Window() {
  if (IsOpen()) detail::CloseNow(id_);
}

bool Window::IsOpen() const {
  if (id_ == 0) return false;
  std::lock_guard lock(Mutex());
  return detail::FindWindow(id_) != nullptr;
}

void Window::Open(WindowId parent) {
  err::RegisterEventErrorTexts();
  if (IsOpen()) FatalError(err::kAlreadyOpen, description_.name);
  const ThreadNumber self = detail::ThisThread();
  const int32_t open_error = OpenErrorFor(description_.type);
  if (self == 0) FatalError(open_error, "the calling thread is not a program thread");
  if (const std::string fault = DescriptionFault(description_); !fault.empty()) {
    FatalError(open_error, description_.name + ": " + fault);
  }
  int32_t refused = 0;
  WindowId id = 0;
  {
    std::lock_guard lock(Mutex());
    if (detail::FindWindow(parent) == nullptr) parent = 0;  // a parent that closed meanwhile
    WindowState* frame = nullptr;
    for (auto& [other_id, other] : S().windows) {
      if (other->type == WindowType::kFrame) frame = other.get();
    }
    switch (description_.type) {
      case WindowType::kFrame:
        if (frame != nullptr)
          refused = err::kFrameActive;
        else if (ModalElsewhere(self))
          refused = err::kFrameModal;
        break;
      case WindowType::kFrameChild:
        if (frame == nullptr)
          refused = err::kChildNoFrame;
        else if (ModalElsewhere(self))
          refused = err::kChildModal;
        else if (frame->thread == self)
          refused = err::kChildOnFrameThread;
        else if (parent == 0)
          parent = frame->id;
        break;
      case WindowType::kWindow:
        break;
    }
    if (refused == 0) {
      auto w = std::make_unique<WindowState>();
      id = next_window_id++;
      w->id = id;
      w->thread = self;
      w->parent = parent;
      w->type = description_.type;
      w->modality = description_.modality;
      w->has_timer = description_.timer > 0;
      for (const ControlDescription& c : description_.controls) w->controls.push_back(EntryFor(c));
      w->queue.push_back(EventRecord{Event::kOpenWindow});
      S().windows[id] = std::move(w);
      S().threads[self].windows.push_back(id);
      if (description_.modality == Modality::kSystem && S().system_modal == 0) {
        S().system_modal = id;
      }
    }
  }
  if (refused != 0) FatalError(refused, description_.name);
  id_ = id;
  opened_ = true;
  if (!detail::Engine().OpenWindow(id, self, parent, description_)) {
    std::lock_guard lock(Mutex());
    if (WindowState* w = detail::FindWindow(id)) {
      w->queue.clear();
      w->timer_queued = false;
      w->has_timer = false;
      detail::Enqueue(*w, EventRecord{Event::kOpenFailed});
    }
    return;
  }
  if (description_.timer > 0) detail::Engine().SetTimer(id, description_.timer);
}

void Window::Close() {
  err::RegisterEventErrorTexts();
  if (!opened_) FatalError(err::kNotOpen, description_.name);
  detail::CloseNow(id_);
}

WindowId CurrentWindow() {
  std::lock_guard lock(Mutex());
  WindowState* w = detail::CurrentWindowOf(detail::ThisThread());
  return w == nullptr ? 0 : w->id;
}

WindowId StarterWindow() {
  std::lock_guard lock(Mutex());
  auto it = S().threads.find(detail::ThisThread());
  if (it == S().threads.end()) return 0;
  return detail::FindWindow(it->second.starter_window) ? it->second.starter_window : 0;
}

void DISPLAY(int32_t control) {
  detail::Engine().Display(detail::RequireCurrentWindow(), control);
}

void UPDATE(int32_t control) {
  detail::Engine().Update(detail::RequireCurrentWindow(), control);
}

void SELECT(int32_t control) {
  detail::Engine().Select(detail::RequireCurrentWindow(), control);
}

void SELECT() {
  const WindowId id = detail::RequireCurrentWindow();
  std::lock_guard lock(Mutex());
  WindowState& w = CurrentState(id);
  w.accept_all = true;
  w.accept_next = 0;
}

void SetProperty(int32_t control, Prop prop, std::string_view value, int32_t index) {
  const WindowId id = detail::RequireCurrentWindow();
  if (control == 0 && prop == Prop::kTimer) {
    SetTimer(std::atoi(std::string(value).c_str()));
    return;
  }
  {
    std::lock_guard lock(Mutex());
    for (detail::ControlEntry& c : CurrentState(id).controls) {
      if (c.number != control) continue;
      const bool on = !value.empty() && value != "0";
      if (prop == Prop::kHide) c.hidden = on;
      if (prop == Prop::kDisable) c.disabled = on;
      if (prop == Prop::kReadOnly) c.read_only = on;
    }
  }
  detail::Engine().SetProperty(id, control, prop, index, value);
}

std::string GetProperty(int32_t control, Prop prop, int32_t index) {
  const WindowId id = detail::RequireCurrentWindow();
  if (control == 0 && prop == Prop::kThread) return std::to_string(detail::ThisThread());
  return detail::Engine().GetProperty(id, control, prop, index);
}

bool CREATE(const ControlDescription& control) {
  const WindowId id = detail::RequireCurrentWindow();
  bool modal = false;
  {
    std::lock_guard lock(Mutex());
    modal = ModalElsewhere(detail::ThisThread());
  }
  if (modal) FatalError(err::kControlModal);
  {
    std::lock_guard lock(Mutex());
    WindowState& w = CurrentState(id);
    bool taken = control.number <= 0;
    for (const detail::ControlEntry& c : w.controls) taken = taken || c.number == control.number;
    if (taken) return false;
    w.controls.push_back(EntryFor(control));
  }
  if (!detail::Engine().CreateControl(id, control)) {
    std::lock_guard lock(Mutex());
    auto& controls = CurrentState(id).controls;
    std::erase_if(controls, [&](const auto& c) { return c.number == control.number; });
    return false;
  }
  return true;
}

void DESTROY(int32_t control) {
  const WindowId id = detail::RequireCurrentWindow();
  {
    std::lock_guard lock(Mutex());
    WindowState& w = CurrentState(id);
    std::erase_if(w.controls, [&](const auto& c) { return c.number == control; });
    if (w.focus == control) w.focus = 0;
  }
  detail::Engine().DestroyControl(id, control);
}

void SetListRows(int32_t control, const ListRows* rows) {
  detail::Engine().SetListRows(detail::RequireCurrentWindow(), control, rows);
}

void SetTimer(int32_t hundredths) {
  const WindowId id = detail::RequireCurrentWindow();
  if (hundredths < 0) hundredths = 0;
  {
    std::lock_guard lock(Mutex());
    CurrentState(id).has_timer = hundredths > 0;
  }
  detail::Engine().SetTimer(id, hundredths);
}

void HELP(std::string_view help_id) {
  detail::Engine().Help(detail::RequireCurrentWindow(), help_id);
}

int32_t MESSAGE(std::string_view text, std::string_view caption, MessageIcon icon, int32_t buttons,
                int32_t default_button) {
  MessageRequest request;
  request.text = text;
  request.caption = caption;
  request.icon = icon;
  request.buttons = buttons == 0 ? button::kOk : buttons;
  request.default_button = default_button;
  return MESSAGE(request);
}

int32_t MESSAGE(const MessageRequest& request) {
  MessageRequest r = request;
  r.thread = detail::ThisThread();
  return detail::Engine().Message(r);
}

int32_t POPUP(std::string_view text, std::optional<ScreenPoint> at) {
  const PopupMenu menu = ParsePopupText(text);
  if (!menu.ok || menu.item_count == 0) return 0;
  const int32_t chosen = detail::Engine().Popup(CurrentWindow(), menu, at);
  return chosen >= 1 && chosen <= menu.item_count ? chosen : 0;
}

void BEEP() {
  detail::Engine().Beep();
}

void SETCURSOR(CursorKind cursor) {
  detail::Engine().SetCursor(cursor);
}

}  // namespace pellucor::runtime
