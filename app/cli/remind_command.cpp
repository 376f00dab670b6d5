// remind: sets up pellucor-remind, the agent that shows due reminders as desktop notifications:
// its autostart entry for this user and the time of day it shows them.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/commands.h"
#include "app/remind/autostart.h"
#include "app/remind/daily_time.h"

namespace pellucor::app::cli {
namespace {

namespace fs = std::filesystem;

// The agent beside this program (as built, and as installed), else the one on the PATH.
std::string AgentProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path beside = self.parent_path() / std::string(remind::kAgentName);
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return std::string(remind::kAgentName);
}

// Writes `text` to `path` through a file beside it, so that a reader never sees half of it.
bool WriteWhole(const std::string& path, const std::string& text, std::string* error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    *error = "cannot write " + path + ": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool Enabled(const std::string& user_entry) {
  std::error_code ec;
  if (fs::exists(user_entry, ec)) {
    std::ifstream in(user_entry);
    for (std::string line; std::getline(in, line);) {
      if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return true;
  }
  return !remind::EnabledSystemEntries().empty();
}

}  // namespace

int RunRemind(const Context& ctx, const ParsedArgs& args) {
  if (!args.positional.empty()) {
    return ctx.Complain(exit_status::kBadInput,
                        "remind takes no argument '" + args.positional[0] + "'");
  }
  if (args.Has("enable") && args.Has("disable")) {
    return ctx.Complain(exit_status::kBadInput, "--enable and --disable cannot be given together");
  }
  std::optional<remind::DailyTime> time;
  if (const auto t = args.Value("time")) {
    time = remind::ParseDailyTime(*t);
    if (!time) {
      return ctx.Complain(exit_status::kBadInput,
                          "--time " + *t + ": not a time of day HH:MM from 00:00 to 23:59");
    }
  }
  const std::string entry = remind::UserAutostartPath();
  if ((args.Has("enable") || args.Has("disable")) && entry.empty()) {
    return ctx.Complain(
        exit_status::kFailure,
        "neither XDG_CONFIG_HOME nor HOME is set: no place for the autostart entry");
  }
  const std::string settings = ctx.data_dir + "/" + std::string(remind::kSettingsFile);
  if (time && !remind::WriteDailyTime(settings, *time)) {
    return ctx.Complain(exit_status::kFailure,
                        "cannot write " + settings + ": " + std::strerror(errno));
  }
  std::string error;
  if (args.Has("enable")) {
    const std::string exec =
        remind::ExecArgument(AgentProgram()) + " --data-dir " + remind::ExecArgument(ctx.data_dir);
    if (!WriteWhole(entry, remind::AutostartEntry(exec, remind::EntryState::kEnabled), &error)) {
      return ctx.Complain(exit_status::kFailure, error);
    }
  } else if (args.Has("disable")) {
    std::error_code ec;
    fs::remove(entry, ec);
    if (ec)
      return ctx.Complain(exit_status::kFailure, "cannot remove " + entry + ": " + ec.message());
    // An entry of the whole system that is switched on would still start the agent: an entry of
    // the user's own that hides it is what turns it off for this user.
    if (!remind::EnabledSystemEntries().empty() &&
        !WriteWhole(entry,
                    remind::AutostartEntry(remind::ExecArgument(AgentProgram()),
                                           remind::EntryState::kHidden),
                    &error)) {
      return ctx.Complain(exit_status::kFailure, error);
    }
  }
  const remind::DailyTimeSetting setting = remind::ReadDailyTime(settings);
  std::fprintf(ctx.out, "autostart: %s (%s)\n", Enabled(entry) ? "on" : "off", entry.c_str());
  std::fprintf(
      ctx.out, "time:      %s%s\n", remind::FormatDailyTime(setting.time).c_str(),
      setting.damaged.empty()
          ? ""
          : (" (the setting '" + setting.damaged + "' is no time of day and is not used)").c_str());
  return exit_status::kOk;
}

}  // namespace pellucor::app::cli
