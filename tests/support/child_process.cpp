#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace pellucor::testsupport {
namespace {

constexpr const char* kRole = "PELLUCOR_CHILD_ROLE";
constexpr const char* kIn = "PELLUCOR_CHILD_IN";
constexpr const char* kOut = "PELLUCOR_CHILD_OUT";

std::string TestBinary() {
  const char* b = std::getenv("PELLUCOR_TEST_BINARY");
  return b && *b ? b : "/proc/self/exe";
}

}  // namespace

std::string ReadLine(int fd, int timeout_ms) {
  std::string line;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return line;
    char c;
    if (read(fd, &c, 1) != 1) return line;
    if (c == '\n') return line;
    line += c;
  }
}

void WriteLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w <= 0) return;
    done += static_cast<size_t>(w);
  }
}

ChildProgram::ChildProgram(const std::string& gtest_filter, const std::string& role,
                           const std::vector<std::string>& env) {
  ::signal(SIGPIPE, SIG_IGN);  // a child that died must fail the test, not kill it
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
  const std::string binary = TestBinary();
  const std::string filter = "--gtest_filter=" + gtest_filter;
  pid_ = fork();
  if (pid_ == 0) {
    close(to_child[1]);
    close(from_child[0]);
    setenv(kRole, role.c_str(), 1);
    setenv(kIn, std::to_string(to_child[0]).c_str(), 1);
    setenv(kOut, std::to_string(from_child[1]).c_str(), 1);
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    execl(binary.c_str(), binary.c_str(), filter.c_str(), "--gtest_brief=1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  to_ = to_child[1];
  from_ = from_child[0];
}

ChildProgram::~ChildProgram() {
  if (pid_ > 0 && !waited_) {
    kill(pid_, SIGKILL);
    Wait();
  }
  if (to_ >= 0) close(to_);
  if (from_ >= 0) close(from_);
}

void ChildProgram::Send(const std::string& line) {
  WriteLine(to_, line);
}

std::string ChildProgram::Read(int timeout_ms) {
  return ReadLine(from_, timeout_ms);
}

void ChildProgram::Kill() {
  if (pid_ > 0) kill(pid_, SIGKILL);
}

int ChildProgram::Wait() {
  if (waited_ || pid_ <= 0) return status_;
  waitpid(pid_, &status_, 0);
  waited_ = true;
  return status_;
}

bool ChildProgram::ExitedCleanly() {
  const int s = Wait();
  return WIFEXITED(s) && WEXITSTATUS(s) == 0;
}

std::string ChildRole() {
  const char* r = std::getenv(kRole);
  return r ? r : "";
}

int ChildIn() {
  return std::atoi(std::getenv(kIn));
}

int ChildOut() {
  return std::atoi(std::getenv(kOut));
}

}  // namespace pellucor::testsupport
