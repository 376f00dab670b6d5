// Two pellucor-cli processes adding notes at the same time lose nothing, and the file stays sound.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

// Each writer runs pellucor-cli this many times (fewer under the sanitizer build).
int AddsPerWriter() {
  return getenv("PELLUCOR_SHORT") ? 100 : 500;
}

TEST(Concurrency, TwoWritersAddingAtOnceLoseNothing) {
  Scratch s;
  const std::string dir = s.DataDir();
  const int adds = AddsPerWriter();
  // Both start before the data file exists, so both race to create it too.
  std::vector<pid_t> writers;
  for (const char* name : {"left", "right"}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < adds; ++i) {
        const Outcome o =
            RunCli(dir, {"add", "--topic", std::string(name) + " " + std::to_string(i), "--memo",
                         "written by " + std::string(name)});
        if (o.status != 0 || o.out.empty()) {
          std::fprintf(stderr, "%s %d: status %d %s\n", name, i, o.status, o.err.c_str());
          _exit(1);
        }
      }
      _exit(0);
    }
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Outcome listed = RunCli(dir, {"list", "--tsv"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::vector<std::string> lines = Lines(listed.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(2 * adds + 1));
  std::set<std::string> topics, ids;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    topics.insert(f[3]);
    ids.insert(f[0]);
  }
  EXPECT_EQ(topics.size(), static_cast<size_t>(2 * adds));
  EXPECT_EQ(ids.size(), static_cast<size_t>(2 * adds));
  EXPECT_TRUE(topics.count("left 0") && topics.count("right " + std::to_string(adds - 1)));
  const Outcome check = RunCli(dir, {"check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST(Concurrency, ReaderWhileAnotherProgramWrites) {
  Scratch s;
  const std::string dir = s.DataDir();
  ASSERT_EQ(RunCli(dir, {"add", "--topic", "first"}).status, 0);
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int i = 0; i < 40; ++i) {
      if (RunCli(dir, {"add", "--topic", "w" + std::to_string(i)}).status != 0) _exit(1);
    }
    _exit(0);
  }
  // Every listing taken meanwhile is a whole state: the notes counted rise and never fall.
  size_t last = 0;
  for (int i = 0; i < 15; ++i) {
    const Outcome o = RunCli(dir, {"list", "--tsv"});
    ASSERT_EQ(o.status, 0) << o.err;
    const size_t count = Lines(o.out).size() - 1;
    EXPECT_GE(count, last);
    last = count;
  }
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Lines(RunCli(dir, {"list", "--tsv"}).out).size(), 42u);
}

// A program that opens the notes the way the desktop program does (0x22: others may only read)
// keeps pellucor-cli's writes out, with a message, but not its reads.
TEST(Concurrency, SingleWriterElsewhereAllowsReadingRefusesWriting) {
  Scratch s;
  const std::string dir = s.DataDir();
  ASSERT_EQ(RunCli(dir, {"add", "--topic", "shared"}).status, 0);
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    if (chdir(dir.c_str()) != 0) _exit(2);
    setenv("XDG_STATE_HOME", (s.root() + "/state").c_str(), 1);
    auto notes = MakeSNotes(&data::KestruneDriverInstance());
    data::OpArgs open;
    open.mode = 0x22;
    const char answer = data::Dispatch(*notes, data::Op::kOPEN, open).error == 0 ? 'y' : 'n';
    if (write(ready[1], &answer, 1) != 1) _exit(2);
    char byte = 0;
    if (read(release[0], &byte, 1) != 1) _exit(2);
    (void)data::Dispatch(*notes, data::Op::kCLOSE);
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(read(ready[0], &answer, 1), 1);
  ASSERT_EQ(answer, 'y');
  const Outcome listed = RunCli(dir, {"list", "--tsv"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(Lines(listed.out).size(), 2u);
  const Outcome refused = RunCli(dir, {"add", "--topic", "blocked"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("without sharing it for writing"), std::string::npos) << refused.err;
  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(RunCli(dir, {"add", "--topic", "after"}).status, 0);
  EXPECT_EQ(Lines(RunCli(dir, {"list", "--tsv"}).out).size(), 3u);
  for (const int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

}  // namespace
}  // namespace pellucor::app::clitest
