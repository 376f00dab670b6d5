// The toolbar manager: a toolbar of standard buttons (2000 to 2012) whose meaning follows what it
// currently serves, a browse list or a form. It turns its buttons into the events the browse and
// the window manager already handle, so no action is carried out twice:
//
//   button  on a browse                         on a form
//   2000    accepted to the insert button       save and add another
//   2001    accepted to the change button       -
//   2002    accepted to the delete button       -
//   2003    complete the window (select)        -
//   2004-9  scroll events 8, 7, 6, 5, 4, 3      save and go to the last, first, next page,
//                                               previous page, next, previous record
//   2010    event 9 (locate) to the list        -
//   2011    the focused control's ditto value (the window manager recalls it)
//   2012    the F1 key (help)
//
// A form's navigation buttons store their number in the window's VCRREQUEST and complete the
// form as its OK button does; the browse that ran the form then moves on and runs it again.
//
//   toolbar.Init(*this);                          // the procedure's window manager
//   browse.AddToolbarTarget(toolbar);             // a browse list it serves
//   toolbar.AddFormTarget(REQUEST, !HISTORY.empty(), help_button);   // or a form
//   TOOLBAR = &toolbar;
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "framework/window/window_parts.h"

namespace pellucor::framework {

class BrowseManager;
class WindowManager;

// One thing the toolbar can serve.
struct ToolbarTarget {
  int32_t CONTROL = 0;  // the browse's list box; 0 for the form
  int32_t HELPBUTTON = 0;
  int32_t INSERTBUTTON = 0;
  int32_t CHANGEBUTTON = 0;
  int32_t DELETEBUTTON = 0;
  int32_t SELECTBUTTON = 0;
  uint8_t REQUEST = 0;              // the form's request
  bool HISTORY = false;             // the form keeps ditto values
  BrowseManager* BROWSE = nullptr;  // not owned; browse targets only
};

// A tip table: a count byte, then per tip the control number (16 bits, low byte first), the
// text's length (a byte) and the text.
using TipTable = std::vector<uint8_t>;
[[nodiscard]] TipTable EncodeTips(std::span<const std::pair<int32_t, std::string>> tips);
// The tips of a table, in order. A table that ends inside a row yields the rows before it.
[[nodiscard]] std::vector<std::pair<int32_t, std::string>> DecodeTips(
    std::span<const uint8_t> table);

// The standard tip tables.
[[nodiscard]] const TipTable& FormTips();
[[nodiscard]] const TipTable& FormInsertTips();
[[nodiscard]] const TipTable& BrowseTips();

class ToolbarManager : public WindowToolbar {
 public:
  static constexpr int32_t kFirstButton = 2000;
  static constexpr int32_t kLastButton = 2012;

  ToolbarManager() = default;
  virtual ~ToolbarManager() = default;
  ToolbarManager(const ToolbarManager&) = delete;
  ToolbarManager& operator=(const ToolbarManager&) = delete;

  // REQUIRES: `window` outlives the toolbar's use.
  void Init(WindowManager& window);
  void Kill();

  // A browse target for `browse`, with its buttons; the browse keeps the pointer returned.
  ToolbarTarget* AddTarget(BrowseManager& browse);
  // The form target: the form's request, whether it keeps ditto values, and its help button.
  ToolbarTarget* AddFormTarget(uint8_t request, bool history, int32_t help_button = 0);
  // Serves the target whose CONTROL is `control` (0: the form) and shows the buttons for it.
  // Unknown controls change nothing.
  virtual void SetTarget(int32_t control);
  // Enables, disables and explains the buttons for the current target.
  virtual void DisplayButtons();
  // The target served now, or null.
  [[nodiscard]] ToolbarTarget* Current();

  // --- WindowToolbar ---
  void TakeAccepted(int32_t control) override;
  void TabChanged(int32_t sheet) override;
  void KillToolbar() override { Kill(); }

  // --- Fields ---
  std::deque<ToolbarTarget> TARGETS;  // a target stays where it is: browses keep pointers to it
  WindowManager* WINDOW = nullptr;    // not owned

 private:
  void TakeBrowseButton(const ToolbarTarget& target, int32_t button);
  void TakeFormButton(int32_t button);
  void ShowTips(const TipTable& table);

  size_t current_ = 0;
  bool has_current_ = false;
};

}  // namespace pellucor::framework
