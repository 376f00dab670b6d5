// A program that opens the data file while another one is in the middle of a commit waits for
// it, and writes nothing meanwhile. (Opening once read the header with no lock held, took the
// other program's log, still being written, for the log of a writer that had stopped, and
// "discarded" it by writing the old header back: the other program's commit was undone and the
// file damaged.) The test plays the committing program itself: it holds the whole reader-slot
// range and leaves a header pointing at a log that cannot be read, as a commit does for a moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

// Where the reader slots lie: 1023 one-byte locks from 2 GiB on (the lock layout in
// data/kestrune_driver/kestrune_driver.h).
constexpr off_t kSlotsStart = off_t{1} << 31;
constexpr off_t kSlotCount = 1023;

bool LockSlots(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kSlotsStart;
  lock.l_len = kSlotCount;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

std::string ReadHeader(int fd) {
  std::string h(512, '\0');
  EXPECT_EQ(pread(fd, h.data(), h.size(), 0), 512);
  return h;
}

void PutLe32(std::string* bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
}

// Runs pellucor-cli in a child process of its own; the exit status comes back through waitpid.
pid_t StartCli(const std::string& dir, std::vector<std::string> args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const Outcome o = RunCli(dir, args);
    if (o.status != 0) std::fprintf(stderr, "%s\n", o.err.c_str());
    _exit(o.status < 0 ? 99 : o.status);
  }
  return pid;
}

bool StillRunning(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

int ExitOf(pid_t pid) {
  int status = 0;
  // A reaper: a program that never comes back fails the test instead of hanging it.
  for (int i = 0; i < 600; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -2;
}

TEST(HeaderLocks, OpenersWaitForACommitInProgressAndWriteNothingMeanwhile) {
  Scratch s;
  const std::string dir = s.DataDir();
  for (const char* topic : {"first", "second"}) {
    ASSERT_EQ(RunCli(dir, {"add", "--topic", topic}).status, 0);
  }
  const int fd = open((dir + "/plk.KSR").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(LockSlots(fd, F_WRLCK));
  const std::string good = ReadHeader(fd);
  // The header of step 2 of a commit: a log from the end of the file on, not yet all there.
  const off_t end = lseek(fd, 0, SEEK_END);
  std::string logged = good;
  PutLe32(&logged, 6, static_cast<uint32_t>(end));
  PutLe32(&logged, 10, static_cast<uint32_t>(end + 4 * 256));
  ASSERT_EQ(pwrite(fd, logged.data(), logged.size(), 0), 512);

  const pid_t writer = StartCli(dir, {"add", "--topic", "third"});
  const pid_t reader = StartCli(dir, {"list", "--tsv"});
  ASSERT_GT(writer, 0);
  ASSERT_GT(reader, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_TRUE(StillRunning(writer)) << "a writer got in during another program's commit";
  EXPECT_TRUE(StillRunning(reader)) << "a reader got in during another program's commit";
  EXPECT_EQ(ReadHeader(fd), logged) << "the header was written during another program's commit";

  // The commit ends: its header in place, the range released.
  ASSERT_EQ(pwrite(fd, good.data(), good.size(), 0), 512);
  ASSERT_TRUE(LockSlots(fd, F_UNLCK));
  close(fd);
  EXPECT_EQ(ExitOf(writer), 0);
  EXPECT_EQ(ExitOf(reader), 0);

  const Outcome listed = RunCli(dir, {"list", "--tsv"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(Lines(listed.out).size(), 4u) << listed.out;
  const Outcome check = RunCli(dir, {"check"});
  EXPECT_EQ(check.status, 0) << check.out;
}

}  // namespace
}  // namespace pellucor::app::clitest
