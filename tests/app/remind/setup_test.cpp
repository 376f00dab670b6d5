// Setting the agent up: `pellucor-cli remind` writes and removes the user's autostart entry and
// the time of day; the entry it writes is one the desktop accepts; and the pieces the agent and
// pellucor-cli share read what the user may have put in the files.
#include "app/remind/autostart.h"
#include "app/remind/daily_time.h"
#include "app/remind/data_helper.h"
#include "app/remind/reminder_state.h"
#include "tests/app/remind/remind_test_util.h"

namespace pellucor::app::remindtest {
namespace {

using remind::DailyTime;
using remind::ParseDailyTime;

TEST(RemindSetup, EnableWritesAValidEntryDisableRemovesIt) {
  Scratch s;
  const std::string dir = s.Path("my data");  // a blank, which the Exec line must quote
  const std::string entry = s.Path("config/autostart/pellucor-remind.desktop");
  Outcome o = RunCli(dir, {"remind", "--enable"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("autostart: on"), std::string::npos) << o.out;
  const std::string text = ReadWhole(entry);
  EXPECT_NE(
      text.find("Exec=" + std::string(PELLUCOR_REMIND_PATH) + " --data-dir \"" + dir + "\"\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("Hidden=true"), std::string::npos);
  if (system("command -v desktop-file-validate >/dev/null") == 0) {
    EXPECT_EQ(system(("desktop-file-validate '" + entry + "'").c_str()), 0);
  }
  o = RunCli(dir, {"remind", "--disable"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("autostart: off"), std::string::npos) << o.out;
  EXPECT_FALSE(std::filesystem::exists(entry));
  // Disabling again is no fault.
  EXPECT_EQ(RunCli(dir, {"remind", "--disable"}).status, 0);
}

TEST(RemindSetup, TimeIsWrittenToTheSettingsFileAndBadInputWritesNothing) {
  Scratch s;
  const std::string dir = s.DataDir();
  WriteWhole(s.Path("KNB4-keep"), "");
  std::filesystem::create_directories(dir);
  WriteWhole(dir + "/KNB4.INI", "[Main]\nXPos=10\n");
  Outcome o = RunCli(dir, {"remind", "--time", "7:05"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("time:      07:05"), std::string::npos) << o.out;
  const std::string ini = ReadWhole(dir + "/KNB4.INI");
  EXPECT_NE(ini.find("[Main]\nXPos=10\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[Reminders]\nTime=07:05"), std::string::npos) << ini;
  for (const char* bad : {"24:00", "9", "09:60", "nine", "09:5", ""}) {
    o = RunCli(dir, {"remind", "--time", bad, "--enable"});
    EXPECT_EQ(o.status, 2) << bad;
    EXPECT_NE(o.err.find("not a time of day"), std::string::npos) << o.err;
  }
  EXPECT_EQ(ReadWhole(dir + "/KNB4.INI"), ini);
  EXPECT_FALSE(std::filesystem::exists(s.Path("config/autostart/pellucor-remind.desktop")));
  EXPECT_EQ(RunCli(dir, {"remind", "--enable", "--disable"}).status, 2);
  EXPECT_EQ(RunCli(dir, {"remind", "now"}).status, 2);
}

TEST(RemindSetup, DailyTimeForms) {
  EXPECT_EQ(ParseDailyTime("09:00"), (DailyTime{9, 0}));
  EXPECT_EQ(ParseDailyTime(" 7:30 "), (DailyTime{7, 30}));
  EXPECT_EQ(ParseDailyTime("23:59"), (DailyTime{23, 59}));
  EXPECT_EQ(ParseDailyTime("00:00"), (DailyTime{0, 0}));
  for (const char* bad : {"24:00", "12:60", "1230", "12:3", "-1:00", "a:bc", ":00", "123:00", ""}) {
    EXPECT_FALSE(ParseDailyTime(bad)) << bad;
  }
  EXPECT_EQ(remind::FormatDailyTime({7, 5}), "07:05");
}

TEST(RemindSetup, ExecArgumentsAreQuotedAsTheDesktopReadsThem) {
  using remind::ExecArgument;
  EXPECT_EQ(ExecArgument("/usr/bin/pellucor-remind"), "/usr/bin/pellucor-remind");
  EXPECT_EQ(ExecArgument("/home/a b"), "\"/home/a b\"");
  // Inside quotes ", `, $ and \ take a backslash; the file's string rules double every backslash.
  EXPECT_EQ(ExecArgument("/x/$HOME\"q"), "\"/x/\\\\$HOME\\\\\"q\"");
  EXPECT_EQ(ExecArgument("/x/50%"), "/x/50%%");
  EXPECT_EQ(ExecArgument(""), "\"\"");
}

TEST(RemindSetup, ADisabledEntryOfTheSystemStaysOffAnEnabledOneIsHiddenByDisable) {
  Scratch s;
  const std::string system_dir = s.Path("xdg");
  std::filesystem::create_directories(system_dir + "/autostart");
  // The entry as installed: off until enabled.
  std::filesystem::copy_file(
      std::string(PELLUCOR_SOURCE_DIR) + "/resources/autostart/pellucor-remind.desktop",
      system_dir + "/autostart/pellucor-remind.desktop");
  setenv("XDG_CONFIG_DIRS", system_dir.c_str(), 1);
  EXPECT_TRUE(remind::EnabledSystemEntries().empty());
  Outcome o = RunCli(s.DataDir(), {"remind"});
  EXPECT_NE(o.out.find("autostart: off"), std::string::npos) << o.out;
  // An administrator switched it on for everyone: --disable turns it off for this user alone.
  WriteWhole(system_dir + "/autostart/pellucor-remind.desktop",
             remind::AutostartEntry("pellucor-remind", remind::EntryState::kEnabled));
  EXPECT_EQ(remind::EnabledSystemEntries().size(), 1u);
  o = RunCli(s.DataDir(), {"remind"});
  EXPECT_NE(o.out.find("autostart: on"), std::string::npos) << o.out;
  o = RunCli(s.DataDir(), {"remind", "--disable"});
  EXPECT_NE(o.out.find("autostart: off"), std::string::npos) << o.out;
  const std::string user = ReadWhole(s.Path("config/autostart/pellucor-remind.desktop"));
  EXPECT_NE(user.find("Hidden=true"), std::string::npos) << user;
  unsetenv("XDG_CONFIG_DIRS");
}

TEST(RemindSetup, StateFileSurvivesDamageAndForgetsOldDays) {
  Scratch s;
  const std::string path = s.Path("state/remind.state");
  std::filesystem::create_directories(s.Path("state"));
  WriteWhole(path,
             "# comment\n"
             "shown 3 0123456789abcdef 2026-03-09\n"
             "shown 4 0123456789abcdef 2026-03-10\n"
             "snoozed 5 0123456789abcdef 2026-03-11\n"
             "done 6 0123456789abcdef\n"
             "shown x 0123456789abcdef 2026-03-10\n"
             "shown 7 NOTHEX 2026-03-10\n"
             "garbage\n"
             "\xff\xfe\n");
  remind::ReminderState state(path);
  EXPECT_EQ(state.Load(), 4);
  const remind::NoteKey k3{3, "0123456789abcdef"}, k4{4, "0123456789abcdef"},
      k5{5, "0123456789abcdef"}, k6{6, "0123456789abcdef"};
  EXPECT_TRUE(state.ShownOn(k4, "2026-03-10"));
  EXPECT_FALSE(state.ShownOn({4, "fedcba9876543210"}, "2026-03-10"));  // another note, same id
  EXPECT_TRUE(state.SnoozedOn(k5, "2026-03-10"));
  EXPECT_FALSE(state.SnoozedOn(k5, "2026-03-11"));
  EXPECT_TRUE(state.DonePending(k6));
  state.Prune("2026-03-10");
  ASSERT_TRUE(state.Save());
  remind::ReminderState again(path);
  EXPECT_EQ(again.Load(), 0);
  EXPECT_FALSE(again.ShownOn(k3, "2026-03-09"));
  EXPECT_TRUE(again.ShownOn(k4, "2026-03-10"));
  EXPECT_TRUE(again.SnoozedOn(k5, "2026-03-10"));
  EXPECT_TRUE(again.DonePending(k6));
  // Each data directory has a state of its own.
  EXPECT_NE(remind::StatePath("/a"), remind::StatePath("/b"));
}

TEST(RemindSetup, DueLinesCarryAnyTextThrough) {
  remind::DueNote note;
  note.id = 42;
  note.fingerprint = "00000000deadbeef";
  note.reminder_iso = "2026-03-10";
  note.reminder_shown = "3/10/2026";
  note.topic = "tab\there \\ back";
  note.memo_line = "café";
  const std::optional<remind::DueNote> back = remind::ParseDueLine(remind::DueLine(note));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, note);
  EXPECT_FALSE(remind::ParseDueLine("42\tshort\t2026-03-10\ta\tb\tc"));
  EXPECT_FALSE(remind::ParseDueLine("0\t00000000deadbeef\t2026-03-10\ta\tb\tc"));
  EXPECT_FALSE(remind::ParseDueLine("1\t00000000deadbeef\t2026-02-30\ta\tb\tc"));
}

}  // namespace
}  // namespace pellucor::app::remindtest
