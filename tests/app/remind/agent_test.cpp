// pellucor-remind as the user meets it: a real agent process on a private session bus, with a
// notification server of the test's own, over data files made by the real pellucor-cli. The
// agent's day is given (PELLUCOR_REMIND_TODAY), so the tests never wait for a real clock.
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QRegularExpression>

#include "tests/app/remind/remind_test_util.h"

namespace pellucor::app::remindtest {
namespace {

const QStringList kFullServer = {"actions", "body"};

// Moves the agent's clock: the file is replaced whole, so the agent never reads it half written.
void SetClock(const std::string& path, const std::string& time) {
  WriteWhole(path + ".new", time + "\n");
  std::filesystem::rename(path + ".new", path);
}

// The notes of a prepared file on 2026-03-10: three due (one overdue, one today, one in three
// days), three not (four days ahead, done, no reminder). Note dates give "Current Reminders"
// its order.
struct PreparedFile {
  std::string overdue, today, in_three, in_four, done, plain;
  explicit PreparedFile(Stage& s) {
    overdue = s.Add({"--topic", "Pay the rent", "--date", "2026-03-01", "--remind", "2026-03-08",
                     "--memo", "Transfer <1,200> & keep the receipt\nsecond line stays out"});
    in_four = s.Add({"--topic", "Too early", "--date", "2026-03-02", "--remind", "2026-03-14"});
    today = s.Add({"--topic", "Dentist", "--date", "2026-03-03", "--remind", "2026-03-10"});
    done = s.Add(
        {"--topic", "Already done", "--date", "2026-03-04", "--remind", "2026-03-09", "--done"});
    in_three =
        s.Add({"--topic", "Library books", "--date", "2026-03-05", "--remind", "2026-03-13"});
    plain = s.Add({"--topic", "Just a note", "--date", "2026-03-06"});
  }
};

TEST(RemindAgent, StartupShowsExactlyTheDueNotesOnceADay) {
  Stage s;
  ASSERT_FALSE(s.bus.address().empty());
  PreparedFile notes(s);
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  {
    AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
    ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 3; })) << agent.Errors();
    Settle(500);
    EXPECT_EQ(server.Summaries(), QStringList({"Pay the rent", "Dentist", "Library books"}));
    const Shown* rent = server.Find("Pay the rent");
    ASSERT_NE(rent, nullptr);
    // The date, "overdue", and only the memo's first line; a plain-text server gets it as is.
    EXPECT_TRUE(rent->body.contains("overdue")) << rent->body.toStdString();
    EXPECT_TRUE(rent->body.contains("Transfer <1,200> & keep the receipt"))
        << rent->body.toStdString();
    EXPECT_FALSE(rent->body.contains("second line")) << rent->body.toStdString();
    EXPECT_FALSE(server.Find("Dentist")->body.contains("overdue"));
    EXPECT_FALSE(server.Find("Library books")->body.contains("overdue"));
    EXPECT_EQ(rent->actions, QStringList({"default", "Open", "done", "Done", "tomorrow", "Tomorrow",
                                          "open", "Open"}));
    EXPECT_TRUE(agent.Running());
    EXPECT_EQ(agent.Errors(), "");
  }
  // Started again the same day, it shows nothing again; the next day it shows them again (and
  // the note four days ahead is now due as well).
  {
    AgentProcess agent(s.dir, s.bus.address(), "2026-03-10 18:00");
    Settle(1000);
    EXPECT_EQ(server.shown().size(), 3u);
  }
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-11");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 7; })) << agent.Errors();
  Settle(300);
  EXPECT_EQ(server.Summaries().mid(3),
            QStringList({"Pay the rent", "Too early", "Dentist", "Library books"}));
  // The notes themselves are untouched.
  EXPECT_EQ(s.Field(notes.overdue, "done"), "N");
}

