// The popup manager: the menu a browse or form opens with the right mouse button. Its items copy
// the window's own buttons (a chosen mirrored item posts "EVENT:Accepted" to its button, so no
// action is implemented twice), or stand for themselves (the caller acts on the name that Ask
// returns), and may sit in submenus.
//
//   PopupManager popup;
//   popup.Init();                                        // on the window it serves
//   popup.AddMirroredItem("Insert", 8, "&Insert");       // follows button 8
//   popup.AddSeparator("Separator2");
//   popup.AddSubMenu("&Query");                          // the items up to EndSubMenu go in it
//   popup.AddMirroredItem("Query", 17, "&Query");
//   popup.EndSubMenu();
//   std::string chosen = popup.Ask();                    // "" when nothing was chosen
//
// Items are kept in menu order, each with its submenu DEPTH: an item followed by deeper items is
// the title of the submenu those items form. The runtime's POPUP takes the menu as one text
// (runtime/window/popup_text.h), which Ask builds afresh every time from the items and from the
// present state of the mirrored buttons.
//
// Names identify items. A name not given is made from the text by keeping only the letters A-Z,
// a-z and the digits 0-9 ("&Insert" is Insert); a separator without a name is called Separator1,
// Separator2, ...; a name that is taken (compared without regard to case) gets a number appended,
// so every item's name is unique and the Add operations return the name the item got.
//
// REQUIRES: callers hold the run lock; Ask runs on the thread that owns the window it serves, with
// that window current (the mirrored buttons are looked up on it).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/event/engine.h"

namespace pellucor::framework {

class IniManager;
class TextTranslator;

// MIMICMODE: how a mirrored item follows its button, as bits.
namespace mimic {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kDisable = 1;  // disabled while the button is disabled
inline constexpr uint8_t kHide = 2;     // left out while the button is hidden or does not exist
inline constexpr uint8_t kText = 4;     // shows the button's present text
inline constexpr uint8_t kFollow = kDisable | kHide;
}  // namespace mimic

// The text of a separator item.
inline constexpr std::string_view kPopupSeparator = "-";

struct PopupItem {
  int32_t CONTROLID = 0;  // the button it copies (mirrored items); 0 for none
  int32_t DEPTH = 0;      // submenu level, 0 at the top
  int32_t EVENT = 0;      // event posted to CONTROLID when chosen (runtime::Event); 0 for none
  uint8_t MIMICMODE = mimic::kNone;
  bool DISABLED = false;
  bool CHECK = false;
  bool ONTOOLBOX = false;  // the item is offered in the toolbox as well
  std::string ICON;        // the program's own icon, without the leading "~"; empty for none
  std::string NAME;
  std::string TEXT;  // "&" before the mnemonic; "-" for a separator
};

class PopupManager {
 public:
  PopupManager() = default;
  virtual ~PopupManager() = default;
  PopupManager(const PopupManager&) = delete;
  PopupManager& operator=(const PopupManager&) = delete;

  // On the thread and with the window current that the popup serves: remembers both and starts
  // with no items. `ini` and `translator` may be null.
  virtual void Init(IniManager* ini = nullptr, TextTranslator* translator = nullptr);
  // Lets go of every item and every refresher.
  virtual void Kill();

  // Shows the menu at `at` (none: at the mouse) and returns the chosen item's name, "" when the
  // menu was dismissed (or Ask was called on another thread than Init's: nothing is shown). Every
  // refresher runs first (the items of a query may have changed). The chosen item's event goes to
  // its control. LASTSELECTION keeps the name; with CLEARKEYCODE the mouse key that opened the menu
  // is forgotten, so that it does not act a second time.
  virtual std::string Ask(std::optional<runtime::ScreenPoint> at = std::nullopt);

  // --- Building the menu ---

