// The popup's menu text and Ask: the items become the one text the runtime's POPUP takes, with
// mirrored items following the present state of their buttons.
#include <string>

#include "framework/popup/popup_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/window/properties.h"

namespace pellucor::framework {

namespace {

struct Shown {
  bool hidden = false;
  bool disabled = false;
  std::string text;
};

// An item as it is to be shown now. A mirrored item asks its button (on the current window).
Shown Look(const PopupItem& item) {
  Shown s{false, item.DISABLED, item.TEXT};
  if (item.CONTROLID == 0 || item.MIMICMODE == mimic::kNone || runtime::CurrentWindow() == 0) {
    return s;
  }
  const std::string kind = runtime::GetProperty(item.CONTROLID, runtime::Prop::kKind);
  const bool exists = !kind.empty() && kind != "0";
  if ((item.MIMICMODE & mimic::kHide) != 0 &&
      (!exists || runtime::GetProperty(item.CONTROLID, runtime::Prop::kHide) == "1")) {
    s.hidden = true;
  }
  if ((item.MIMICMODE & mimic::kDisable) != 0 && exists &&
      runtime::GetProperty(item.CONTROLID, runtime::Prop::kDisable) == "1") {
    s.disabled = true;
  }
  if ((item.MIMICMODE & mimic::kText) != 0 && exists) {
    s.text = runtime::GetProperty(item.CONTROLID, runtime::Prop::kText);
  }
  return s;
}

// The menu text has no escapes: "|", "{" and "}" would end the item, and "~", "+" or "[" in
// front would be read as its flags or icon. Such characters in an item's own text (a saved
// query's name, a button's text) are shown as their nearest harmless look-alikes.
std::string MenuText(std::string_view text, std::string_view fallback) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '|':
        out += '/';
        break;
      case '{':
        out += '(';
        break;
      case '}':
        out += ')';
        break;
      default:
        out += c;
    }
  }
  while (!out.empty() && (out.front() == '~' || out.front() == '+' || out.front() == '[')) {
    out.erase(0, 1);
  }
  if (out.empty() || out == kPopupSeparator) out = fallback.empty() ? "?" : std::string(fallback);
  return out;
}

std::string Flags(const PopupItem& item, bool disabled) {
  std::string out;
  if (disabled) out += '~';
  if (item.CHECK) out += '+';
  if (!item.ICON.empty()) {
    out +=
        '[' + std::to_string(static_cast<int32_t>(runtime::Prop::kIcon)) + "(~" + item.ICON + ")]";
  }
  return out;
}

class Writer {
 public:
  Writer(const std::vector<PopupItem>& items, std::vector<std::string>* order)
      : items_(items), order_(order) {}

  // The entries of items [begin, end), joined with "|". Separators that would stand first, last
  // or next to another (their neighbours being hidden) are left out.
  std::string Level(size_t begin, size_t end) {
    std::vector<std::string> parts;
    bool last_was_separator = true;  // no separator at the start
    for (size_t i = begin; i < end;) {
      const PopupItem& item = items_[i];
      size_t next = i + 1;
      while (next < end && items_[next].DEPTH > item.DEPTH) ++next;
      const Shown shown = Look(item);
      if (!shown.hidden) {
        if (next > i + 1) {
          std::string inner = Level(i + 1, next);
          if (!inner.empty()) {
            parts.push_back("{" + Flags(item, shown.disabled) + MenuText(shown.text, item.NAME) +
                            "|" + inner + "}");
            last_was_separator = false;
          }
        } else if (item.TEXT == kPopupSeparator) {
          if (!last_was_separator) parts.emplace_back(kPopupSeparator);
          last_was_separator = true;
        } else {
          parts.push_back(Flags(item, shown.disabled) + MenuText(shown.text, item.NAME));
          if (order_ != nullptr) order_->push_back(item.NAME);
          last_was_separator = false;
        }
      }
      i = next;
    }
    if (!parts.empty() && parts.back() == kPopupSeparator) parts.pop_back();
    std::string out;
    for (const std::string& p : parts) {
      if (!out.empty()) out += '|';
      out += p;
    }
    return out;
  }

 private:
  const std::vector<PopupItem>& items_;
  std::vector<std::string>* order_;
};

}  // namespace

std::string PopupManager::PopupText(std::vector<std::string>* order) const {
  if (order != nullptr) order->clear();
  return Writer(POPUPITEMS, order).Level(0, POPUPITEMS.size());
}

std::string PopupManager::Ask(std::optional<runtime::ScreenPoint> at) {
  // The buttons an item mirrors are another thread's business on any other thread.
  if (MYTHREAD != 0 && runtime::THREAD() != MYTHREAD) return {};
  if (THISWINDOW == 0) THISWINDOW = runtime::CurrentWindow();
  // A refresher may change the list of refreshers' items, never the refreshers themselves.
  for (const Refresher& r : std::vector<Refresher>(refreshers_)) r.refresh();
  std::vector<std::string> order;
  const std::string text = PopupText(&order);
  int32_t chosen = 0;
  if (!text.empty()) chosen = runtime::POPUP(text, at);
  if (CLEARKEYCODE) runtime::SETKEYCODE(0);
  if (chosen < 1 || static_cast<size_t>(chosen) > order.size()) return {};
  LASTSELECTION = order[static_cast<size_t>(chosen) - 1];
  const PopupItem* item = Item(LASTSELECTION);
  // The state is looked at again: the button may have changed while the menu was up.
  if (item != nullptr && item->EVENT != 0 && item->CONTROLID != 0 && !Look(*item).disabled) {
    runtime::PostEvent(static_cast<runtime::Event>(item->EVENT), item->CONTROLID);
  }
  return LASTSELECTION;
}

}  // namespace pellucor::framework