TEST(RemindAgent, BeyondFiveOneMoreNotificationCountsTheRest) {
  Stage s;
  for (int i = 1; i <= 8; ++i) {
    s.Add({"--topic", "Due " + std::to_string(i), "--date", "2026-02-0" + std::to_string(i),
           "--remind", "2026-03-0" + std::to_string(i)});
  }
  s.Add({"--topic", "Not yet", "--date", "2026-02-20", "--remind", "2026-04-01"});
  // A server that knows neither actions nor markup still hears what is due.
  NotificationServer server(s.bus.address(), {"body-markup"});
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-09");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 6; })) << agent.Errors();
  Settle(500);
  ASSERT_EQ(server.shown().size(), 6u);
  EXPECT_EQ(server.Summaries(),
            QStringList({"Due 1", "Due 2", "Due 3", "Due 4", "Due 5", "3 more reminders are due"}));
  for (const Shown& shown : server.shown()) EXPECT_TRUE(shown.actions.isEmpty());
  EXPECT_TRUE(server.Find("Due 1")->body.contains("overdue"));
  // The counted ones are told for today: a change to the file brings no second round of them.
  s.Add({"--topic", "Fresh", "--date", "2026-03-09", "--remind", "2026-03-09"});
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 7; })) << agent.Errors();
  Settle(500);
  EXPECT_EQ(server.Summaries().mid(6), QStringList({"Fresh"}));
}

TEST(RemindAgent, MarkupServersGetTheMemoEscaped) {
  Stage s;
  s.Add({"--topic", "Tags <b>", "--date", "2026-03-01", "--remind", "2026-03-10", "--memo",
         "a <i>b</i> & c"});
  NotificationServer server(s.bus.address(), {"actions", "body", "body-markup"});
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 1; })) << agent.Errors();
  EXPECT_EQ(server.shown()[0].summary, "Tags <b>");  // the summary is never markup
  EXPECT_TRUE(server.shown()[0].body.contains("a &lt;i&gt;b&lt;/i&gt; &amp; c"))
      << server.shown()[0].body.toStdString();
}

TEST(RemindAgent, ChangesMadeByPellucorCliWhileItRunsAreNoticed) {
  Stage s;
  const std::string later =
      s.Add({"--topic", "Later", "--date", "2026-03-01", "--remind", "2026-05-01"});
  // A damaged time setting costs one line, and the default time is used.
  WriteWhole(s.dir + "/KNB4.INI", "[Reminders]\nTime=25:99\n");
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  Settle(800);
  EXPECT_TRUE(server.shown().empty());
  s.Add({"--topic", "Newly due", "--date", "2026-03-10", "--remind", "2026-03-11"});
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 1; })) << agent.Errors();
  ASSERT_EQ(RunCli(s.dir, {"edit", later, "--remind", "2026-03-09"}).status, 0);
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 2; })) << agent.Errors();
  Settle(500);
  EXPECT_EQ(server.Summaries(), QStringList({"Newly due", "Later"}));
  const std::vector<std::string> lines = Lines(agent.Errors());
  ASSERT_EQ(lines.size(), 1u) << agent.Errors();
  EXPECT_NE(lines[0].find("Time=25:99 is no time of day HH:MM; 09:00 is used"), std::string::npos)
      << lines[0];
}

TEST(RemindAgent, DoneMarksTheNoteDoneInTheFile) {
  Stage s;
  PreparedFile notes(s);
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 3; })) << agent.Errors();
  server.Invoke(server.Find("Dentist")->id, "done");
  ASSERT_TRUE(WaitFor([&] { return s.Field(notes.today, "done") == "Y"; })) << agent.Errors();
  // pellucor-cli sees it gone from the current reminders; nothing else changed.
  const Outcome due = RunCli(s.dir, {"list", "--tab", "reminders", "--tsv"});
  EXPECT_EQ(due.out.find("Dentist"), std::string::npos) << due.out;
  EXPECT_EQ(s.Field(notes.overdue, "done"), "N");
  EXPECT_EQ(s.Field(notes.in_three, "done"), "N");
  EXPECT_EQ(s.Field(notes.today, "topic"), "Dentist");
  EXPECT_EQ(s.Field(notes.today, "reminder date").substr(0, 10), "2026-03-10");
  // Another program's notification ids are not the agent's to act on.
  server.Invoke(9999, "done");
  Settle(300);
  EXPECT_EQ(s.Field(notes.overdue, "done"), "N");
  EXPECT_EQ(server.shown().size(), 3u);
  EXPECT_EQ(agent.Errors(), "");
}