  // Appends an item at the present depth (inside the submenu AddSubMenu opened, if any).
  std::string AddItem(std::string_view text, std::string_view name = {});
  // Puts an item right after item `after` and that item's submenu, at its depth. Appends (as
  // AddItem) when there is no such item.
  std::string AddItemAfter(std::string_view after, std::string_view text,
                           std::string_view name = {});
  std::string AddSeparator(std::string_view name = {});
  std::string AddSeparatorAfter(std::string_view after, std::string_view name = {});
  // An item that copies `button`: it is disabled and hidden with the button (and hidden while the
  // window has no such control), and choosing it posts "EVENT:Accepted" to the button. Without a
  // text it shows the button's own text. `name` may be empty (made from the text, or the button's
  // number when there is no text).
  std::string AddMirroredItem(std::string_view name, int32_t button, std::string_view text = {},
                              uint8_t mode = mimic::kFollow);
  // Appends a submenu title; the items added after it, up to EndSubMenu, form the submenu. A
  // submenu whose items are all hidden is left out of the menu.
  std::string AddSubMenu(std::string_view text, std::string_view name = {});
  void EndSubMenu();

  // Choosing item `name` posts `event` to `control` of the window.
  bool SetItemEvent(std::string_view name, int32_t event, int32_t control);
  // Removes the item and, for a submenu title, the whole submenu.
  bool DeleteItem(std::string_view name);
  bool SetText(std::string_view name, std::string_view text);
  bool SetIcon(std::string_view name, std::string_view icon);
  bool SetItemEnabled(std::string_view name, bool enabled);
  bool SetItemChecked(std::string_view name, bool checked);
  bool SetOnToolbox(std::string_view name, bool on);

  // The item, or null. The pointer is good until the items change.
  [[nodiscard]] const PopupItem* Item(std::string_view name) const;
  [[nodiscard]] bool HasItem(std::string_view name) const { return Item(name) != nullptr; }

  // The menu text for the items as they stand now (mirrored items looked up on the current
  // window). `order`, when given, receives the names of the numbered items in number order: the
  // runtime's POPUP returns n for the item order[n - 1]. Empty when nothing is to be shown.
  [[nodiscard]] std::string PopupText(std::vector<std::string>* order = nullptr) const;

  // A refresher brings the items of one owner up to date before the menu is shown (a query
  // re-reads its saved queries). One per owner; RemoveRefresher before the owner goes away.
  void SetRefresher(const void* owner, std::function<void()> refresh);
  void RemoveRefresher(const void* owner);

  // The name a text gives an item: its letters A-Z, a-z and digits 0-9.
  [[nodiscard]] static std::string NameFromText(std::string_view text);

  // --- Fields, in order ---

  bool CLEARKEYCODE = true;              // forget the opening mouse key after Ask
  std::string LASTSELECTION;             // the name of the item chosen last
  std::vector<PopupItem> POPUPITEMS;     // in menu order
  TextTranslator* TRANSLATOR = nullptr;  // not owned
  IniManager* INIMGR = nullptr;          // not owned
  bool INTOOLBOX = false;                // the items are being shown in the toolbox
  int32_t MYTHREAD = 0;                  // the program thread the popup serves
  runtime::WindowId PARENTWINDOW = 0;    // the window the toolbox would belong to
  runtime::WindowId THISWINDOW = 0;      // the window the popup serves

 private:
  // The index of item `name`, or POPUPITEMS.size().
  [[nodiscard]] size_t IndexOf(std::string_view name) const;
  // One past the last item of the submenu item `index` heads (index + 1 for a plain item).
  [[nodiscard]] size_t EndOf(size_t index) const;
  // `wanted` if free, else made unique by a number; `base` when `wanted` is empty.
  [[nodiscard]] std::string UniqueName(std::string_view wanted, std::string_view text,
                                       bool separator) const;
  std::string Insert(size_t position, PopupItem item, std::string_view wanted);
  PopupItem* Find(std::string_view name);

  int32_t depth_ = 0;  // where AddItem puts items: inside AddSubMenu's submenus
  struct Refresher {
    const void* owner = nullptr;
    std::function<void()> refresh;
  };
  std::vector<Refresher> refreshers_;
};

}  // namespace pellucor::framework
