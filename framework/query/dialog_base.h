// What the two query dialogs share: each is a procedure (a window manager) whose window is
// opened over the calling thread's current window, remembers its place in the settings file
// under its own name, and reports to the user through message boxes of its own title.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "framework/window/window_manager.h"
#include "runtime/event/window.h"

namespace pellucor::framework {
class IniManager;
}

namespace pellucor::framework::query_detail {

// Appends a control to a window description and returns it for further settings.
runtime::ControlDescription& AddControl(runtime::WindowDescription& d, int32_t number,
                                        runtime::ControlKind kind, std::string text,
                                        runtime::DialogRect at);

class DialogBase : public WindowManager {
 public:
  Level Kill() override;
  // Saves the window's place while the window is still there to be asked.
  Level HandleCloseEvent() override;

  // The dialog's window, 0 before it opened and after it closed.
  [[nodiscard]] runtime::WindowId WindowId() const;

 protected:
  DialogBase(ErrorManager* errors, IniManager* ini) : ini_(ini) { ERRORS = errors; }
  // The base Init, then the window from `description` over the current window, its place
  // restored. Fatal when the window could not be opened.
  Level OpenDialog(runtime::WindowDescription description);
  // An OK notice and a Yes/No question with the dialog's title.
  void Tell(std::string_view text);
  [[nodiscard]] bool Confirm(std::string_view text);

  // Binds runtime variables to controls of the description before it opens.
  static void Bind(runtime::WindowDescription& d, int32_t control, runtime::AnyRef use);

 private:
  IniManager* ini_ = nullptr;  // not owned
  std::string name_;
  std::string title_;
  std::unique_ptr<runtime::Window> window_;
  bool pushed_ = false;
};

}  // namespace pellucor::framework::query_detail
