// LOCKfile and LOCKfilesec against a lock that a second program holds.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "data/driver/driver.h"
#include "platform/clock.h"
#include "runtime/core/error_state.h"
#include "tests/data/driver/test_driver.h"

extern char** environ;

namespace pellucor::data {
namespace {

using testing::TestDriver;

// Runs in the second process: holds the lock byte for the given time, after saying so.
TEST(LockHolder, Child) {
  const char* path = std::getenv("PELLUCOR_LOCK_HOLD_FILE");
  if (path == nullptr) GTEST_SKIP() << "runs only as the second process of LockWait tests";
  const int fd = testing::TryLockByte(path);
  ASSERT_GE(fd, 0);
  std::ofstream(std::string(path) + ".ready") << "ready";
  std::this_thread::sleep_for(
      std::chrono::milliseconds(std::atoi(std::getenv("PELLUCOR_LOCK_HOLD_MS"))));
  ::close(fd);
}

pid_t StartHolder(const std::string& path, int hold_ms) {
  const char* self = std::getenv("PELLUCOR_TEST_BINARY");
  const std::string binary = self ? self : "/proc/self/exe";
  ::setenv("PELLUCOR_LOCK_HOLD_FILE", path.c_str(), 1);
  ::setenv("PELLUCOR_LOCK_HOLD_MS", std::to_string(hold_ms).c_str(), 1);
  std::string filter = "--gtest_filter=LockHolder.Child";
  char* argv[] = {const_cast<char*>(binary.c_str()), filter.data(), nullptr};
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv, environ);
  ::unsetenv("PELLUCOR_LOCK_HOLD_FILE");
  ::unsetenv("PELLUCOR_LOCK_HOLD_MS");
  if (rc != 0) return -1;
  for (int i = 0; i < 500 && ::access((path + ".ready").c_str(), F_OK) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pid;
}

TEST(LockWait, TimedLockGivesUpAndUntimedLockWaits) {
  ::setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-test-system.ini", 1);
  const std::string path = ::testing::TempDir() + "lock_wait_" + std::to_string(::getpid());
  ::unlink((path + ".ready").c_str());
  TestDriver driver;
  driver.lock_path = path;
  auto decl = DeclarationBuilder("Locked", "lk", &driver).Name("locked").String("X", 4).Build();
  OpArgs open;
  open.mode = 0x42;
  ASSERT_EQ(Dispatch(*decl, Op::kOPEN, open).error, 0);

  const pid_t holder = StartHolder(path, 4000);
  ASSERT_GT(holder, 0);
  ASSERT_EQ(::access((path + ".ready").c_str(), F_OK), 0);

  OpArgs timed;
  timed.seconds = 1;
  const int64_t start = platform::MonotonicHundredths();
  EXPECT_EQ(Dispatch(*decl, Op::kLOCKfilesec, timed).error, 32);
  const int64_t waited = platform::MonotonicHundredths() - start;
  EXPECT_GE(waited, 100);
  EXPECT_LT(waited, 350);
  EXPECT_EQ(runtime::ErrorCode(), 32);
  EXPECT_EQ(decl->Block()->state & state_bit::kLocked, 0u);

  // LOCKfile waits for as long as the other program holds the lock.
  OpArgs untimed;
  EXPECT_EQ(Dispatch(*decl, Op::kLOCKfile, untimed).error, 0);
  EXPECT_GE(platform::MonotonicHundredths() - start, 350);
  EXPECT_EQ(decl->Block()->state & (state_bit::kLocked | state_bit::kExclusive),
            state_bit::kLocked | state_bit::kExclusive);
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Dispatch(*decl, Op::kLOCKfile, untimed).error, -1);  // already locked: silent
  ::unlink(path.c_str());
  ::unlink((path + ".ready").c_str());
}

}  // namespace
}  // namespace pellucor::data
