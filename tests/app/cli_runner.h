// Runs the built pellucor-cli as a real process on a scratch data directory and collects its
// exit status and output.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pellucor::app::clitest {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteWhole(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// A scratch folder holding the data directory ("data"), the state directory the driver keeps
// its transaction file in, and files the tests export and import.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cli-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
  }
  ~Scratch() {
    std::error_code ec;
    if (!getenv("PELLUCOR_KEEP_SCRATCH")) std::filesystem::remove_all(root_, ec);
  }
  const std::string& root() const { return root_; }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  std::string DataDir(const std::string& name = "data") const { return Path(name); }

 private:
  std::string root_;
};

// Who runs the program: the test's own user, or (when the test runs as root, whom file
// permissions do not stop) the unprivileged user "nobody", so that permissions apply.
enum class RunAs { kSelf, kUnprivileged };
inline constexpr uid_t kNobody = 65534;

// Runs pellucor-cli with `args` on the data directory `data_dir` (through PELLUCOR_DATA_DIR),
// in the working directory `cwd`, with `input` on standard input.
inline Outcome RunCli(const std::string& data_dir, const std::vector<std::string>& args,
                      const std::string& cwd = "/", const std::string& input = "",
                      RunAs as = RunAs::kSelf) {
  const std::string base = std::filesystem::path(data_dir).parent_path().string();
  static int serial = 0;
  const std::string tag =
      base + "/.run-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
  const std::string out_path = tag + ".out", err_path = tag + ".err", in_path = tag + ".in";
  WriteWhole(in_path, input);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(in_path.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || chdir(cwd.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (as == RunAs::kUnprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(126);
    }
    setenv("PELLUCOR_DATA_DIR", data_dir.c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    std::vector<char*> argv;
    std::string program = PELLUCOR_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Outcome o;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    o.status = WEXITSTATUS(wstatus);
  }
  o.out = ReadWhole(out_path);
  o.err = ReadWhole(err_path);
  std::error_code ec;
  for (const std::string& p : {out_path, err_path, in_path}) std::filesystem::remove(p, ec);
  return o;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return f;
    start = tab + 1;
  }
}

}  // namespace pellucor::app::clitest
