// The agent and other programs on one data file: a file another program holds for itself is
// survived and read once it is free again; "Done" while another program holds the file for
// writing alone is kept and carried out once it can be.
#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "tests/app/remind/remind_test_util.h"
#include "tests/support/child_process.h"

namespace pellucor::app::remindtest {
namespace {

using testsupport::ChildProgram;

// The second program: opens the notes table of the data directory it runs in with the access
// mode its role names, says "held", and closes it when told.
TEST(RemindHolder, Run) {
  const std::string role = testsupport::ChildRole();
  if (role.empty()) GTEST_SKIP() << "runs only as a second program";
  const int mode = role == "deny-all"
                       ? data::access_mode::kReadWrite | data::access_mode::kDenyAll
                       : data::access_mode::kReadWrite | data::access_mode::kDenyWrite;
  auto notes = MakeSNotes(&data::KestruneDriverInstance());
  data::OpArgs open;
  open.mode = mode;
  const int32_t e = data::Dispatch(*notes, data::Op::kOPEN, open).error;
  testsupport::WriteLine(testsupport::ChildOut(), e == 0 ? "held" : "error " + std::to_string(e));
  (void)testsupport::ReadLine(testsupport::ChildIn(), 60000);
  if (e == 0) (void)data::Dispatch(*notes, data::Op::kCLOSE);
  std::_Exit(0);
}

// Starts the holder in the data directory.
std::unique_ptr<ChildProgram> Hold(const Stage& s, const std::string& mode) {
  const std::string base = std::filesystem::path(s.dir).parent_path().string();
  std::string old = std::filesystem::current_path().string();
  std::filesystem::current_path(s.dir);
  auto child = std::make_unique<ChildProgram>(
      "RemindHolder.Run", mode, std::vector<std::string>{"XDG_STATE_HOME=" + base + "/state"});
  std::filesystem::current_path(old);
  return child;
}

TEST(RemindSharing, AFileHeldByAnotherProgramIsSurvivedAndReadOnceFree) {
  Stage s;
  s.Add({"--topic", "Held back", "--date", "2026-03-01", "--remind", "2026-03-10"});
  NotificationServer server(s.bus.address(), {"actions"});
  ASSERT_TRUE(server.Register());
  auto holder = Hold(s, "deny-all");
  ASSERT_EQ(holder->Read(), "held");
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !agent.Errors().empty(); })) << "no complaint";
  Settle(1000);  // several tries
  EXPECT_TRUE(agent.Running());
  EXPECT_TRUE(server.shown().empty());
  const std::vector<std::string> lines = Lines(agent.Errors());
  ASSERT_EQ(lines.size(), 1u) << agent.Errors();
  EXPECT_NE(lines[0].find("cannot read the reminders"), std::string::npos) << lines[0];
  holder->Send("release");
  EXPECT_TRUE(holder->ExitedCleanly());
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 1; })) << agent.Errors();
  EXPECT_EQ(server.shown()[0].summary, "Held back");
}

TEST(RemindSharing, DoneWhileAnotherProgramHoldsTheFileForWritingIsCarriedOutLater) {
  Stage s;
  const std::string id =
      s.Add({"--topic", "Water plants", "--date", "2026-03-01", "--remind", "2026-03-10"});
  NotificationServer server(s.bus.address(), {"actions"});
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return server.shown().size() >= 1; })) << agent.Errors();
  // Another program opens the file for writing and lets others only read.
  auto holder = Hold(s, "deny-write");
  ASSERT_EQ(holder->Read(), "held");
  server.Invoke(server.shown()[0].id, "done");
  ASSERT_TRUE(WaitFor([&] { return agent.Errors().find("cannot mark") != std::string::npos; }))
      << agent.Errors();
  EXPECT_EQ(s.Field(id, "done"), "N");
  // The choice is kept even across a restart of the agent.
  EXPECT_TRUE(agent.Stop());
  AgentProcess again(s.dir, s.bus.address(), "2026-03-10");
  Settle(500);
  EXPECT_EQ(s.Field(id, "done"), "N");
  holder->Send("release");
  EXPECT_TRUE(holder->ExitedCleanly());
  ASSERT_TRUE(WaitFor([&] { return s.Field(id, "done") == "Y"; })) << again.Errors();
  EXPECT_EQ(server.shown().size(), 1u);
}

TEST(RemindSharing, ADamagedDataFileIsSurvived) {
  Stage s;
  s.Add({"--topic", "Whatever", "--date", "2026-03-01", "--remind", "2026-03-10"});
  // Garbage over the file's pages after its header.
  {
    std::string bytes = ReadWhole(s.dir + "/plk.KSR");
    ASSERT_GT(bytes.size(), 1024u);
    for (size_t i = 512; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    WriteWhole(s.dir + "/plk.KSR", bytes);
  }
  NotificationServer server(s.bus.address(), {"actions"});
  ASSERT_TRUE(server.Register());
  AgentProcess agent(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !agent.Errors().empty(); })) << "no complaint";
  Settle(800);
  EXPECT_TRUE(agent.Running());
  EXPECT_EQ(Lines(agent.Errors()).size(), 1u) << agent.Errors();
  EXPECT_TRUE(server.shown().empty());
}

TEST(RemindSharing, OneAgentPerDataDirectory) {
  Stage s;
  AgentProcess first(s.dir, s.bus.address(), "2026-03-10");
  Settle(300);
  AgentProcess second(s.dir, s.bus.address(), "2026-03-10");
  ASSERT_TRUE(WaitFor([&] { return !second.Running(); }, 5000));
  EXPECT_TRUE(WIFEXITED(second.exit_status()) && WEXITSTATUS(second.exit_status()) == 0);
  EXPECT_NE(second.Errors().find("already running"), std::string::npos) << second.Errors();
  EXPECT_TRUE(first.Running());
}

}  // namespace
}  // namespace pellucor::app::remindtest
