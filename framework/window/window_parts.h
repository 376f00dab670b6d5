// What a window manager asks of the parts a procedure registers with it. The browse, the
// file-drop list, the toolbar manager and the text translator implement these; the window
// manager knows them only through these interfaces, so it builds and tests without them.
#pragma once

#include <cstdint>

#include "framework/error/level.h"

namespace pellucor::framework {

// A browse or a file-drop list: it sees every event of its window after the window's own
// handlers, refreshes itself when its data changed, and is reset and killed with the window.
class WindowPart {
 public:
  virtual ~WindowPart() = default;
  // The window's current event (the runtime's EVENT(), FIELD(), KEYCODE()).
  virtual Level TakeEvent() = 0;
  // Whether what the part shows is out of date (the visible rows or a range value changed).
  [[nodiscard]] virtual bool NeedsRefresh() = 0;
  virtual void Refresh() = 0;
  // The window resets: `force` refills even when nothing seems to have changed.
  virtual void ResetFromWindow(bool force) = 0;
  // Takes the values the screen shows into the part's record (the window's UpdateBrowses).
  virtual void TakeScreenValues() = 0;
  // Registers the part's keys with ALERT on the current window.
  virtual void RegisterKeys() = 0;
  // The window is ending: the part lets go of everything it holds.
  virtual void KillPart() = 0;
};

// The toolbar manager as a window sees it.
class WindowToolbar {
 public:
  virtual ~WindowToolbar() = default;
  // An accepted control of the window; a navigation button stores its request in the window's
  // VCRREQUEST.
  virtual void TakeAccepted(int32_t control) = 0;
  // The selected tab of `sheet` changed: the toolbar now acts on what that tab shows.
  virtual void TabChanged(int32_t sheet) = 0;
  virtual void KillToolbar() = 0;
};

// Translates the texts of the current window (titles, prompts, tips) into the user's language.
class TextTranslator {
 public:
  virtual ~TextTranslator() = default;
  virtual void TranslateWindow() = 0;
};

}  // namespace pellucor::framework
