// pellucor: the notes program for the desktop. It finds the user's data directory, starts the
// window engine and runs the notes window until it closes.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDesktopServices>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/data_dir.h"
#include "app/desktop/desktop_bus.h"
#include "app/procedures/notes_browse.h"
#include "app/procedures/program.h"
#include "runtime/event/event.h"
#include "runtime/report/report.h"
#include "ui/qt_engine.h"
#include "ui/report_engine.h"

namespace {

constexpr const char* kVersion = "3.0 (build 372)";

void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: pellucor [--data-dir DIR] [--version] [--help]\n"
               "\n"
               "Keeps personal notes and reminders.\n"
               "\n"
               "  --data-dir DIR  keep the data file and settings in DIR (default: $%s,\n"
               "                  else $XDG_DATA_HOME/pellucor, else ~/.local/share/pellucor)\n"
               "  --version       show the version and exit\n"
               "  --help          show this help and exit\n",
               std::string(pellucor::app::kDataDirVariable).c_str());
}

// The program's windows come to the front, the one that waits for an answer (a message box, a
// form) last, so that it has the focus. GUI thread only.
void RaiseWindows() {
  QWidget* focus = QApplication::activeModalWidget();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible() || window->isModal()) continue;
    if (window->isMinimized()) window->showNormal();
    window->raise();
    if (focus == nullptr) focus = window;
  }
  if (focus != nullptr) {
    focus->raise();
    focus->activateWindow();
  }
}

// Answers "Raise" on the session bus. The bus delivers it on its own thread: the windows are
// raised by the GUI thread, and the caller is answered at once.
class FrontDoor : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != pellucor::app::kDesktopInterface ||
        message.member() != pellucor::app::kDesktopRaise) {
      return false;
    }
    QMetaObject::invokeMethod(qApp, &RaiseWindows, Qt::QueuedConnection);
    (void)connection.send(message.createReply());
    return true;
  }
  QString introspect(const QString& /*path*/) const override {
    return QStringLiteral("<interface name=\"%1\"><method name=\"%2\"/></interface>")
        .arg(pellucor::app::kDesktopInterface, pellucor::app::kDesktopRaise);
  }
};

// Without a session bus the program runs all the same; only "Open" of the reminders cannot find it.
void OpenFrontDoor(FrontDoor* door) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  if (bus.registerVirtualObject(pellucor::app::kDesktopPath, door)) {
    (void)bus.registerService(QString::fromLatin1(pellucor::app::kDesktopServicePrefix) +
                              QString::number(QCoreApplication::applicationPid()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> data_dir;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp(stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("pellucor %s\n", kVersion);
      return 0;
    }
    if (arg == "--data-dir" && i + 1 < argc) {
      data_dir = argv[++i];
    } else if (arg.starts_with("--data-dir=")) {
      data_dir = std::string(arg.substr(11));
    } else if (arg.starts_with("-platform") || arg.starts_with("-style") ||
               arg.starts_with("-display")) {
      ++i;  // Qt's own options, with their value, are Qt's to take
    } else {
      std::fprintf(stderr, "pellucor: unknown option '%s'\n\n", argv[i]);
      PrintHelp(stderr);
      return 2;
    }
  }
  const pellucor::app::DataDirResult dir = pellucor::app::EnterDataDir(data_dir);
  if (!dir.ok()) {
    std::fprintf(stderr, "pellucor: %s\n", dir.error.c_str());
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("pellucor");
  QApplication::setApplicationVersion(kVersion);
  pellucor::ui::QtEngine engine;
  FrontDoor front_door;
  OpenFrontDoor(&front_door);
  pellucor::runtime::ProgramScope program(engine);
  // The note reports lay out their pages through the same engine's windows and preview.
  pellucor::ui::QtReportEngine reports(engine);
  pellucor::runtime::ReportEngineScope report_scope(reports);
  pellucor::app::SetUrlOpener([](const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
  });
  pellucor::app::ProgramRun run;
  run.main = [] { pellucor::app::Main(); };
  return pellucor::app::RunProgram(std::move(run));
}
