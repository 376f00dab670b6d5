// A second program for the sharing tests: this test binary run again with a gtest filter that
// selects the child entry (KdChild.Run) and the environment variable KD_ROLE naming what it does.
// Parent and child talk in lines over two pipes (the child's are KD_IN and KD_OUT).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace pellucor::data::kdtest {

inline std::string TestBinary() {
  const char* b = std::getenv("PELLUCOR_TEST_BINARY");
  return b && *b ? b : "/proc/self/exe";
}

// Reads one line from fd, waiting at most timeout_ms. Empty on timeout or end of file.
inline std::string ReadLine(int fd, int timeout_ms) {
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

inline void WriteLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  ssize_t ignored = write(fd, text.data(), text.size());
  (void)ignored;
}

class Child {
 public:
  // Starts the child in the working directory with role and extra environment ("NAME=value").
  Child(const std::string& role, const std::vector<std::string>& env = {}) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(to_child[1]);
      close(from_child[0]);
      setenv("KD_ROLE", role.c_str(), 1);
      setenv("KD_IN", std::to_string(to_child[0]).c_str(), 1);
      setenv("KD_OUT", std::to_string(from_child[1]).c_str(), 1);
      for (const std::string& e : env) putenv(strdup(e.c_str()));
      const std::string binary = TestBinary();
      execl(binary.c_str(), binary.c_str(), "--gtest_filter=KdChild.Run", "--gtest_brief=1",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    to_ = to_child[1];
    from_ = from_child[0];
  }
  ~Child() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Send(const std::string& line) { WriteLine(to_, line); }
  std::string Read(int timeout_ms = 20000) { return ReadLine(from_, timeout_ms); }
  void Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }
  // The exit status (as waitpid gives it).
  int Wait() {
    if (waited_ || pid_ <= 0) return status_;
    waitpid(pid_, &status_, 0);
    waited_ = true;
    return status_;
  }
  bool ExitedCleanly() {
    const int s = Wait();
    return WIFEXITED(s) && WEXITSTATUS(s) == 0;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  int status_ = 0;
  bool waited_ = false;
};

// In the child: its pipes.
inline int ChildIn() {
  return std::atoi(std::getenv("KD_IN"));
}
inline int ChildOut() {
  return std::atoi(std::getenv("KD_OUT"));
}

}  // namespace pellucor::data::kdtest
