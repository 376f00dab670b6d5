#include "framework/browse/toolbar_manager.h"

#include <array>

#include "framework/browse/browse_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/key_codes.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

using runtime::Event;
namespace tb = toolbar_button;

// --- Tip tables ---

TipTable EncodeTips(std::span<const std::pair<int32_t, std::string>> tips) {
  TipTable table;
  table.push_back(static_cast<uint8_t>(std::min<size_t>(tips.size(), 255)));
  for (size_t i = 0; i < tips.size() && i < 255; ++i) {
    const auto& [control, text] = tips[i];
    const size_t length = std::min<size_t>(text.size(), 255);
    table.push_back(static_cast<uint8_t>(control & 0xFF));
    table.push_back(static_cast<uint8_t>((control >> 8) & 0xFF));
    table.push_back(static_cast<uint8_t>(length));
    table.insert(table.end(), text.begin(), text.begin() + static_cast<ptrdiff_t>(length));
  }
  return table;
}

std::vector<std::pair<int32_t, std::string>> DecodeTips(std::span<const uint8_t> table) {
  std::vector<std::pair<int32_t, std::string>> tips;
  if (table.empty()) return tips;
  size_t at = 1;
  for (uint8_t i = 0; i < table[0]; ++i) {
    if (at + 3 > table.size()) break;
    const int32_t control = table[at] | table[at + 1] << 8;
    const size_t length = table[at + 2];
    at += 3;
    if (at + length > table.size()) break;
    tips.emplace_back(control, std::string(table.begin() + static_cast<ptrdiff_t>(at),
                                           table.begin() + static_cast<ptrdiff_t>(at + length)));
    at += length;
  }
  return tips;
}

namespace {

TipTable Table(std::initializer_list<std::pair<int32_t, std::string>> tips) {
  const std::vector<std::pair<int32_t, std::string>> rows(tips);
  return EncodeTips(rows);
}

}  // namespace

const TipTable& FormTips() {
  static const TipTable table = Table({
      {tb::kBottom, "Save changes and go to last record"},
      {tb::kTop, "Save changes and go to first record"},
      {tb::kPageDown, "Save changes and page down to record"},
      {tb::kPageUp, "Save changes and page up to record"},
      {tb::kDown, "Save changes and go to next record"},
      {tb::kUp, "Save changes and go to previous record"},
      {tb::kInsert, "Save this record and add a new one"},
  });
  return table;
}

const TipTable& FormInsertTips() {
  static const TipTable table = Table({
      {tb::kInsert, "Save record and add another"},
      {tb::kDown, "Save record and add another"},
  });
  return table;
}

const TipTable& BrowseTips() {
  static const TipTable table = Table({
      {tb::kDown, "Go to the Next Record"},
      {tb::kBottom, "Go to the Last Page"},
      {tb::kTop, "Go to the First Page"},
      {tb::kPageDown, "Go to the Next Page"},
      {tb::kPageUp, "Go to the Prior Page"},
      {tb::kDown, "Go to the Next Record"},
      {tb::kUp, "Go to the Prior Record"},
      {tb::kInsert, "Insert a new Record"},
  });
  return table;
}

// --- The manager ---

namespace {

void Enable(int32_t button, bool on) {
  runtime::SetProperty(button, runtime::Prop::kDisable, on ? "" : "1");
}

// A button of the window that a user can press now.
bool Usable(int32_t button, bool must_show = false) {
  if (button == 0 || runtime::GetProperty(button, runtime::Prop::kKind).empty()) return false;
  if (runtime::GetProperty(button, runtime::Prop::kDisable) == "1") return false;
  return !must_show || runtime::GetProperty(button, runtime::Prop::kVisible) == "1";
}

}  // namespace

void ToolbarManager::Init(WindowManager& window) {
  WINDOW = &window;
  TARGETS.clear();
  has_current_ = false;
}

void ToolbarManager::Kill() {
  TARGETS.clear();
  has_current_ = false;
}

ToolbarTarget* ToolbarManager::AddTarget(BrowseManager& browse) {
  ToolbarTarget t;
  t.CONTROL = browse.LISTCONTROL;
  t.INSERTBUTTON = browse.INSERTCONTROL;
  t.CHANGEBUTTON = browse.CHANGECONTROL;
  t.DELETEBUTTON = browse.DELETECONTROL;
  t.SELECTBUTTON = browse.SELECTCONTROL;
  t.BROWSE = &browse;
  TARGETS.push_back(t);
  return &TARGETS.back();
}

ToolbarTarget* ToolbarManager::AddFormTarget(uint8_t request, bool history, int32_t help_button) {
  ToolbarTarget t;
  t.REQUEST = request;
  t.HISTORY = history;
  t.HELPBUTTON = help_button;
  TARGETS.push_back(t);
  return &TARGETS.back();
}

ToolbarTarget* ToolbarManager::Current() {
  return has_current_ && current_ < TARGETS.size() ? &TARGETS[current_] : nullptr;
}

