// What the agent's tests run it against: a private session bus (a dbus-daemon of the test's own),
// a notification server of the test's own on it that records every Notify call and emits the
// user's actions, and the agent as a real process on a scratch data directory.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/cli_runner.h"

namespace pellucor::app::remindtest {

using clitest::Lines;
using clitest::Outcome;
using clitest::ReadWhole;
using clitest::RunCli;
using clitest::Scratch;
using clitest::WriteWhole;

inline QCoreApplication* App() {
  static int argc = 1;
  static char name[] = "app_remind_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return app;
}

// Runs the event loop until `done` holds or `timeout_ms` has passed (the reaper: a test fails
// instead of hanging). Returns whether it holds.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms = 20000) {
  App();
  QDeadlineTimer deadline(timeout_ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    usleep(5000);
  }
  return true;
}

// Lets the event loop run for a while: for checking that nothing more happens.
inline void Settle(int ms) {
  WaitFor([] { return false; }, ms);
}

// A dbus-daemon of the test's own, with no services to start on demand.
class PrivateBus {
 public:
  explicit PrivateBus(const std::string& dir) {
    const std::string config = dir + "/bus.conf";
    WriteWhole(
        config,
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>session</type><listen>unix:tmpdir=" +
            dir +
            "</listen><auth>EXTERNAL</auth>"
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(pipe_fds[0]);
      // Its complaints about limits it may not raise are no concern of the tests.
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, 2);
      const std::string config_arg = "--config-file=" + config;
      const std::string print_arg = "--print-address=" + std::to_string(pipe_fds[1]);
      execlp("dbus-daemon", "dbus-daemon", config_arg.c_str(), "--nofork", print_arg.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_fds[1]);
    std::string line;
    char c = 0;
    while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(pipe_fds[0]);
    address_ = line;
  }
  ~PrivateBus() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

struct Shown {
  uint id = 0;
  QString summary;
  QString body;
  QStringList actions;
};

// The notification server: answers GetCapabilities, Notify, CloseNotification and
// GetServerInformation as a desktop's would, and records what it was asked to show.
class NotificationServer : public QDBusVirtualObject {
 public:
  NotificationServer(const std::string& address, QStringList capabilities)
      : capabilities_(std::move(capabilities)),
        name_(QStringLiteral("server-%1").arg(++Serial())),
        bus_(QDBusConnection::connectToBus(QString::fromStdString(address), name_)) {
    App();
  }
  ~NotificationServer() override {
    bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(name_);
  }

  // Takes the service's name on the bus; false when that failed.
  bool Register() {
    return bus_.isConnected() &&
           bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this) &&
           bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
  }

  const std::vector<Shown>& shown() const { return shown_; }
  int capability_calls() const { return capability_calls_; }

  // The user chooses `action` on notification `id`; the server then closes it.
  void Invoke(uint id, const QString& action) {
    QDBusMessage invoked = QDBusMessage::createSignal(kPath, kInterface, "ActionInvoked");
    invoked << id << action;
    bus_.send(invoked);
    QDBusMessage closed = QDBusMessage::createSignal(kPath, kInterface, "NotificationClosed");
    closed << id << uint{2};
    bus_.send(closed);
  }

