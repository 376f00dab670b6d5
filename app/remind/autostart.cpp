#include "app/remind/autostart.h"

#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"

namespace pellucor::app::remind {
namespace {

constexpr std::string_view kGroup = "Desktop Entry";

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool IsTrue(std::string_view value) {
  return value == "true" || value == "True" || value == "1";
}

bool IsFalse(std::string_view value) {
  return value == "false" || value == "False" || value == "0";
}

}  // namespace

std::string UserAutostartPath() {
  std::string config = Variable("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') {
    const std::string home = Variable("HOME");
    if (home.empty()) return {};
    config = home + "/.config";
  }
  return config + "/autostart/" + std::string(kAutostartName);
}

std::vector<std::string> EnabledSystemEntries() {
  std::string dirs = Variable("XDG_CONFIG_DIRS");
  if (dirs.empty()) dirs = "/etc/xdg";
  std::vector<std::string> found;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir.front() != '/') continue;
    const std::string path = dir + "/autostart/" + std::string(kAutostartName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) continue;
    const auto value = [&](std::string_view key) {
      return platform::GetPrivateProfileString(kGroup, key, "", 64, path);
    };
    if (IsTrue(value("Hidden")) || IsFalse(value("X-GNOME-Autostart-enabled"))) continue;
    found.push_back(path);
  }
  return found;
}

std::string ExecArgument(std::string_view argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string quoted;
  if (argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos) {
    quoted += '"';
    for (const char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += '"';
  } else {
    quoted = argument;
  }
  // The Exec key's own rules come first ("%" starts a field code); then the value is a string of
  // the entry file, in which a backslash is written twice.
  std::string value;
  for (const char c : quoted) {
    if (c == '%') {
      value += "%%";
    } else if (c == '\\') {
      value += "\\\\";
    } else {
      value += c;
    }
  }
  return value;
}

std::string AutostartEntry(std::string_view exec, EntryState state) {
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Pellucor Reminders\n"
      "Comment=Shows the reminders of Pellucor that are due as desktop notifications\n"
      "Icon=io.github.pellucor.Pellucor\n"
      "Exec=" +
      std::string(exec) +
      "\n"
      "Terminal=false\n"
      "NoDisplay=true\n";
  if (state == EntryState::kHidden) {
    text += "Hidden=true\nX-GNOME-Autostart-enabled=false\n";
  } else {
    text += "X-GNOME-Autostart-enabled=true\n";
  }
  return text;
}

}  // namespace pellucor::app::remind
