#include "runtime/event/scripted_engine.h"

#include <utility>

#include "runtime/values/accessor.h"

namespace pellucor::runtime {

namespace {
std::string N(int32_t v) {
  return std::to_string(v);
}

bool Bound(const ControlDescription& c) {
  return c.use.address != nullptr;
}
Accessor AccessorOf(const ControlDescription& c) {
  return AccessorFactory(c.use.type, c.use.address, c.use.size, c.use.places);
}
}  // namespace

void ScriptedEngine::AddStep(ThreadNumber thread, std::function<void()> step) {
  {
    std::lock_guard lock(mutex_);
    steps_[thread].push_back(std::move(step));
  }
  Wake(thread);
}

void ScriptedEngine::SetMessageResponder(std::function<int32_t(const MessageRequest&)> responder) {
  std::lock_guard lock(mutex_);
  message_responder_ = std::move(responder);
}

void ScriptedEngine::SetPopupResponder(std::function<int32_t(const PopupMenu&)> responder) {
  std::lock_guard lock(mutex_);
  popup_responder_ = std::move(responder);
}

void ScriptedEngine::FailOpening(std::string name) {
  std::lock_guard lock(mutex_);
  fail_opening_.insert(std::move(name));
}

void ScriptedEngine::RefuseAccept(WindowId window, int32_t control) {
  std::lock_guard lock(mutex_);
  if (ScriptWindow* w = Find(window)) w->refused.insert(control);
}

void ScriptedEngine::Type(WindowId window, int32_t control, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (ScriptWindow* w = Find(window)) w->screen[control] = std::string(text);
}

void ScriptedEngine::Click(WindowId window, int32_t control) {
  EngineInput::Post(window, EventRecord{Event::kAccepted, control});
}

std::vector<std::string> ScriptedEngine::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void ScriptedEngine::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

std::string ScriptedEngine::ScreenText(WindowId window, int32_t control) const {
  std::lock_guard lock(mutex_);
  const ScriptWindow* w = Find(window);
  if (w == nullptr) return {};
  auto it = w->screen.find(control);
  return it == w->screen.end() ? std::string() : it->second;
}

WindowId ScriptedEngine::WindowNamed(std::string_view name) const {
  std::lock_guard lock(mutex_);
  WindowId found = 0;
  for (const auto& [id, w] : windows_) {
    if (w.description.name == name) found = id;
  }
  return found;
}

bool ScriptedEngine::IsOpen(WindowId window) const {
  std::lock_guard lock(mutex_);
  const ScriptWindow* w = Find(window);
  return w != nullptr && w->open;
}

int32_t ScriptedEngine::TimerOf(WindowId window) const {
  std::lock_guard lock(mutex_);
  const ScriptWindow* w = Find(window);
  return w == nullptr ? 0 : w->timer;
}

int32_t ScriptedEngine::Beeps() const {
  std::lock_guard lock(mutex_);
  return beeps_;
}

void ScriptedEngine::Write(std::string line) {
  std::lock_guard lock(mutex_);
  log_.push_back(std::move(line));
}

ThreadWaiter& ScriptedEngine::WaiterOf(ThreadNumber thread) {
  std::lock_guard lock(waiters_mutex_);
  auto& w = waiters_[thread];
  if (!w) w = std::make_unique<ThreadWaiter>();
  return *w;
}

ScriptedEngine::ScriptWindow* ScriptedEngine::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const ScriptedEngine::ScriptWindow* ScriptedEngine::Find(WindowId window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

void ScriptedEngine::ThreadStarted(ThreadNumber thread) {
  (void)WaiterOf(thread);
  Write("thread start " + N(thread));
}

void ScriptedEngine::ThreadEnded(ThreadNumber thread) {
  Write("thread end " + N(thread));
}

void ScriptedEngine::Wait(ThreadNumber thread) {
  std::function<void()> step;
  {
    std::lock_guard lock(mutex_);
    auto it = steps_.find(thread);
    if (it != steps_.end() && !it->second.empty()) {
      step = std::move(it->second.front());
      it->second.pop_front();
    }
  }
  if (step) {
    step();
    return;
  }
  WaiterOf(thread).Wait();
}

void ScriptedEngine::Wake(ThreadNumber thread) {
  WaiterOf(thread).Wake();
}

bool ScriptedEngine::OpenWindow(WindowId window, ThreadNumber owner, WindowId parent,
                                const WindowDescription& description) {
  std::lock_guard lock(mutex_);
  log_.push_back("open " + description.name + " " + N(window));
  if (fail_opening_.count(description.name) != 0) return false;
  ScriptWindow& w = windows_[window];
  w.description = description;
  w.owner = owner;
  w.parent = parent;
  for (const ControlDescription& c : description.controls) w.screen[c.number] = c.text;
  return true;
}

void ScriptedEngine::CloseWindow(WindowId window) {
  std::lock_guard lock(mutex_);
  log_.push_back("close " + N(window));
  if (ScriptWindow* w = Find(window)) {
    w->open = false;
    w->timer = 0;
  }
}

bool ScriptedEngine::CreateControl(WindowId window, const ControlDescription& control) {
  std::lock_guard lock(mutex_);
  log_.push_back("create " + N(window) + " " + N(control.number));
  ScriptWindow* w = Find(window);
  if (w == nullptr) return false;
  w->description.controls.push_back(control);
  w->screen[control.number] = control.text;
  return true;
}

void ScriptedEngine::DestroyControl(WindowId window, int32_t control) {
  std::lock_guard lock(mutex_);
  log_.push_back("destroy " + N(window) + " " + N(control));
  if (ScriptWindow* w = Find(window)) {
    std::erase_if(w->description.controls, [&](const auto& c) { return c.number == control; });
    w->screen.erase(control);
  }
}

void ScriptedEngine::SetProperty(WindowId window, int32_t control, Prop prop, int32_t index,
                                 std::string_view value) {
  std::lock_guard lock(mutex_);
  if (ScriptWindow* w = Find(window)) {
    w->props[{control, prop, index}] = std::string(value);
    if (prop == Prop::kText) w->screen[control] = std::string(value);
  }
}

std::string ScriptedEngine::GetProperty(WindowId window, int32_t control, Prop prop,
                                        int32_t index) {
  std::lock_guard lock(mutex_);
  ScriptWindow* w = Find(window);
  if (w == nullptr) return {};
  if (prop == Prop::kText) return w->screen[control];
  if (prop == Prop::kKind) {
    const ControlDescription* c = FindControl(w->description, control);
    return c != nullptr ? N(static_cast<int32_t>(c->kind)) : std::string();
  }
  auto it = w->props.find({control, prop, index});
  return it == w->props.end() ? std::string() : it->second;
}

void ScriptedEngine::Display(WindowId window, int32_t control) {
  std::lock_guard lock(mutex_);
  log_.push_back("display " + N(window) + " " + N(control));
  ScriptWindow* w = Find(window);
  if (w == nullptr) return;
  for (const ControlDescription& c : w->description.controls) {
    if ((control == 0 || c.number == control) && Bound(c)) {
      w->screen[c.number] = AccessorOf(c)->GetText();
    }
  }
}

void ScriptedEngine::Update(WindowId window, int32_t control) {
  std::lock_guard lock(mutex_);
  log_.push_back("update " + N(window) + " " + N(control));
  ScriptWindow* w = Find(window);
  if (w == nullptr) return;
  for (const ControlDescription& c : w->description.controls) {
    if ((control == 0 || c.number == control) && Bound(c)) {
      AccessorOf(c)->SetText(w->screen[c.number]);
    }
  }
}

void ScriptedEngine::Select(WindowId window, int32_t control) {
  Write("select " + N(window) + " " + N(control));
  EngineInput::NoteFocus(window, control);
}

bool ScriptedEngine::CanAccept(WindowId window, int32_t control) {
  bool refused = false;
  {
    std::lock_guard lock(mutex_);
    log_.push_back("accept " + N(window) + " " + N(control));
    ScriptWindow* w = Find(window);
    if (w == nullptr) return false;
    refused = w->refused.count(control) != 0;
    if (!refused) {
      for (const ControlDescription& c : w->description.controls) {
        if (c.number == control && Bound(c)) AccessorOf(c)->SetText(w->screen[c.number]);
      }
    }
  }
  if (refused) EngineInput::Post(window, EventRecord{Event::kRejected, control});
  return !refused;
}

void ScriptedEngine::SetTimer(WindowId window, int32_t hundredths) {
  std::lock_guard lock(mutex_);
  log_.push_back("timer " + N(window) + " " + N(hundredths));
  if (ScriptWindow* w = Find(window)) w->timer = hundredths;
}

void ScriptedEngine::SetListRows(WindowId window, int32_t control, const ListRows* rows) {
  Write("rows " + N(window) + " " + N(control) + (rows == nullptr ? " none" : ""));
}

int32_t ScriptedEngine::Message(const MessageRequest& request) {
  std::function<int32_t(const MessageRequest&)> responder;
  {
    std::lock_guard lock(mutex_);
    log_.push_back("message " + request.caption + ": " + request.text);
    responder = message_responder_;
  }
  if (responder) return responder(request);
  return request.default_button != 0 ? request.default_button
                                     : (request.buttons & -request.buttons);
}

int32_t ScriptedEngine::Popup(WindowId window, const PopupMenu& menu,
                              std::optional<ScreenPoint> at) {
  (void)at;
  std::function<int32_t(const PopupMenu&)> responder;
  {
    std::lock_guard lock(mutex_);
    log_.push_back("popup " + N(window) + " " + N(menu.item_count));
    responder = popup_responder_;
  }
  return responder ? responder(menu) : 0;
}

void ScriptedEngine::Beep() {
  std::lock_guard lock(mutex_);
  log_.push_back("beep");
  ++beeps_;
}

void ScriptedEngine::SetCursor(CursorKind cursor) {
  Write("cursor " + N(static_cast<int32_t>(cursor)));
}

void ScriptedEngine::Help(WindowId window, std::string_view help_id) {
  Write("help " + N(window) + " " + std::string(help_id));
}

void ScriptedEngine::KeysPressed() {
  std::string keys;
  for (const PressedKey& k : EngineInput::TakePressedKeys()) keys += " " + N(k.keycode);
  Write("pressed" + keys);
}

}  // namespace pellucor::runtime
