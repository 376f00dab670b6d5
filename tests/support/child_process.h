// A second program for tests that share files or locks: this test binary run again (the path in
// PELLUCOR_TEST_BINARY, else /proc/self/exe) with a GoogleTest filter that selects the test
// acting as the child, a role naming what it does, and more environment of the caller's choice.
// Parent and child talk in lines over two pipes; in the child ChildRole(), ChildIn() and
// ChildOut() give the role and its ends of them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pellucor::testsupport {

class ChildProgram {
 public:
  // Starts the child in the working directory. `env`: more "NAME=value" settings.
  ChildProgram(const std::string& gtest_filter, const std::string& role,
               const std::vector<std::string>& env = {});
  // Kills a child that was not waited for.
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  void Send(const std::string& line);
  // The next line, waiting at most timeout_ms; empty on timeout or end of file.
  std::string Read(int timeout_ms = 20000);
  void Kill();
  // The exit status as waitpid gives it.
  int Wait();
  bool ExitedCleanly();

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  int status_ = 0;
  bool waited_ = false;
};

// In the child.
std::string ChildRole();
int ChildIn();
int ChildOut();

// Line helpers over a file descriptor.
std::string ReadLine(int fd, int timeout_ms);
void WriteLine(int fd, const std::string& line);

}  // namespace pellucor::testsupport
