// Window descriptions: the constant data from which the window engine builds a window, declared in
// code as a program's resources would be. A procedure copies its description, binds its variables
// to the controls that show them (ControlDescription::use) and opens a window from it.
//
// Positions and sizes are in dialog units of the window's font: one horizontal unit is a quarter
// of the font's average character width, one vertical unit an eighth of its height.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/values/accessor.h"
#include "runtime/window/control_kind.h"

namespace pellucor::runtime {

struct DialogRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

// Actions the engine carries out itself when a menu item or button with one is chosen.
enum class StandardAction : int32_t {
  kNone = 0,
  kHelp = 8,
  kCut = 10,
  kCopy = 11,
  kPaste = 12,
  kClose = 15,
  kPrintSetup = 16,
};

struct ControlFlags {
  bool hidden = false;
  bool disabled = false;
  bool is_default = false;  // the button that Enter presses
  bool read_only = false;
  bool skip = false;  // Tab passes over it
};

struct ControlDescription {
  int32_t number = 0;  // from 1, unique in the window
  ControlKind kind = ControlKind::kNone;
  int32_t parent = 0;            // 0: the window; else the sheet, tab, group, menu or toolbar
  std::optional<DialogRect> at;  // none: the engine places and sizes it
  std::string text;              // "&" before the mnemonic
  std::string picture;           // entries, strings, spin boxes, combos
  AnyRef use;                    // the variable DISPLAY shows and UPDATE stores; none: unbound
  std::string message;           // status-bar text while focused
  std::string tip;
  std::string icon;  // "~name.ico": the program's own; "*name": a system icon
  ControlFlags flags;
  StandardAction action = StandardAction::kNone;
  int32_t key = 0;  // menu items: the key code of their shortcut; 0 none
  // Per kind.
  std::string format;                  // lists: the list-box format
  std::vector<std::string> icon_list;  // lists: entry 1 first
  int32_t range_low = 0;               // spin boxes, progress bars
  int32_t range_high = 0;
  int32_t step = 1;              // spin boxes
  std::string true_value = "1";  // check boxes
  std::string false_value = "";
  std::string from;  // drop lists and combos: entries separated by "|"
};

enum class WindowType : uint8_t {
  kWindow,      // an ordinary window
  kFrame,       // the application frame; one at a time
  kFrameChild,  // a window inside the frame, opened on a thread other than the frame's
};

enum class Modality : uint8_t {
  kThread,  // disables the owning thread's earlier windows until it closes (the usual case)
  kSystem,  // while open, no other thread may open windows or controls, and their loops wait
};

struct WindowFont {
  std::string name = "MS Sans Serif";  // substituted by a metric-compatible font where missing
  int32_t size = 8;                    // points
  bool bold = false;
  bool italic = false;
};

struct WindowDescription {
  std::string name;    // "P1$QUICKWINDOW"
  std::string module;  // "pelkit$PELKI004"
  std::string title;
  WindowFont font;
  std::string icon;
  std::string help_id;
  std::string wallpaper;
  std::optional<DialogRect> at;  // none: centred on the screen at its own size
  WindowType type = WindowType::kWindow;
  Modality modality = Modality::kThread;
  bool resizable = false;
  bool maximize_box = false;
  bool maximized = false;
  bool centered = false;
  std::vector<int32_t>
      status_zones;   // widths of the status-bar zones, -1 for the rest; empty: none
  int32_t timer = 0;  // hundredths of a second between ticks; 0 for none
  std::vector<ControlDescription> controls;  // in order: the order of Tab and of accept-all
};

// The control with that number, or null.
const ControlDescription* FindControl(const WindowDescription& window, int32_t number);
ControlDescription* FindControl(WindowDescription& window, int32_t number);

}  // namespace pellucor::runtime
