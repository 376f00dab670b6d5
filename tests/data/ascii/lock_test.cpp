// The file lock and sharing against a real second program: this test binary run again with a
// role named in PELLUCOR_ASCII_CHILD_ROLE.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/data/ascii/ascii_test_support.h"

extern char** environ;

namespace pellucor::data::testing {
namespace {

constexpr const char* kRoleVar = "PELLUCOR_ASCII_CHILD_ROLE";
constexpr const char* kFileVar = "PELLUCOR_ASCII_CHILD_FILE";

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool WaitFor(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 100 && !Exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Exists(path);
}

// The second program. Roles:
//   hold-lock  opens the file shared, takes LOCKfile, says "ready", and unlocks on "go";
//   add        opens the file shared and adds the line "from child";
//   open       opens the file shared and closes it again.
// Each writes the error of its decisive operation to "<file>.result".
TEST(AsciiChild, Run) {
  const char* role_text = std::getenv(kRoleVar);
  const char* file_text = std::getenv(kFileVar);
  if (role_text == nullptr || file_text == nullptr) {
    GTEST_SKIP() << "runs only as the second program of the lock tests";
  }
  const std::string role = role_text;
  const std::string path = file_text;
  TextFile f(path, 40);
  int32_t result = f.Open(kReadWriteDenyNone);
  if (result == 0 && role == "hold-lock") {
    result = f.Op(Op::kLOCKfile);
    WriteWholeFile(path + ".ready", "ready");
    EXPECT_TRUE(WaitFor(path + ".go", 60));
    EXPECT_EQ(f.Op(Op::kUNLOCK), 0);
  } else if (result == 0 && role == "add") {
    result = f.Add("from child");
  }
  WriteWholeFile(path + ".result", std::to_string(result));
}

// Runs the second program in `role` on `path` and waits for it to end unless told not to.
class Child {
 public:
  Child(const std::string& role, const std::string& path) : path_(path) {
    ::unlink((path + ".ready").c_str());
    ::unlink((path + ".go").c_str());
    ::unlink((path + ".result").c_str());
    const char* self = std::getenv("PELLUCOR_TEST_BINARY");
    const std::string binary = self != nullptr ? self : "/proc/self/exe";
    std::vector<std::string> env{std::string(kRoleVar) + "=" + role,
                                 std::string(kFileVar) + "=" + path};
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=AsciiChild.Run";
    std::string binary_arg = binary;
    char* argv[] = {binary_arg.data(), filter.data(), nullptr};
    if (::posix_spawn(&pid_, binary.c_str(), nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  // Waits for the child's end (at most 60 seconds) and returns its result, or -999.
  int32_t Result() {
    if (pid_ <= 0) return -999;
    int status = 0;
    for (int i = 0; i < 6000; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ > 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -999;
    const std::string text = ReadWholeFile(path_ + ".result");
    return text.empty() ? -999 : std::stoi(text);
  }
  bool Ready() { return WaitFor(path_ + ".ready", 30); }
  void Go() { WriteWholeFile(path_ + ".go", "go"); }

 private:
  std::string path_;
  pid_t pid_ = -1;
};

class AsciiLock : public ::testing::Test {
 protected:
  void SetUp() override {
    UseNoSystemProfile();
    WriteWholeFile(path_, "first\r\n");
  }
  platform::testing::TempDir dir_;
  std::string path_ = dir_ / "shared.txt";
};

TEST_F(AsciiLock, AnotherProgramsLockBlocksSharedWritesUntilItIsReleased) {
  TextFile f(path_, 40);
  ASSERT_EQ(f.Open(kReadWriteDenyNone), 0);
  Child holder("hold-lock", path_);
  ASSERT_TRUE(holder.started());
  ASSERT_TRUE(holder.Ready());

  EXPECT_EQ(f.Add("blocked"), 5);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Op(Op::kPUT), 5);
  OpArgs timed;
  timed.seconds = 1;
  EXPECT_EQ(f.Op(Op::kLOCKfilesec, timed), 32);
  EXPECT_EQ(runtime::ErrorText().substr(0, 22), "File Is Already Locked");

  holder.Go();
  EXPECT_EQ(holder.Result(), 0);
  EXPECT_EQ(f.Add("after"), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(path_), "first\r\nafter\r\n");
}

TEST_F(AsciiLock, OwnWritesKeepTheLockThatLockFileTook) {
  TextFile f(path_, 40);
  ASSERT_EQ(f.Open(kReadWriteDenyNone), 0);
  ASSERT_EQ(f.Op(Op::kLOCKfile), 0);
  ASSERT_EQ(f.Add("mine"), 0);  // takes and gives back the lock in its depth only
  ASSERT_EQ(f.Add("mine too"), 0);
  {
    Child writer("add", path_);
    EXPECT_EQ(writer.Result(), 5);  // still locked: the other program cannot write
  }
  ASSERT_EQ(f.Op(Op::kUNLOCK), 0);
  {
    Child writer("add", path_);
    EXPECT_EQ(writer.Result(), 0);
  }
  // The shared open sees what the other program appended, and appends after it.
  ASSERT_EQ(f.Add("last"), 0);
  EXPECT_EQ(f.ReadAll(),
            (std::vector<std::string>{"first", "mine", "mine too", "from child", "last"}));
}

TEST_F(AsciiLock, SharedReaderSeesLinesAnotherProgramAdds) {
  TextFile f(path_, 40);
  ASSERT_EQ(f.Open(kReadDenyNone), 0);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Value(Op::kEOF), 1);
  {
    Child writer("add", path_);
    ASSERT_EQ(writer.Result(), 0);
  }
  // Without quick scan every read goes to the disk: the new line is there.
  EXPECT_EQ(f.Value(Op::kEOF), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(), "from child");
}

TEST_F(AsciiLock, AnOpenThatDeniesOthersKeepsTheOtherProgramOut) {
  TextFile f(path_, 40);
  ASSERT_EQ(f.Open(kReadWriteDenyAll), 0);
  {
    Child opener("open", path_);
    EXPECT_EQ(opener.Result(), 32);
  }
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  Child opener("open", path_);
  EXPECT_EQ(opener.Result(), 0);
}

}  // namespace
}  // namespace pellucor::data::testing
