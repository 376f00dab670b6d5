// pellucor-remind: the agent that brings Pellucor's due reminders to the user while the desktop
// program is closed. It has no window; it is started at login through its autostart entry and
// shows desktop notifications through the session bus.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/store.h"
#include "app/data_dir.h"
#include "app/remind/agent.h"
#include "app/remind/clock.h"
#include "app/remind/data_helper.h"
#include "app/remind/reminder_state.h"
#include "runtime/core/fatal.h"
#include "runtime/locale/locale.h"

namespace {

using namespace pellucor::app;

void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: pellucor-remind [--data-dir DIR] [--help]\n"
               "\n"
               "Shows the due reminders of Pellucor as desktop notifications: at start, every\n"
               "day at the time set in KNB4.INI ([Reminders] Time=HH:MM, default 09:00), and\n"
               "when a note becomes due. `pellucor-cli remind --enable` starts it at login.\n"
               "\n"
               "  --data-dir DIR  the data directory (default: $%s,\n"
               "                  else $XDG_DATA_HOME/pellucor, else ~/.local/share/pellucor)\n"
               "  --help          show this help and exit\n",
               std::string(kDataDirVariable).c_str());
}

int Helper(const std::vector<std::string>& words) {
  pellucor::runtime::InitLocale();
  // A data file that stops the data engine ends only this helper; the agent tries again later.
  pellucor::runtime::SetHaltHook([](int32_t, const std::string& text) {
    if (pellucor::runtime::IsInternalStopText(text)) {
      std::fprintf(stderr, "%s\n", std::string(cli::kDamagedDataFile).c_str());
    } else {
      std::fprintf(stderr, "the data engine stopped: %s\n", text.c_str());
    }
    std::fflush(nullptr);
    std::_Exit(remind::helper_status::kRetry);
  });
  const int status = remind::RunHelper(words);
  std::fflush(nullptr);
  return status;
}

// One agent per data directory: a second would show every reminder twice. The lock is held for
// as long as the process lives (the descriptor is never closed).
bool OnlyAgent(const std::string& data_dir) {
  const std::string state = remind::StatePath(data_dir);
  if (state.empty()) return true;
  const std::string lock_path = state.substr(0, state.size() - 6) + ".lock";
  const std::string folder = lock_path.substr(0, lock_path.rfind('/'));
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at == folder.size() || folder[at] == '/') (void)::mkdir(folder.substr(0, at).c_str(), 0700);
  }
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no lock to be had: better twice than never
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> data_dir;
  std::optional<std::vector<std::string>> helper;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp(stdout);
      return 0;
    }
    if (arg == "--data-dir" && i + 1 < argc) {
      data_dir = argv[++i];
    } else if (arg.starts_with("--data-dir=")) {
      data_dir = std::string(arg.substr(11));
    } else if (arg == "--helper") {
      helper = std::vector<std::string>(argv + i + 1, argv + argc);
      break;
    } else {
      std::fprintf(stderr, "pellucor-remind: unknown option '%s'\n\n", argv[i]);
      PrintHelp(stderr);
      return 2;
    }
  }
  const DataDirResult dir = EnterDataDir(data_dir);
  if (!dir.ok()) {
    std::fprintf(stderr, "pellucor-remind: %s\n", dir.error.c_str());
    return 1;
  }
  if (helper) return Helper(*helper);
  if (!OnlyAgent(dir.path)) {
    std::fprintf(stderr, "pellucor-remind: already running for %s\n", dir.path.c_str());
    return 0;
  }

  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("pellucor-remind");
  remind::Agent agent(QCoreApplication::applicationFilePath(), QString::fromStdString(dir.path),
                      remind::MakeClock());
  agent.Start();
  return QCoreApplication::exec();
}