void ToolbarManager::SetTarget(int32_t control) {
  for (size_t i = 0; i < TARGETS.size(); ++i) {
    if (TARGETS[i].CONTROL != control) continue;
    current_ = i;
    has_current_ = true;
    if (ToolbarTarget& t = TARGETS[i]; t.BROWSE != nullptr) {
      // The browse's buttons may have been set after it became a target.
      t.INSERTBUTTON = t.BROWSE->INSERTCONTROL;
      t.CHANGEBUTTON = t.BROWSE->CHANGECONTROL;
      t.DELETEBUTTON = t.BROWSE->DELETECONTROL;
      t.SELECTBUTTON = t.BROWSE->SELECTCONTROL;
    }
    DisplayButtons();
    return;
  }
}

void ToolbarManager::ShowTips(const TipTable& table) {
  for (const auto& [button, text] : DecodeTips(table)) {
    runtime::SetProperty(button, runtime::Prop::kTip, text);
  }
}

void ToolbarManager::DisplayButtons() {
  const ToolbarTarget* t = Current();
  if (t == nullptr) return;
  std::array<bool, kLastButton - kFirstButton + 1> on{};
  auto set = [&](int32_t first, int32_t last, bool value) {
    for (int32_t b = first; b <= last; ++b) on[static_cast<size_t>(b - kFirstButton)] = value;
  };
  if (t->CONTROL == 0) {
    switch (t->REQUEST) {
      case request::kInsert:
        // Both buttons save the new record and add another.
        set(tb::kInsert, tb::kInsert, true);
        set(tb::kDown, tb::kDown, true);
        break;
      case request::kChange:
        set(tb::kInsert, tb::kInsert, true);
        set(tb::kBottom, tb::kUp, true);
        break;
      default:
        break;
    }
    set(tb::kHistory, tb::kHistory, t->HISTORY);
    ShowTips(FormTips());
    if (t->REQUEST == request::kInsert) ShowTips(FormInsertTips());
  } else {
    set(tb::kInsert, tb::kInsert, Usable(t->INSERTBUTTON));
    set(tb::kChange, tb::kChange, Usable(t->CHANGEBUTTON));
    set(tb::kDelete, tb::kDelete, Usable(t->DELETEBUTTON));
    set(tb::kSelect, tb::kSelect, Usable(t->SELECTBUTTON, true));
    set(tb::kBottom, tb::kLocate, true);
    ShowTips(BrowseTips());
  }
  set(tb::kHelp, tb::kHelp, Usable(t->HELPBUTTON, true));
  for (int32_t b = kFirstButton; b <= kLastButton; ++b) {
    Enable(b, on[static_cast<size_t>(b - kFirstButton)]);
  }
  for (int32_t b = kFirstButton; b <= kLastButton; ++b) runtime::DISPLAY(b);
}

void ToolbarManager::TakeAccepted(int32_t control) {
  const ToolbarTarget* t = Current();
  if (t == nullptr || control < kFirstButton || control > kLastButton) return;
  if (control == tb::kHelp) {
    runtime::PRESS(runtime::key::kF1);
    return;
  }
  if (t->CONTROL == 0) {
    TakeFormButton(control);
  } else {
    TakeBrowseButton(*t, control);
  }
}

void ToolbarManager::TakeBrowseButton(const ToolbarTarget& t, int32_t button) {
  static constexpr std::array<Event, 6> kScroll = {Event::kScrollBottom, Event::kScrollTop,
                                                   Event::kPageDown,     Event::kPageUp,
                                                   Event::kScrollDown,   Event::kScrollUp};
  switch (button) {
    case tb::kInsert:
    case tb::kChange:
    case tb::kDelete: {
      const int32_t target = button == tb::kInsert   ? t.INSERTBUTTON
                             : button == tb::kChange ? t.CHANGEBUTTON
                                                     : t.DELETEBUTTON;
      if (Usable(target)) runtime::PostEvent(Event::kAccepted, target);
      return;
    }
    case tb::kSelect:
      if (t.BROWSE != nullptr) t.BROWSE->UpdateBuffer();
      WINDOW->FinishWith(response::kCompleted);
      return;
    case tb::kLocate:
      runtime::PostEvent(Event::kLocate, t.CONTROL);
      return;
    default:
      break;
  }
  if (button >= tb::kBottom && button <= tb::kUp) {
    runtime::PostEvent(kScroll[static_cast<size_t>(button - tb::kBottom)], t.CONTROL);
  }
}

void ToolbarManager::TakeFormButton(int32_t button) {
  const bool navigation = button == tb::kInsert || (button >= tb::kBottom && button <= tb::kUp);
  if (!navigation || WINDOW == nullptr) return;
  if (WINDOW->VCRREQUEST != nullptr) *WINDOW->VCRREQUEST = button;
  // Completing the form saves the record; the browse that ran it then moves on.
  runtime::PostEvent(Event::kAccepted, WINDOW->OKCONTROL);
}

void ToolbarManager::TabChanged(int32_t) {
  for (const ToolbarTarget& t : TARGETS) {
    if (t.CONTROL != 0 && runtime::GetProperty(t.CONTROL, runtime::Prop::kVisible) == "1") {
      SetTarget(t.CONTROL);
      return;
    }
  }
}

}  // namespace pellucor::framework
