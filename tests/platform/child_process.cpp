#include "tests/platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/profile.h"
#include "platform/system_error.h"

extern char** environ;

namespace pellucor::platform::testing {

namespace {

constexpr const char* kChildFds = "PELLUCOR_CHILD_FDS";
constexpr const char* kChildUser = "PELLUCOR_CHILD_USER";
constexpr uid_t kNobody = 65534;

std::string TestBinary() {
  const char* binary = std::getenv("PELLUCOR_TEST_BINARY");
  return binary != nullptr ? binary : "/proc/self/exe";
}

Access ParseAccess(const std::string& s) {
  if (s == "r") return Access::kRead;
  if (s == "w") return Access::kWrite;
  return Access::kReadWrite;
}

Share ParseShare(const std::string& s) {
  if (s == "all") return Share::kDenyAll;
  if (s == "write") return Share::kDenyWrite;
  if (s == "read") return Share::kDenyRead;
  if (s == "none") return Share::kDenyNone;
  return Share::kCompat;
}

bool WriteLine(int fd, std::string line) {
  line += '\n';
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t w = ::write(fd, line.data() + done, line.size() - done);
    if (w <= 0) return false;
    done += static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

ChildProcess::ChildProcess(ChildUser user) {
  ::signal(SIGPIPE, SIG_IGN);  // a child that died must fail the test, not kill it
  int down[2];
  int up[2];
  if (::pipe(down) != 0 || ::pipe(up) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  const std::string binary = TestBinary();
  const std::string fds =
      std::string(kChildFds) + "=" + std::to_string(down[0]) + "," + std::to_string(up[1]);
  std::vector<std::string> env_strings{fds};
  if (user == ChildUser::kUnprivileged)
    env_strings.emplace_back(std::string(kChildUser) + "=nobody");
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, kChildFds, std::strlen(kChildFds)) != 0 &&
        std::strncmp(*e, kChildUser, std::strlen(kChildUser)) != 0)
      env_strings.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=ChildProcess.Serve";
  std::vector<char*> argv{const_cast<char*>(binary.c_str()), filter.data(), nullptr};
  // The parent's ends must not leak into the child, or the child never sees end of input.
  ::fcntl(down[1], F_SETFD, FD_CLOEXEC);
  ::fcntl(up[0], F_SETFD, FD_CLOEXEC);
  // The child's own test report would only clutter this one's output.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const int spawned =
      ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << binary;
    pid_ = -1;
  }
  ::close(down[0]);
  ::close(up[1]);
  to_child_ = down[1];
  from_child_ = up[0];
}

ChildProcess::~ChildProcess() {
  if (to_child_ >= 0) {
    WriteLine(to_child_, "exit");
    ::close(to_child_);
  }
  if (pid_ > 0) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (from_child_ >= 0) ::close(from_child_);
}

void ChildProcess::Send(const std::string& command) {
  ASSERT_TRUE(WriteLine(to_child_, command)) << "child gone";
}

std::optional<std::string> ChildProcess::Answer(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{from_child_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[256];
    const ssize_t r = ::read(from_child_, buf, sizeof buf);
    if (r <= 0) return std::nullopt;
    pending_.append(buf, static_cast<size_t>(r));
  }
}

std::string ChildProcess::Do(const std::string& command) {
  Send(command);
  return Answer().value_or("timeout");
}

// The child's side. In an ordinary run (no pipes handed over) it has nothing to do.
TEST(ChildProcess, Serve) {
  const char* fds = std::getenv(kChildFds);
  if (fds == nullptr) GTEST_SKIP() << "runs only as the second process of a sharing test";
  int in = -1;
  int out = -1;
  ASSERT_EQ(std::sscanf(fds, "%d,%d", &in, &out), 2);
  if (std::getenv(kChildUser) != nullptr && ::geteuid() == 0) {
    ASSERT_EQ(::setgid(kNobody), 0);
    ASSERT_EQ(::setuid(kNobody), 0);
  }
  std::unique_ptr<File> file;
  std::string line;
  char c;
  while (::read(in, &c, 1) == 1) {
    if (c != '\n') {
      line += c;
      continue;
    }
    std::istringstream words(line);
    line.clear();
    std::string verb;
    words >> verb;
    Status status;
    if (verb == "exit") break;
    if (verb == "open") {
      std::string path, access, share;
      words >> path >> access >> share;
      status = Env::Default()->Open(path, ParseAccess(access), ParseShare(share),
                                    Disposition::kOpenAlways, &file);
    } else if (verb == "lock" || verb == "unlock") {
      uint64_t offset = 0, length = 0;
      std::string wait;
      words >> offset >> length >> wait;
      if (!file) {
        status.error = -1;
      } else if (verb == "lock") {
        status = file->Lock(offset, length, wait == "wait" ? LockWait::kWait : LockWait::kNoWait);
      } else {
        status = file->Unlock(offset, length);
      }
    } else if (verb == "profile") {
      std::string path, prefix;
      int count = 0;
      words >> path >> prefix >> count;
      for (int i = 1; i <= count && status.ok(); ++i) {
        if (!WritePrivateProfileString("S", prefix + std::to_string(i), "v", path))
          status.error = LastSystemError();
      }
    } else if (verb == "writable") {
      std::string path;
      words >> path;
      status = Env::Default()->Writable(path);
    } else if (verb == "close") {
      file.reset();
    } else {
      status.error = -2;
    }
    if (!WriteLine(out, std::to_string(status.error))) break;
  }
}

}  // namespace pellucor::platform::testing
