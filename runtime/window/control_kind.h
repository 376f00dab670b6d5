// Control kind codes of window descriptions. The numbers are fixed once, here: stored window
// positions do not depend on them, but the resizer's default strategies do, and were chosen with
// these codes in mind:
//   3, 4, 11, 13, 14, 37, 39  keep their top-left corner and grow with the window (images, regions,
//                             text boxes, groups, lists, tab sheets, panels);
//   8, 10, 15, 16, 34         grow in width only and keep their distance from the top (entries,
//                             spin boxes, combos, drop lists, progress bars);
//   9                         keep their size and stay by the nearest edges (buttons);
//   12, 21                    keep their size and move in proportion (check boxes, radio buttons);
//   everything else           moves and scales in proportion.
#pragma once

#include <cstdint>
#include <string_view>

namespace pellucor::runtime {

enum class ControlKind : int32_t {
  kNone = 0,
  kString = 1,  // display-only text, optionally through a picture
  kPrompt = 2,  // a label, with "&" before the mnemonic of the control that follows it
  kImage = 3,
  kRegion = 4,  // an invisible area that reports mouse events
  kLine = 5,
  kBox = 6,
  kEllipse = 7,
  kEntry = 8,  // a one-line entry with a picture
  kButton = 9,
  kSpin = 10,
  kText = 11,  // a multi-line text box
  kCheck = 12,
  kGroup = 13,
  kList = 14,
  kCombo = 15,
  kDropList = 16,
  kOption = 17,  // a set of radio buttons; its radios are its children
  kRadio = 21,
  kMenuBar = 30,
  kMenu = 31,
  kItem = 32,
  kToolbar = 33,
  kProgress = 34,
  kSheet = 37,  // a tab sheet; its tabs are its children
  kTab = 38,    // one tab; the controls it holds are its children
  kPanel = 39,
};

// The kind's name for traces and test output ("ENTRY", "BUTTON"); "?" for a code not listed.
std::string_view ControlKindName(ControlKind kind);

// Kinds that hold a value the user changes, and so take part in an accept-all pass.
bool KindTakesInput(ControlKind kind);

}  // namespace pellucor::runtime
