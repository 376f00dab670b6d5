// Property numbers: how procedures and the framework read and change a window or a control
// through the window engine. Values cross as text (runtime strings: Windows-1252 bytes): numbers
// in decimal, switches as "1" and "" (reading gives "1" or ""), dialog units for positions.
// Control 0 names the window itself. Some properties take an index (a status-bar zone, an entry of
// the icon list, a list column); 0 is "no index".
#pragma once

#include <cstdint>

namespace pellucor::runtime {

enum class Prop : int32_t {
  // Controls (and, where it makes sense, the window as control 0).
  kText = 1,      // control text with "&" before the mnemonic; the window's title
  kHide = 2,      // switch
  kDisable = 3,   // switch
  kReadOnly = 4,  // switch
  kChoice = 5,    // the selected tab (from 1), list row, combo or drop-list entry; 0 none
  kIcon = 6,      // icon name ("~mark.ico" is one of the program's own)
  kTip = 7,
  kMessage = 8,   // shown in the status bar while the control has focus
  kRangeLow = 9,  // spin boxes and progress bars
  kRangeHigh = 10,
  kStep = 11,   // spin boxes
  kItems = 12,  // rows a list shows at its present height (read only)
  kPicture = 13,
  kFormat = 14,    // list-box format text
  kIconList = 15,  // indexed: entry n of a list's icon list
  kProgress = 16,  // a progress bar's value
  kXPos = 20,      // dialog units, relative to the window's client area (or the screen for 0)
  kYPos = 21,
  kWidth = 22,
  kHeight = 23,
  kFontName = 24,
  kFontSize = 25,
  kTrueValue = 26,  // check boxes: the value stored when ticked
  kFalseValue = 27,
  kFrom = 28,     // drop lists and combos: the entries, separated by "|"
  kDefault = 29,  // switch: the button Enter presses
  kSkip = 30,     // switch: Tab passes over the control
  kKind = 31,     // read only: the kind code
  kParent = 32,   // read only: the parent control's number, 0 for none
  kChecked = 33,  // menu items: switch; buttons: shown pressed in (a mark)
  kVisible = 34,  // read only: shown, with every parent shown
  kHelpId = 35,
  // The window (control 0).
  kStatusText = 40,  // indexed: the text of status-bar zone n (from 1)
  kMaximized = 41,   // switch
  kIconized = 42,    // switch
  kResizable = 43,   // switch
  kMinWidth = 44,    // dialog units; 0 for none
  kMinHeight = 45,
  kClientX = 46,  // the client rectangle, dialog units, read only
  kClientY = 47,
  kClientWidth = 48,
  kClientHeight = 49,
  kTimer = 50,  // hundredths of a second between ticks; 0 for none
  kWallpaper = 51,
  kThread = 52,  // read only: the owning program thread
  // Read only, indexed: the control after control `index` in the window's order (index 0: the
  // first control); 0 after the last.
  kNextControl = 53,
  kMaxWidth = 54,  // dialog units of the client area; 0 for none
  kMaxHeight = 55,
  kColor = 56,  // a control's text colour, "#rrggbb"; empty for the desktop's own
};

}  // namespace pellucor::runtime
