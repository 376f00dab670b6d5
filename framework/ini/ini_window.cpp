// Window geometry in the settings file, through the runtime's window properties (dialog units).
#include <optional>

#include "framework/ini/ini_manager.h"
#include "platform/profile_parser.h"

namespace pellucor::framework {

namespace {

using runtime::Prop;

// Positions and sizes beyond what a screen can show come from a damaged file: such a value is
// treated as missing, like text that is not a number.
constexpr int32_t kMaxCoordinate = 32767;

std::optional<int32_t> ParseCoordinate(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 5) return std::nullopt;
  int32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > kMaxCoordinate) return std::nullopt;
  return negative ? -n : n;
}

bool IsCurrent(const runtime::Window& window) {
  return window.IsOpen() && window.id() == runtime::CurrentWindow();
}

bool Switch(Prop prop) {
  return runtime::GetProperty(0, prop) == "1";
}

}  // namespace

void IniManager::UpdateWindow(runtime::Window& window, std::string_view section) {
  if (!IsCurrent(window)) return;
  const bool maximized = Switch(Prop::kMaximized);
  if (window.description().maximize_box) Update(section, "Maximize", maximized ? "Yes" : "No");
  // A maximised or iconised window shows where the desktop put it, not where the user left it:
  // the position saved before stays, to be restored beneath the maximised window.
  if (maximized || Switch(Prop::kIconized)) return;
  Update(section, "XPos", runtime::GetProperty(0, Prop::kXPos));
  Update(section, "YPos", runtime::GetProperty(0, Prop::kYPos));
  if (Switch(Prop::kResizable)) {
    Update(section, "Height", runtime::GetProperty(0, Prop::kHeight));
    Update(section, "Width", runtime::GetProperty(0, Prop::kWidth));
  }
}

void IniManager::FetchWindow(runtime::Window& window, std::string_view section) {
  if (!IsCurrent(window)) return;
  // Position and size first, maximising last: the window then returns to the saved geometry when
  // the user restores it.
  if (const std::optional<int32_t> x = ParseCoordinate(Fetch(section, "XPos"))) {
    runtime::SetProperty(0, Prop::kXPos, std::to_string(*x));
    if (const std::optional<int32_t> y = ParseCoordinate(Fetch(section, "YPos"))) {
      runtime::SetProperty(0, Prop::kYPos, std::to_string(*y));
    }
    if (Switch(Prop::kResizable)) {
      const std::optional<int32_t> width = ParseCoordinate(Fetch(section, "Width"));
      const std::optional<int32_t> height = ParseCoordinate(Fetch(section, "Height"));
      if (width && *width > 0) runtime::SetProperty(0, Prop::kWidth, std::to_string(*width));
      if (height && *height > 0) runtime::SetProperty(0, Prop::kHeight, std::to_string(*height));
    }
  }
  if (window.description().maximize_box &&
      platform::ProfileNamesEqual(Fetch(section, "Maximize"), "Yes")) {
    runtime::SetProperty(0, Prop::kMaximized, "1");
  }
}

}  // namespace pellucor::framework
