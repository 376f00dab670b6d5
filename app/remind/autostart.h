// The autostart entry that starts pellucor-remind when the user logs in. The system-wide entry
// (installed with the programs) is off until the user turns it on; `pellucor-cli remind --enable`
// writes the user's own entry of the same name, which the desktop takes instead of the system's,
// and `--disable` takes it away again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellucor::app::remind {

inline constexpr std::string_view kAutostartName = "pellucor-remind.desktop";
inline constexpr std::string_view kAgentName = "pellucor-remind";

// $XDG_CONFIG_HOME/autostart/pellucor-remind.desktop (XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config); empty when neither it nor HOME is set.
[[nodiscard]] std::string UserAutostartPath();

// The entries of the same name in the system's configuration folders ($XDG_CONFIG_DIRS, else
// /etc/xdg) that would start the agent, i.e. are neither hidden nor switched off.
[[nodiscard]] std::vector<std::string> EnabledSystemEntries();

// One argument of an Exec line, quoted as the desktop entry rules ask when it holds a reserved
// character, and escaped for a value of the entry file.
[[nodiscard]] std::string ExecArgument(std::string_view argument);

enum class EntryState { kEnabled, kHidden };
// The whole entry file: `exec` is the Exec line, already quoted.
[[nodiscard]] std::string AutostartEntry(std::string_view exec, EntryState state);

}  // namespace pellucor::app::remind
