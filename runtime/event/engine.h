// The window engine: what the event model asks of the windowing system, in the runtime's own terms
// (window numbers, control numbers, property numbers, event numbers, key codes). The engine builds
// windows from their descriptions, turns user input into events posted through EngineInput
// (below), and carries out the runtime's requests. The event model itself (queues, the dequeue
// steps, accept-all, closing, focus, suspend and resume, timers) lives in the runtime; an engine
// only reports what happened and does what it is asked.
//
// Threads. Program threads are numbered from 1; thread 1 is the one that called BeginProgram
// (the program's main thread, and for a GUI engine its GUI thread). Every request below comes from
// the program thread that holds the run lock, or from the runtime on behalf of it, never while
// the runtime holds an internal lock: an engine may carry a request over to its GUI thread and
// wait for it. The runtime guarantees that the GUI thread serves such requests whenever it waits
// (in Wait), so the hand-over cannot deadlock as long as the engine calls directly when already
// on the GUI thread.
//
// EngineInput calls may come from any thread at any time (a GUI engine calls them from its
// event handlers); they never run program code and never call back into the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/event/event_codes.h"
#include "runtime/window/description.h"
#include "runtime/window/list_rows.h"
#include "runtime/window/popup_text.h"
#include "runtime/window/properties.h"

namespace pellucor::runtime {

using ThreadNumber = int32_t;  // program threads from 1; 0 none
using WindowId = int32_t;      // windows from 1, never reused while the program runs; 0 none

// Message-box buttons (a set is their sum) and the answer of a message box.
namespace button {
inline constexpr int32_t kOk = 1;
inline constexpr int32_t kYes = 2;
inline constexpr int32_t kNo = 4;
inline constexpr int32_t kAbort = 8;
inline constexpr int32_t kRetry = 16;
inline constexpr int32_t kIgnore = 32;
inline constexpr int32_t kCancel = 64;
inline constexpr int32_t kHelp = 128;
}  // namespace button

enum class MessageIcon : uint8_t { kNone, kInformation, kExclamation, kQuestion, kError };

struct MessageRequest {
  std::string text;     // "|" starts a new line
  std::string caption;  // empty: the program's name
  MessageIcon icon = MessageIcon::kNone;
  std::string icon_name;  // an icon of the program's own instead of `icon`; empty for none
  int32_t buttons = button::kOk;
  int32_t default_button = 0;  // 0: the first of `buttons`
  bool system_modal = false;
  ThreadNumber thread = 0;  // the asking thread; its windows are disabled while the box is up
};

enum class CursorKind : uint8_t { kArrow, kWait, kIBeam, kCross, kSizeAll };

struct ScreenPoint {
  int32_t x = 0;  // dialog units of the window that asks, relative to its client area
  int32_t y = 0;
};

class WindowEngine {
 public:
  virtual ~WindowEngine() = default;

  // --- Threads and the message pump ---
  // Called on a program thread before it runs program code, and after it ran its last.
  virtual void ThreadStarted(ThreadNumber thread) = 0;
  virtual void ThreadEnded(ThreadNumber thread) = 0;
  // Blocks the calling program thread `thread` until its windows may have something new (an
  // EngineInput call for one of its windows), Wake(thread) is called, or a message of the engine's
  // own was handled (a GUI thread handles its toolkit's events here, including requests carried
  // over from other threads). May return early; the runtime looks again and calls Wait again.
  // A Wake that comes before Wait is not lost: that Wait returns at once.
  virtual void Wait(ThreadNumber thread) = 0;
  // Makes `thread`'s Wait return. Any thread, any time, also under the runtime's locks: it must
  // not block and must not call back into the runtime.
  virtual void Wake(ThreadNumber thread) = 0;