TEST(RemindAgent, DoneOnANoteThatIsGoneOrReplacedChangesNothing) {
  Stage s;
  const std::string gone =
      s.Add({"--topic", "Deleted soon", "--date", "2026-03-01", "--remind", "2026-03-10"});
  const std::string reused =
      s.Add({"--topic", "Old topic", "--date", "2026-03-02", "--remind", "2026-03-10"});
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 2; })) << agent.Errors();
  // Before the user presses "Done", one note is deleted and the other's record now holds a
  // different note (as when a deleted note's record is taken by a new one).
  ASSERT_EQ(RunCli(s.dir, {"delete", gone}).status, 0);
  ASSERT_EQ(RunCli(s.dir, {"edit", reused, "--topic", "Other note", "--date", "2026-03-05",
                           "--remind", "2026-06-01"})
                .status,
            0);
  server.Invoke(server.Find("Deleted soon")->id, "done");
  server.Invoke(server.Find("Old topic")->id, "done");
  ASSERT_TRUE(WaitFor([&] { return Lines(agent.Errors()).size() >= 2; })) << agent.Errors();
  EXPECT_NE(agent.Errors().find("the note " + gone + " is not marked done"), std::string::npos)
      << agent.Errors();
  EXPECT_NE(agent.Errors().find("was changed or replaced since it was shown"), std::string::npos)
      << agent.Errors();
  EXPECT_EQ(s.Field(reused, "done"), "N");
  EXPECT_TRUE(agent.Running());
}

TEST(RemindAgent, TomorrowSilencesTheNoteUntilTheNextDayAndTheDailyTimeIsKept) {
  Stage s;
  PreparedFile notes(s);
  WriteWhole(s.dir + "/KNB4.INI", "[Reminders]\nTime=09:30\n");
  const std::string clock = s.Path("clock");
  SetClock(clock, "2026-03-10 10:00");
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "@" + clock);
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 3; })) << agent.Errors();
  const uint rent = server.Find("Pay the rent")->id;
  // Past midnight, before the daily time, the user puts the rent off: it stays silent through
  // the 11th although it was last shown on the 10th.
  SetClock(clock, "2026-03-11 09:29");
  Settle(300);
  EXPECT_EQ(server.shown().size(), 3u);
  server.Invoke(rent, "tomorrow");
  ASSERT_TRUE(WaitFor([&] {
    return s.State().find("snoozed " + notes.overdue) != std::string::npos;
  })) << agent.Errors();
  SetClock(clock, "2026-03-11 09:30");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 6; })) << agent.Errors();
  Settle(300);
  EXPECT_EQ(server.Summaries().mid(3), QStringList({"Too early", "Dentist", "Library books"}));
  // A change to the file on the 11th brings no rent either.
  s.Add({"--topic", "Dinner", "--date", "2026-03-11", "--remind", "2026-03-11"});
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 7; })) << agent.Errors();
  Settle(300);
  EXPECT_EQ(server.Summaries().mid(6), QStringList({"Dinner"}));
  // On the 12th it is back, at the daily time and not before.
  SetClock(clock, "2026-03-12 09:00");
  Settle(300);
  EXPECT_EQ(server.shown().size(), 7u);
  SetClock(clock, "2026-03-12 09:31");
  ASSERT_TRUE(WaitFor([&] { return server.Summaries().mid(7).contains("Pay the rent"); }))
      << agent.Errors();
  // Snoozing never touched the note.
  EXPECT_EQ(s.Field(notes.overdue, "done"), "N");
  EXPECT_EQ(s.Field(notes.overdue, "reminder date").substr(0, 10), "2026-03-08");
  EXPECT_EQ(agent.Errors(), "");
}

