// Windows as procedures use them: a Window is the program's window variable, opened from its
// description on the calling thread, and the statements that act on the current window of the
// calling thread (the most recently opened window of that thread that is still open).
//
// REQUIRES: the caller holds the run lock (event.h). A statement without a current window is the
// fatal error 536 "Window is not open".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/event/engine.h"
#include "runtime/window/description.h"

namespace pellucor::runtime {

class Window {
 public:
  explicit Window(WindowDescription description);
  ~Window();  // closes the window when it is still open
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Bind variables (ControlDescription::use) here before Open.
  [[nodiscard]] WindowDescription& description() { return description_; }

  // Opens the window on the calling thread; it becomes the thread's current window and its first
  // event is "EVENT:OpenWindow". `parent` is the window it belongs to: closing the parent first
  // asks this one to close ("EVENT:CloseDown"). Fatal errors: 535 when already open; 526-533 when
  // the application-frame rules forbid it or the description is unusable (the detail says why).
  // When the engine cannot build the window, the loop receives "EVENT:OpenFailed" instead.
  void Open(WindowId parent = 0);
  // Closes the window at once (children that are still open stay, without a parent). Closing a
  // window that its loop has already closed does nothing; one never opened is the fatal error 536.
  void Close();
  [[nodiscard]] bool IsOpen() const;
  [[nodiscard]] WindowId id() const { return id_; }

 private:
  WindowDescription description_;
  WindowId id_ = 0;
  bool opened_ = false;
};

// The current window of the calling thread, 0 for none.
[[nodiscard]] WindowId CurrentWindow();
// The window that was current on the thread that STARTed the calling thread, when START ran; 0
// for none (thread 1). A thread's window usually belongs to it.
[[nodiscard]] WindowId StarterWindow();

// Statements on the current window. Control 0 is the window itself (for DISPLAY and UPDATE: all
// controls).
void DISPLAY(int32_t control = 0);
void UPDATE(int32_t control = 0);
// Gives `control` the focus ("EVENT:Selected" follows).
void SELECT(int32_t control);
// Starts the accept-all pass: each control that takes input, in order, is accepted through the
// queue ("EVENT:Accepted"); the pass ends with "EVENT:Completed", or early at a control whose
// text cannot be accepted.
void SELECT();
void SetProperty(int32_t control, Prop prop, std::string_view value, int32_t index = 0);
[[nodiscard]] std::string GetProperty(int32_t control, Prop prop, int32_t index = 0);
// Makes a control at run time, after the existing ones (fatal 541 while another thread's
// system-modal window is open). False: its number is taken, or the engine could not make it.
[[nodiscard]] bool CREATE(const ControlDescription& control);
void DESTROY(int32_t control);
void SetListRows(int32_t control, const ListRows* rows);
// Ticks of "EVENT:Timer" every `hundredths` of a second; 0 stops them.
void SetTimer(int32_t hundredths);
void HELP(std::string_view help_id = {});

// Statements that need no window.
[[nodiscard]] int32_t MESSAGE(std::string_view text, std::string_view caption = {},
                              MessageIcon icon = MessageIcon::kNone, int32_t buttons = button::kOk,
                              int32_t default_button = 0);
[[nodiscard]] int32_t MESSAGE(const MessageRequest& request);
// Shows the popup menu written as `text` (popup_text.h) and returns the chosen item's number, 0
// for none. A text that does not parse shows nothing and returns 0; ParsePopupText says why.
[[nodiscard]] int32_t POPUP(std::string_view text, std::optional<ScreenPoint> at = std::nullopt);
void BEEP();
void SETCURSOR(CursorKind cursor = CursorKind::kArrow);

}  // namespace pellucor::runtime
