#include "framework/query/dialog_base.h"

#include "framework/error/error_manager.h"
#include "framework/ini/ini_manager.h"

namespace pellucor::framework::query_detail {

runtime::ControlDescription& AddControl(runtime::WindowDescription& d, int32_t number,
                                        runtime::ControlKind kind, std::string text,
                                        runtime::DialogRect at) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

Level DialogBase::OpenDialog(runtime::WindowDescription description) {
  if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
  name_ = description.name;
  title_ = description.title;
  if (ERRORS != nullptr) {
    ERRORS->PushProcedure(name_);
    pushed_ = true;
  }
  const runtime::WindowId over = runtime::CurrentWindow();
  window_ = std::make_unique<runtime::Window>(std::move(description));
  window_->Open(over);
  if (!window_->IsOpen()) return Level::Fatal;
  OPENED = true;
  if (ini_ != nullptr) ini_->FetchWindow(*window_, name_);
  return Level::Proceed;
}

Level DialogBase::Kill() {
  if (DEAD) return Level::Notified;
  const Level level = WindowManager::Kill();
  // The loop closes the window when the user closes it; Close then does nothing.
  if (window_ != nullptr && window_->IsOpen()) window_->Close();
  OPENED = false;
  if (pushed_) ERRORS->PopProcedure();
  pushed_ = false;
  return level;
}

Level DialogBase::HandleCloseEvent() {
  const Level level = WindowManager::HandleCloseEvent();
  if (level == Level::Proceed && ini_ != nullptr && window_ != nullptr && window_->IsOpen()) {
    ini_->UpdateWindow(*window_, name_);
  }
  return level;
}

runtime::WindowId DialogBase::WindowId() const {
  return window_ != nullptr && window_->IsOpen() ? window_->id() : 0;
}

void DialogBase::Tell(std::string_view text) {
  (void)runtime::MESSAGE(text, title_, runtime::MessageIcon::kExclamation, runtime::button::kOk);
}

bool DialogBase::Confirm(std::string_view text) {
  return runtime::MESSAGE(text, title_, runtime::MessageIcon::kQuestion,
                          runtime::button::kYes + runtime::button::kNo,
                          runtime::button::kNo) == runtime::button::kYes;
}

void DialogBase::Bind(runtime::WindowDescription& d, int32_t control, runtime::AnyRef use) {
  if (runtime::ControlDescription* c = runtime::FindControl(d, control)) c->use = use;
}

}  // namespace pellucor::framework::query_detail