// The processes of the desktop program built beside the agent whose working directory (which it
// makes its data directory) is `dir`.
std::vector<pid_t> DesktopsOn(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path program = fs::canonical(PELLUCOR_DESKTOP_PATH, ec);
  const fs::path wanted = fs::canonical(dir, ec);
  std::vector<pid_t> found;
  for (const fs::directory_entry& e : fs::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code e1, e2;
    if (fs::read_symlink(e.path() / "exe", e1) == program &&
        fs::read_symlink(e.path() / "cwd", e2) == wanted) {
      found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
  }
  return found;
}

TEST(RemindAgent, OpenStartsTheDesktopProgramOnceOnTheSameData) {
  Stage s;
  s.Add({"--topic", "Look at me", "--date", "2026-03-01", "--remind", "2026-03-10"});
  s.Add({"--topic", "And me", "--date", "2026-03-02", "--remind", "2026-03-10"});
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10", {"QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 2; })) << agent.Errors();
  server.Invoke(server.shown()[0].id, "open");
  ASSERT_TRUE(WaitFor([&] { return !DesktopsOn(s.dir).empty(); })) << agent.Errors();
  // Once the program has taken its name on the bus, a second Open (or a click on the other
  // notification) asks it to come to the front instead of starting a second one; dbus-monitor
  // watches the call go by.
  const QString name = QStringLiteral("org.pellucor.Desktop.p%1").arg(DesktopsOn(s.dir)[0]);
  QDBusConnection probe =
      QDBusConnection::connectToBus(QString::fromStdString(s.bus.address()), "open-probe");
  ASSERT_TRUE(WaitFor([&] { return probe.interface()->isServiceRegistered(name).value(); }));
  QProcess monitor;
  monitor.start("dbus-monitor", {"--address", QString::fromStdString(s.bus.address()),
                                 "type='method_call',interface='org.pellucor.Desktop'"});
  ASSERT_TRUE(monitor.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return monitor.bytesAvailable() > 0; }));  // it says it monitors
  server.Invoke(server.shown()[1].id, "default");
  QByteArray seen;
  EXPECT_TRUE(WaitFor([&] {
    seen += monitor.readAllStandardOutput();
    return seen.contains("member=Raise");
  })) << seen.toStdString();
  monitor.kill();
  monitor.waitForFinished();
  QDBusConnection::disconnectFromBus("open-probe");
  Settle(300);
  const std::vector<pid_t> desktops = DesktopsOn(s.dir);
  EXPECT_EQ(desktops.size(), 1u);
  for (const pid_t pid : desktops) kill(pid, SIGTERM);
  EXPECT_TRUE(WaitFor([&] { return DesktopsOn(s.dir).empty(); }));
  // The desktop program writes to the same standard error; the agent itself had nothing to say.
  EXPECT_EQ(agent.Errors().find("pellucor-remind:"), std::string::npos) << agent.Errors();
}

TEST(RemindAgent, NoServerOnTheBusIsSurvivedAndTriedAgain) {
  Stage s;
  PreparedFile notes(s);
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !agent.Errors().empty(); })) << "no complaint";
  Settle(800);  // several retries
  ASSERT_TRUE(agent.Running());
  const std::vector<std::string> lines = Lines(agent.Errors());
  ASSERT_EQ(lines.size(), 1u) << agent.Errors();
  EXPECT_NE(lines[0].find("no notification service"), std::string::npos) << lines[0];
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 3; })) << agent.Errors();
  Settle(300);
  EXPECT_EQ(server.Summaries(), QStringList({"Pay the rent", "Dentist", "Library books"}));
}

TEST(RemindAgent, AMissingDataFileIsWaitedFor) {
  Stage s;
  NotificationServer server(s.bus.address(), kFullServer);
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !agent.Errors().empty(); })) << "no complaint";
  Settle(500);
  EXPECT_EQ(Lines(agent.Errors()).size(), 1u) << agent.Errors();
  EXPECT_NE(agent.Errors().find("no data file plk.KSR"), std::string::npos) << agent.Errors();
  EXPECT_FALSE(std::filesystem::exists(s.dir + "/plk.KSR"));  // the agent makes none
  s.Add({"--topic", "First note", "--date", "2026-03-10", "--remind", "2026-03-10"});
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 1; })) << agent.Errors();
  EXPECT_EQ(server.shown()[0].summary, "First note");
}

TEST(RemindAgent, NoSessionBusAtAllIsSurvived) {
  Stage s;
  PreparedFile notes(s);
  AgentProcess agent(s.dir, "unix:path=" + s.Path("no-bus-here"), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !agent.Errors().empty(); })) << "no complaint";
  Settle(600);
  EXPECT_TRUE(agent.Running());
  EXPECT_EQ(Lines(agent.Errors()).size(), 1u) << agent.Errors();
}

}  // namespace
}  // namespace pellucor::app::remindtest
