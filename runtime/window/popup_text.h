// Popup menu text: the one text a popup menu is given. Items are separated by "|"; an item "-" is
// a separator; in front of an item's text, "~" disables it, "+" ticks it, and
// "[" property "(" icon ")]" gives it an icon (the property as the program wrote it, normally the
// icon property's number); "{" starts a submenu whose first item is the submenu's own title, and
// "}" ends it:
//
//   "&Insert|~&Change|-|{&Query|[6(~QkLoad.ico)]Saved|+Empty}|&Select"
//
// Choosable items are numbered from 1 in the order they appear, submenus included; separators and
// submenu titles take no number. The popup returns that number, or 0 when nothing was chosen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::runtime {

struct PopupEntry {
  enum class Kind : uint8_t { kItem, kSeparator, kSubmenu };
  Kind kind = Kind::kItem;
  std::string text;  // "&" before the mnemonic; a submenu's title
  bool disabled = false;
  bool checked = false;
  std::string icon_property;         // as written between "[" and "("; empty without an icon
  std::string icon;                  // "~QkLoad.ico"
  int32_t number = 0;                // items: the number the popup returns; 0 for the others
  std::vector<PopupEntry> children;  // submenus
};

struct PopupMenu {
  std::vector<PopupEntry> entries;
  int32_t item_count = 0;
  bool ok = false;
  std::string error;
  size_t position = 0;
};

[[nodiscard]] PopupMenu ParsePopupText(std::string_view text);

// The text of item `number` (without "&"), or empty when there is none; for tests and traces.
std::string PopupItemText(const PopupMenu& menu, int32_t number);

}  // namespace pellucor::runtime
