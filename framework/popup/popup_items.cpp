// The popup's items: adding, finding, changing and removing them by name.
#include <algorithm>
#include <cctype>
#include <utility>

#include "framework/popup/popup_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// The program's own icons are named with a leading "~"; the menu text adds it back.
std::string IconName(std::string_view icon) {
  while (!icon.empty() && icon.front() == '~') icon.remove_prefix(1);
  return std::string(icon);
}

}  // namespace

void PopupManager::Init(IniManager* ini, TextTranslator* translator) {
  INIMGR = ini;
  TRANSLATOR = translator;
  MYTHREAD = runtime::THREAD();
  THISWINDOW = runtime::CurrentWindow();
  PARENTWINDOW = THISWINDOW;
  POPUPITEMS.clear();
  LASTSELECTION.clear();
  INTOOLBOX = false;
  refreshers_.clear();
  depth_ = 0;
}

void PopupManager::Kill() {
  POPUPITEMS.clear();
  refreshers_.clear();
  LASTSELECTION.clear();
  depth_ = 0;
}

std::string PopupManager::NameFromText(std::string_view text) {
  std::string name;
  for (char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) name += c;
  }
  return name;
}

size_t PopupManager::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < POPUPITEMS.size(); ++i) {
    if (SameName(POPUPITEMS[i].NAME, name)) return i;
  }
  return POPUPITEMS.size();
}

size_t PopupManager::EndOf(size_t index) const {
  size_t end = index + 1;
  while (end < POPUPITEMS.size() && POPUPITEMS[end].DEPTH > POPUPITEMS[index].DEPTH) ++end;
  return end;
}

const PopupItem* PopupManager::Item(std::string_view name) const {
  const size_t i = IndexOf(name);
  return i < POPUPITEMS.size() ? &POPUPITEMS[i] : nullptr;
}

PopupItem* PopupManager::Find(std::string_view name) {
  const size_t i = IndexOf(name);
  return i < POPUPITEMS.size() ? &POPUPITEMS[i] : nullptr;
}

std::string PopupManager::UniqueName(std::string_view wanted, std::string_view text,
                                     bool separator) const {
  std::string base(wanted);
  if (base.empty()) base = separator ? "Separator" : NameFromText(text);
  if (base.empty()) base = "Item";
  // An unnamed separator is always numbered; any other name only when it is taken.
  const bool numbered = separator && wanted.empty();
  if (!numbered && IndexOf(base) == POPUPITEMS.size()) return base;
  for (int n = numbered ? 1 : 2;; ++n) {
    std::string name = base + std::to_string(n);
    if (IndexOf(name) == POPUPITEMS.size()) return name;
  }
}

std::string PopupManager::Insert(size_t position, PopupItem item, std::string_view wanted) {
  item.NAME = UniqueName(wanted, item.TEXT, item.TEXT == kPopupSeparator);
  item.ICON = IconName(item.ICON);
  std::string name = item.NAME;
  POPUPITEMS.insert(POPUPITEMS.begin() + static_cast<std::ptrdiff_t>(position), std::move(item));
  return name;
}

std::string PopupManager::AddItem(std::string_view text, std::string_view name) {
  PopupItem item;
  item.DEPTH = depth_;
  item.TEXT = std::string(text);
  return Insert(POPUPITEMS.size(), std::move(item), name);
}

std::string PopupManager::AddItemAfter(std::string_view after, std::string_view text,
                                       std::string_view name) {
  const size_t i = IndexOf(after);
  if (i == POPUPITEMS.size()) return AddItem(text, name);
  PopupItem item;
  item.DEPTH = POPUPITEMS[i].DEPTH;
  item.TEXT = std::string(text);
  return Insert(EndOf(i), std::move(item), name);
}

std::string PopupManager::AddSeparator(std::string_view name) {
  return AddItem(kPopupSeparator, name);
}

std::string PopupManager::AddSeparatorAfter(std::string_view after, std::string_view name) {
  return AddItemAfter(after, kPopupSeparator, name);
}

std::string PopupManager::AddMirroredItem(std::string_view name, int32_t button,
                                          std::string_view text, uint8_t mode) {
  PopupItem item;
  item.DEPTH = depth_;
  item.CONTROLID = button;
  item.EVENT = static_cast<int32_t>(runtime::Event::kAccepted);
  item.MIMICMODE = mode;
  item.TEXT = std::string(text);
  if (text.empty()) item.MIMICMODE |= mimic::kText;
  std::string wanted(name);
  if (wanted.empty() && text.empty()) wanted = "Button" + std::to_string(button);
  return Insert(POPUPITEMS.size(), std::move(item), wanted);
}

std::string PopupManager::AddSubMenu(std::string_view text, std::string_view name) {
  std::string made = AddItem(text, name);
  ++depth_;
  return made;
}

void PopupManager::EndSubMenu() {
  if (depth_ > 0) --depth_;
}

bool PopupManager::SetItemEvent(std::string_view name, int32_t event, int32_t control) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->EVENT = event;
  item->CONTROLID = control;
  return true;
}

bool PopupManager::DeleteItem(std::string_view name) {
  const size_t i = IndexOf(name);
  if (i == POPUPITEMS.size()) return false;
  POPUPITEMS.erase(POPUPITEMS.begin() + static_cast<std::ptrdiff_t>(i),
                   POPUPITEMS.begin() + static_cast<std::ptrdiff_t>(EndOf(i)));
  return true;
}

bool PopupManager::SetText(std::string_view name, std::string_view text) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->TEXT = std::string(text);
  item->MIMICMODE &= static_cast<uint8_t>(~mimic::kText);
  return true;
}

bool PopupManager::SetIcon(std::string_view name, std::string_view icon) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->ICON = IconName(icon);
  return true;
}

bool PopupManager::SetItemEnabled(std::string_view name, bool enabled) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->DISABLED = !enabled;
  return true;
}

bool PopupManager::SetItemChecked(std::string_view name, bool checked) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->CHECK = checked;
  return true;
}

bool PopupManager::SetOnToolbox(std::string_view name, bool on) {
  PopupItem* item = Find(name);
  if (item == nullptr) return false;
  item->ONTOOLBOX = on;
  return true;
}

void PopupManager::SetRefresher(const void* owner, std::function<void()> refresh) {
  RemoveRefresher(owner);
  refreshers_.push_back({owner, std::move(refresh)});
}

void PopupManager::RemoveRefresher(const void* owner) {
  std::erase_if(refreshers_, [&](const Refresher& r) { return r.owner == owner; });
}

}  // namespace pellucor::framework