  // --- Windows and controls ---
  // Builds and shows window `window` of thread `owner` from `description` (whose controls' `use`
  // variables DISPLAY and UPDATE read and write). A window opened while the owner already has
  // windows disables those until it closes; windows of other threads stay usable. `parent` is the
  // window it belongs to, 0 for none. False: the window could not be built. The runtime starts the
  // description's timer with SetTimer afterwards.
  [[nodiscard]] virtual bool OpenWindow(WindowId window, ThreadNumber owner, WindowId parent,
                                        const WindowDescription& description) = 0;
  virtual void CloseWindow(WindowId window) = 0;
  // A control made at run time, placed after the existing ones. False: it could not be made.
  [[nodiscard]] virtual bool CreateControl(WindowId window, const ControlDescription& control) = 0;
  virtual void DestroyControl(WindowId window, int32_t control) = 0;
  // Properties by number; control 0 is the window. `index` selects a zone, an icon-list entry or
  // a column where the property takes one, else 0.
  virtual void SetProperty(WindowId window, int32_t control, Prop prop, int32_t index,
                           std::string_view value) = 0;
  [[nodiscard]] virtual std::string GetProperty(WindowId window, int32_t control, Prop prop,
                                                int32_t index) = 0;
  // Shows the bound variables (all controls for control 0) through their pictures.
  virtual void Display(WindowId window, int32_t control) = 0;
  // Stores what the controls show into their bound variables (all for control 0). Text that does
  // not read back through its picture leaves the variable as it was.
  virtual void Update(WindowId window, int32_t control) = 0;
  // Gives `control` the focus. The engine reports the move with EngineInput::NoteFocus (which
  // posts "EVENT:Selected"), also when the control already had it.
  virtual void Select(WindowId window, int32_t control) = 0;
  // One step of the accept-all pass: stores the control's text into its variable as leaving it
  // would, and answers whether that worked. False ends the pass; the engine then posts
  // "EVENT:Rejected" for the control, as it does when the user leaves a text that does not read
  // back.
  [[nodiscard]] virtual bool CanAccept(WindowId window, int32_t control) = 0;
  // Ticks every `hundredths` of a second through EngineInput::TimerTick; 0 stops the ticks.
  virtual void SetTimer(WindowId window, int32_t hundredths) = 0;
  // The rows a list control shows (null: none). The engine keeps the pointer until it is
  // replaced or the window closes, and reads it only inside Display of that list or that window.
  virtual void SetListRows(WindowId window, int32_t control, const ListRows* rows) = 0;

  // --- Dialogs and feedback ---
  // Returns the button pressed (one of `request.buttons`).
  [[nodiscard]] virtual int32_t Message(const MessageRequest& request) = 0;
  // Shows `menu` at `at` of `window` (none: at the mouse) and returns the chosen item's number,
  // 0 when the menu was dismissed.
  [[nodiscard]] virtual int32_t Popup(WindowId window, const PopupMenu& menu,
                                      std::optional<ScreenPoint> at) = 0;
  virtual void Beep() = 0;
  virtual void SetCursor(CursorKind cursor) = 0;
  // Shows the help page `help_id` (empty: the window's own page).
  virtual void Help(WindowId window, std::string_view help_id) = 0;
  // PRESS has put keystrokes into the keyboard buffer: the engine takes them with
  // EngineInput::TakePressedKeys and types them into the focused control of the active window.
  virtual void KeysPressed() = 0;
};

struct EventRecord {
  Event event = Event::kNone;
  int32_t control = 0;  // 0 for window events
  int32_t keycode = 0;  // the key or mouse code that caused it, 0 for none
  int32_t x = 0;        // mouse events: the position, dialog units of the window's client area
  int32_t y = 0;
  friend bool operator==(const EventRecord&, const EventRecord&) = default;
};

struct PressedKey {
  int32_t keycode = 0;
  unsigned char character = 0;  // the character typed, 0 for a key without one
};

// What the engine reports. Calls for a window that is closed (or closing finished) do nothing.
namespace EngineInput {
// Queues `record` for `window` and wakes its thread.
void Post(WindowId window, const EventRecord& record);
// Focus has moved to `control` of `window`: it becomes the window's focus, and "EVENT:Selected"
// is queued for it.
void NoteFocus(WindowId window, int32_t control);
// `window` became the active window of the desktop: its thread is now the active thread.
void NoteActivated(WindowId window);
// A timer tick: queues "EVENT:Timer" unless one is already waiting in the queue.
void TimerTick(WindowId window);
// Whether `keycode` is registered with ALERT for `window`: the engine then posts
// "EVENT:AlertKey" for the focused control instead of letting the control take the key.
[[nodiscard]] bool IsAlertKey(WindowId window, int32_t keycode);
// Takes everything PRESS has put into the keyboard buffer, oldest first.
[[nodiscard]] std::vector<PressedKey> TakePressedKeys();
// The window's owning thread, 0 when the window is not open.
[[nodiscard]] ThreadNumber OwnerOf(WindowId window);
}  // namespace EngineInput

}  // namespace pellucor::runtime
