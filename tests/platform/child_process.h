// A second real process for sharing and locking tests: the test binary re-executes itself with a
// filter that runs only ChildProcess.Serve, which reads one command a line from a pipe, runs it
// against the real Env and answers one line (the system error number, 0 for success).
//
// Commands: "open PATH ACCESS SHARE" (ACCESS r, w, rw; SHARE compat, all, write, read, none),
// "lock OFFSET LENGTH wait|nowait", "unlock OFFSET LENGTH", "close", "exit",
// "profile PATH PREFIX N" (writes the keys PREFIX1 ... PREFIXN into section S of a profile), and
// "writable PATH" (Env::Writable).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace pellucor::platform::testing {

// kUnprivileged: a child started by root gives up root (runs as "nobody") before it serves, so
// that file permissions apply to it.
enum class ChildUser { kSame, kUnprivileged };

class ChildProcess {
 public:
  // Starts the child; ADD_FAILURE when it cannot.
  explicit ChildProcess(ChildUser user = ChildUser::kSame);
  ~ChildProcess();  // sends "exit" and waits for it
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void Send(const std::string& command);
  // The next answer line, or std::nullopt when none arrives in time (the child is blocked).
  std::optional<std::string> Answer(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Send and wait for the answer ("timeout" when none arrives).
  std::string Do(const std::string& command);

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  std::string pending_;
};

}  // namespace pellucor::platform::testing