  // The first notification shown with this summary, or none.
  const Shown* Find(const QString& summary) const {
    for (const Shown& s : shown_) {
      if (s.summary == summary) return &s;
    }
    return nullptr;
  }
  QStringList Summaries() const {
    QStringList all;
    for (const Shown& s : shown_) all << s.summary;
    return all;
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != QLatin1String(kInterface)) return false;
    const QString member = message.member();
    if (member == QLatin1String("GetCapabilities")) {
      ++capability_calls_;
      connection.send(message.createReply(QVariant(capabilities_)));
    } else if (member == QLatin1String("Notify")) {
      const QList<QVariant> args = message.arguments();
      if (args.size() != 8) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs, "8 arguments"));
        return true;
      }
      Shown s;
      s.id = ++next_id_;
      s.summary = args[3].toString();
      s.body = args[4].toString();
      s.actions = args[5].toStringList();
      shown_.push_back(s);
      connection.send(message.createReply(QVariant::fromValue(s.id)));
    } else if (member == QLatin1String("CloseNotification")) {
      connection.send(message.createReply());
    } else if (member == QLatin1String("GetServerInformation")) {
      connection.send(
          message.createReply(QList<QVariant>{QStringLiteral("test"), QStringLiteral("pellucor"),
                                              QStringLiteral("1"), QStringLiteral("1.2")}));
    } else {
      return false;
    }
    return true;
  }
  QString introspect(const QString&) const override { return {}; }

 private:
  static constexpr const char* kPath = "/org/freedesktop/Notifications";
  static constexpr const char* kInterface = "org.freedesktop.Notifications";
  static int& Serial() {
    static int serial = 0;
    return serial;
  }

  QStringList capabilities_;
  QString name_;
  QDBusConnection bus_;
  std::vector<Shown> shown_;
  uint next_id_ = 100;
  int capability_calls_ = 0;
};

// pellucor-remind as a real process on the scratch data directory `data_dir`, with its state and
// configuration beside it (where RunCli puts pellucor-cli's), its standard error in a file.
class AgentProcess {
 public:
  AgentProcess(const std::string& data_dir, const std::string& bus, const std::string& clock,
               std::vector<std::string> env = {}) {
    const std::string base = std::filesystem::path(data_dir).parent_path().string();
    static int serial = 0;
    err_path_ = base + "/agent-" + std::to_string(++serial) + ".err";
    pid_ = fork();
    if (pid_ == 0) {
      const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int null = open("/dev/null", O_RDWR);
      if (err < 0 || null < 0 || chdir("/") != 0) _exit(127);
      dup2(null, 0);
      dup2(null, 1);
      dup2(err, 2);
      setenv("PELLUCOR_DATA_DIR", data_dir.c_str(), 1);
      setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
      setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
      setenv("PELLUCOR_REMIND_TODAY", clock.c_str(), 1);
      for (const std::string& e : env) putenv(strdup(e.c_str()));
      execl(PELLUCOR_REMIND_PATH, PELLUCOR_REMIND_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~AgentProcess() { Stop(); }
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exit_status_ = status;
      pid_ = -1;
      return false;
    }
    return true;
  }
  // Ends the agent; true when it was still running (it did not stop by itself).
  bool Stop() {
    if (!Running()) return false;
    kill(pid_, SIGTERM);
    waitpid(pid_, &exit_status_, 0);
    pid_ = -1;
    return true;
  }
  std::string Errors() const { return ReadWhole(err_path_); }
  int exit_status() const { return exit_status_; }

 private:
  pid_t pid_ = -1;
  int exit_status_ = -1;
  std::string err_path_;
};

// A data directory, a bus and (unless a test starts it itself) a server with actions.
struct Stage {
  Scratch scratch;
  std::string dir = scratch.DataDir();
  PrivateBus bus{scratch.root()};

  // Adds a note through pellucor-cli and returns its id.
  std::string Add(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"add"};
    args.insert(args.end(), options.begin(), options.end());
    const Outcome o = RunCli(dir, args);
    EXPECT_EQ(o.status, 0) << o.err;
    return o.out.substr(0, o.out.find('\n'));
  }
  // The field `name` of `pellucor-cli show ID` ("done", "reminder date", ...).
  std::string Field(const std::string& id, const std::string& name) {
    const Outcome o = RunCli(dir, {"show", id});
    for (const std::string& line : Lines(o.out)) {
      if (line.rfind(name + ":", 0) == 0) {
        const size_t value = line.find_first_not_of(' ', name.size() + 1);
        return value == std::string::npos ? "" : line.substr(value);
      }
    }
    return "?";
  }
  std::string Path(const std::string& name) const { return scratch.Path(name); }
  // The agent's state files (one per data directory) as one text.
  std::string State() const {
    std::string all;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(scratch.Path("state/pellucor"), ec)) {
      if (e.path().extension() == ".state") all += ReadWhole(e.path().string());
    }
    return all;
  }
};

}  // namespace pellucor::app::remindtest
