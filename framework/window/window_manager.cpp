// The window manager's life and its dispatcher; the record-form protocol is in record_form.cpp.
#include "framework/window/window_manager.h"

#include <cstring>

#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "framework/resize/window_resizer.h"
#include "runtime/event/event.h"
#include "runtime/event/key_codes.h"
#include "runtime/event/window.h"
#include "runtime/window/control_kind.h"

namespace pellucor::framework {

using runtime::Event;

Level WindowManager::Ask() {
  if (DEAD) return Level::Proceed;
  LASTINSERTEDPOSITION.clear();
  runtime::AcceptLoop loop;
  while (loop.Accept()) {
    const Level level = HandleEvent();
    if (level == Level::Fatal) break;
    if (level == Level::Notified) {
      loop.Continue();
      continue;
    }
  }
  return Level::Proceed;
}

Level WindowManager::Init() {
  ORIGINALREQUEST = REQUEST;
  BROWSES.clear();
  BUTTONS.clear();
  FILEDROPS.clear();
  // The right click (or its release) that opened the popup starting this procedure must not
  // reach its first window as well.
  if (const int32_t key = runtime::KEYCODE();
      key == runtime::key::kMouseRight || key == runtime::key::kMouseRightUp) {
    runtime::SETKEYCODE(0);
  }
  INSERTACTION = 2;
  DELETEACTION = 2;
  CHANGEACTION = 1;
  CANCELACTION = 3;
  AUTOTOOLBAR = true;
  AUTOREFRESH = true;
  return Level::Proceed;
}

Level WindowManager::Kill() {
  if (DEAD) return Level::Notified;
  for (WindowPart* part : Parts()) part->KillPart();
  BROWSES.clear();
  FILEDROPS.clear();
  BUTTONS.clear();
  HISTORY.clear();
  for (FileBuffer& f : FILES) {
    if (f.saved != 0) f.file->DropSnapshot(f.saved);
    f.saved = 0;
  }
  FILES.clear();
  if (FileManager* primary = PrimaryFile(); primary != nullptr && SAVED != 0) {
    primary->DropSnapshot(SAVED);
  }
  SAVED = 0;
  if (TOOLBAR != nullptr) TOOLBAR->KillToolbar();
  if (RESIZE != nullptr) (void)RESIZE->Kill();
  DEAD = true;
  return Level::Proceed;
}

void WindowManager::SetupWindow() {
  if (TRANSLATOR != nullptr) TRANSLATOR->TranslateWindow();
  Reset(false);
  INITED |= 1;
}

void WindowManager::FillNewRecord() {}

void WindowManager::Reset(bool force) {
  if (FORCEDRESET) force = true;
  FORCEDRESET = false;
  for (WindowPart* part : Parts()) part->ResetFromWindow(force);
  runtime::DISPLAY();
}

void WindowManager::RecallDitto(int32_t control) {
  for (HistoryRow& row : HISTORY) {
    if (row.control != control || row.field.address == nullptr) continue;
    if (row.saved.size() == row.field.size) {
      std::memcpy(row.field.address, row.saved.data(), row.saved.size());
      runtime::DISPLAY(control);
    }
    return;
  }
}

uint8_t WindowManager::Run() {
  if (Init() == Level::Proceed) (void)Ask();
  (void)Kill();
  return RESPONSE == response::kNone ? response::kCancelled : RESPONSE;
}

uint8_t WindowManager::RunProcedure(uint16_t, uint8_t) {
  return response::kCancelled;
}

void WindowManager::RegisterAlertKeys() {
  for (WindowPart* browse : BROWSES) browse->RegisterKeys();
  if (HISTORYKEY != 0 && !HISTORY.empty()) runtime::ALERT(HISTORYKEY);
}

void WindowManager::FinishWith(uint8_t response) {
  RESPONSE = response;
  runtime::PostEvent(Event::kCloseWindow);
  if (response == response::kCancelled && TOOLBAR != nullptr && VCRREQUEST != nullptr) {
    *VCRREQUEST = 0;
  }
}

Level WindowManager::HandleAccepted() {
  const int32_t control = runtime::AcceptedControl();
  if (TOOLBAR != nullptr) {
    TOOLBAR->TakeAccepted(control);
    if (control == kToolbarHistoryButton) RecallDitto(runtime::FocusControl());
  }
  for (const ButtonResponse& b : BUTTONS) {
    if (b.control == control) {
      FinishWith(b.response);
      return Level::Notified;
    }
  }
  if (control != 0 && control == OKCONTROL) {
    if (ORIGINALREQUEST == request::kInsert || ORIGINALREQUEST == request::kChange) {
      // The accept-all pass checks every field and ends in "EVENT:Completed".
      runtime::SELECT();
    } else {
      runtime::PostEvent(Event::kCompleted);
    }
  }
  return Level::Proceed;
}

Level WindowManager::HandleEvent() {
  const int32_t control = runtime::FIELD();
  if (control == 0) {
    if (const Level level = HandleWindowEvent(); level != Level::Proceed) return level;
  }
  Level level = Level::Proceed;
  switch (runtime::EVENT()) {
    case Event::kAccepted:
      level = HandleAccepted();
      break;
    case Event::kRejected:
      level = HandleRejected();
      break;
    case Event::kSelected:
      level = HandleSelected();
      break;
    case Event::kNewSelection:
      level = HandleNewSelection();
      break;
    case Event::kAlertKey:
      if (HISTORYKEY != 0 && runtime::KEYCODE() == HISTORYKEY) {
        RecallDitto(runtime::FocusControl());
      }
      break;
    default:
      break;
  }
  if (level != Level::Proceed) return level;
  if (control != 0) {
    if (level = HandleFieldEvent(); level != Level::Proceed) return level;
  }
  for (WindowPart* part : Parts()) {
    if (level = part->TakeEvent(); level != Level::Proceed) return level;
  }
  if (AUTOREFRESH) {
    for (WindowPart* browse : BROWSES) {
      if (browse->NeedsRefresh()) browse->Refresh();
    }
  }
  return Level::Proceed;
}

Level WindowManager::HandleFieldEvent() {
  return Level::Proceed;
}

Level WindowManager::HandleNewSelection() {
  const int32_t control = runtime::FIELD();
  const std::string kind = runtime::GetProperty(control, runtime::Prop::kKind);
  if (kind == std::to_string(static_cast<int32_t>(runtime::ControlKind::kSheet))) {
    Reset(false);
    if (AUTOTOOLBAR && TOOLBAR != nullptr) TOOLBAR->TabChanged(control);
  }
  return Level::Proceed;
}

Level WindowManager::HandleRejected() {
  const int32_t control = runtime::FIELD();
  runtime::BEEP();
  runtime::DISPLAY(control);
  runtime::SELECT(control);
  return Level::Proceed;
}

Level WindowManager::HandleSelected() {
  return Level::Proceed;
}

Level WindowManager::HandleWindowEvent() {
  switch (runtime::EVENT()) {
    case Event::kOpenWindow:
      if ((INITED & 1) == 0) SetupWindow();
      if (FIRSTFIELD != 0) runtime::SELECT(FIRSTFIELD);
      break;
    case Event::kLoseFocus:
      if (RESETONGAINFOCUS) FORCEDRESET = true;
      break;
    case Event::kGainFocus:
      if ((INITED & 1) != 0) {
        Reset(false);
      } else {
        SetupWindow();
      }
      break;
    case Event::kSized:
      // The registered resizer lays the controls out for the new size.
      if (RESIZE != nullptr) (void)RESIZE->Resize();
      if ((INITED & 2) != 0) {
        Reset(false);
      } else {
        INITED |= 2;  // the first sizing is the window's opening
      }
      break;
    case Event::kCompleted:
      return HandleCompleted();
    case Event::kCloseWindow:
    case Event::kCloseDown:
      return HandleCloseEvent();
    default:
      break;
  }
  return Level::Proceed;
}

void WindowManager::UpdateBrowses() {
  for (WindowPart* browse : BROWSES) browse->TakeScreenValues();
}

void WindowManager::AddHistory(int32_t control, runtime::AnyRef field) {
  HISTORY.push_back({control, field, {}});
}

FileManager* WindowManager::PrimaryFile() const {
  return PRIMARY != nullptr ? PRIMARY->ME : nullptr;
}

std::vector<WindowPart*> WindowManager::Parts() const {
  std::vector<WindowPart*> parts = BROWSES;
  parts.insert(parts.end(), FILEDROPS.begin(), FILEDROPS.end());
  return parts;
}

}  // namespace pellucor::framework
