// The window resizer keeps a procedure's controls in sensible places when the user sizes its
// window. A procedure initialises it once its window is open, registers it with its window manager
// (RESIZE), calls Resize after it restored the window's position and size, and again on every
// "EVENT:Sized". The window manager's Kill kills it.
//
// Init takes the window as it is then: every control's rectangle at that moment is its initial
// rectangle, and the client area's size the initial size. Resize lays each control out again from
// those initial rectangles (never from where the last resize left it, so no rounding piles up),
// against its parent when it has one, else against the client area. Controls made after Init are
// not moved.
//
// The resizer works on the calling thread's current window through the runtime's window
// statements, so it runs against any window engine. REQUIRES: the caller holds the run lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/error/level.h"
#include "framework/resize/control_rows.h"
#include "framework/resize/resize_rules.h"

namespace pellucor::framework {

// Whether Init makes the window's initial size one of its limits.
enum class SizeLimit : uint8_t { kNone, kInitialSize };

class WindowResizer {
 public:
  struct OriginalWindow {
    int32_t XPOS = 0;  // the window's position on the screen
    int32_t YPOS = 0;
    int32_t WIDTH = 0;  // the client area's size: what the controls are laid out in
    int32_t HEIGHT = 0;
    uint8_t MAXIMIZED = 0;
    uint8_t ICONIZED = 0;
  };
  struct PreviousWindow {
    int32_t XPOS = 0;
    int32_t YPOS = 0;
    int32_t WIDTH = 0;  // the client area's size at the last resize
    int32_t HEIGHT = 0;
    uint8_t RESIZECALLED = 0;  // a resize has been carried out since Init
  };

  WindowResizer() = default;
  virtual ~WindowResizer() = default;
  WindowResizer(const WindowResizer&) = delete;
  WindowResizer& operator=(const WindowResizer&) = delete;

  // --- Virtual operations, in the order of the class's operation table ---

  // After the window is open, on its thread: records the window (ORIGWIN), stores the strategy,
  // and fills CONTROLQUEUE with a row per control, its default strategies and its parent (see
  // BuildControlRows). `minimum` and `maximum` make the client area's present size the smallest
  // and the largest the user can size the window to. Calling it again starts afresh from the
  // window as it is then. Returns Proceed.
  virtual Level Init(uint8_t strategy, SizeLimit minimum, SizeLimit maximum);
  // Lays the controls out for the window's present size when that differs from the size of the
  // last resize (always on the first). Nothing happens while the window is iconised. Returns
  // Proceed; Notified when there is nothing to act on: Init has not run, the resizer was killed,
  // or the calling thread's current window is not the one Init recorded.
  virtual Level Resize();
  // Drops both queues; later Resize calls do nothing. Returns Proceed.
  virtual Level Kill();

  // --- Fields, in order ---
  uint8_t APPSTRATEGY = kAppProportional;
  // Kept with the resizer for procedures that set it; the engine draws controls over the
  // window's own background either way.
  uint8_t AUTOTRANSPARENT = 0;
  OriginalWindow ORIGWIN;
  std::unique_ptr<std::vector<ControlRow>> CONTROLQUEUE;  // owned; null before Init, after Kill
  // Moves are always collected for the whole window first and then applied in one pass, parents
  // first. Kept for procedures that set it: the window-engine interface has no batch of moves, so
  // the moves of a pass reach the engine one after the other either way.
  uint8_t DEFERMOVES = 1;
  PreviousWindow PREVIOUSWIN;
  std::unique_ptr<std::vector<MoveRow>> RESIZELIST;  // owned; the moves of the last resize

 private:
  // The rectangles every row gets for a client area of `width` by `height`, by row, with each
  // row's depth (how many parents it has) in `depth`.
  [[nodiscard]] std::vector<ResizeRect> Layout(int32_t width, int32_t height,
                                               std::vector<int32_t>& depth) const;

  int32_t window_ = 0;  // the runtime's number of the window Init recorded
};

}  // namespace pellucor::framework
