#include "data/kestrune_driver/transaction_control.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/kestrune_driver/kestrune_driver.h"
#include "runtime/core/error_state.h"

namespace pellucor::data {

namespace {
std::string& CurrentTcf() {
  static std::string path = DefaultTransactionControlFile();
  return path;
}
}  // namespace

std::string DefaultTransactionControlFile() {
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::string(home) + "/.local/state";
  } else {
    base = "/tmp";
  }
  return base + "/pellucor/kestrune.tcf";
}

const std::string& TransactionControlFile() {
  return CurrentTcf();
}

void SetTransactionControlFile(std::string path) {
  CurrentTcf() = std::move(path);
}

}  // namespace pellucor::data

namespace pellucor::data::kdriver {
namespace {

struct Line {
  char kind = 'T';  // 'T' transaction, 'F' file
  std::string id;
  std::string state;     // T: PENDING / COMMITTED
  uint32_t counter = 0;  // F
  std::string header;    // F: hexadecimal
  std::string path;      // F
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::vector<uint8_t> Unhex(const std::string& text) {
  std::vector<uint8_t> out;
  auto value = [](char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; };
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(value(text[i]) << 4 | value(text[i + 1])));
  }
  return out;
}

// Several programs share the file: every change holds an flock on a companion lock file for the
// read-modify-write, so that no update is lost.
class TcfLock {
 public:
  explicit TcfLock(const std::string& tcf) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(tcf).parent_path(), ec);
    fd_ = ::open((tcf + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) (void)::flock(fd_, LOCK_EX);
  }
  ~TcfLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TcfLock(const TcfLock&) = delete;
  TcfLock& operator=(const TcfLock&) = delete;
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::vector<Line> ReadLines(const std::string& tcf) {
  std::vector<Line> lines;
  std::ifstream in(tcf);
  std::string text;
  bool first = true;
  while (std::getline(in, text)) {
    if (first) {
      first = false;
      if (text.rfind("KTCF", 0) == 0) continue;
    }
    std::istringstream s(text);
    Line l;
    std::string kind;
    s >> kind;
    if (kind == "T") {
      l.kind = 'T';
      s >> l.id >> l.state;
    } else if (kind == "F") {
      l.kind = 'F';
      s >> l.id >> l.counter >> l.header;
      s.get();
      std::getline(s, l.path);
    } else {
      continue;
    }
    if (!l.id.empty()) lines.push_back(std::move(l));
  }
  return lines;
}

bool WriteLines(const std::string& tcf, const std::vector<Line>& lines) {
  std::string text = "KTCF 1\n";
  for (const Line& l : lines) {
    if (l.kind == 'T') {
      text += "T " + l.id + " " + l.state + "\n";
    } else {
      text += "F " + l.id + " " + std::to_string(l.counter) + " " + l.header + " " + l.path + "\n";
    }
  }
  const std::string temp = tcf + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  const bool synced = ::fdatasync(fd) == 0;
  ::close(fd);
  if (!synced || ::rename(temp.c_str(), tcf.c_str()) != 0) return false;
  const std::string dir = std::filesystem::path(tcf).parent_path().string();
  const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace

int32_t RecordPending(const std::string& id, const std::vector<TransactionFile>& files) {
  const std::string& tcf = TransactionControlFile();
  if (tcf.empty()) return runtime::err::kUnableToLog;
  TcfLock lock(tcf);
  if (!lock.ok()) return runtime::err::kUnableToLog;
  std::vector<Line> lines = ReadLines(tcf);
  std::erase_if(lines, [&](const Line& l) { return l.id == id; });
  lines.push_back({'T', id, "PENDING", 0, {}, {}});
  for (const TransactionFile& f : files) {
    lines.push_back({'F', id, {}, f.counter, Hex(f.header), f.path});
  }
  return WriteLines(tcf, lines) ? 0 : runtime::err::kUnableToLog;
}

int32_t RecordCommitted(const std::string& id) {
  const std::string& tcf = TransactionControlFile();
  if (tcf.empty()) return runtime::err::kUnableToLog;
  TcfLock lock(tcf);
  if (!lock.ok()) return runtime::err::kUnableToLog;
  std::vector<Line> lines = ReadLines(tcf);
  for (Line& l : lines) {
    if (l.kind == 'T' && l.id == id) l.state = "COMMITTED";
  }
  return WriteLines(tcf, lines) ? 0 : runtime::err::kUnableToLog;
}

void ForgetTransaction(const std::string& id) {
  const std::string& tcf = TransactionControlFile();
  if (tcf.empty()) return;
  TcfLock lock(tcf);
  std::vector<Line> lines = ReadLines(tcf);
  const size_t before = lines.size();
  std::erase_if(lines, [&](const Line& l) { return l.id == id; });
  if (lines.size() != before) (void)WriteLines(tcf, lines);
}

bool LogUncommitted(const std::string&, const pagefile::FileHeader&) {
  return false;
}

bool MayHavePending() {
  const std::string& tcf = TransactionControlFile();
  if (tcf.empty()) return false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(tcf, ec);
  return !ec && size > std::string("KTCF 1\n").size();
}

bool RestoreUncommitted(platform::File* file, const std::string& full_path) {
  if (!MayHavePending()) return true;
  const std::string& tcf = TransactionControlFile();
  TcfLock lock(tcf);
  std::vector<Line> lines = ReadLines(tcf);
  bool ok = true, changed = false;
  for (auto it = lines.begin(); it != lines.end();) {
    if (it->kind != 'F' || it->path != full_path) {
      ++it;
      continue;
    }
    const auto t = std::find_if(lines.begin(), lines.end(),
                                [&](const Line& l) { return l.kind == 'T' && l.id == it->id; });
    const std::vector<uint8_t> saved = Unhex(it->header);
    std::vector<uint8_t> now(pagefile::kHeaderSize);
    size_t got = 0;
    if (saved.size() != pagefile::kHeaderSize ||
        !file->Read(0, now.data(), now.size(), &got).ok() || got != now.size()) {
      ok = false;
      ++it;
      continue;
    }
    const bool log_shown = std::memcmp(&now[6], &now[10], 4) != 0;
    if (t != lines.end() && t->state == "COMMITTED") {
      // Its log is applied as any interrupted commit's; once applied, the line is done with.
      if (log_shown) {
        ++it;
      } else {
        it = lines.erase(it);
        changed = true;
      }
      continue;
    }
    // The stored header shows a log (log start and log end differ) only when the commit got as
    // far as pointing at it; otherwise the file is as the transaction found it.
    if (now != saved && log_shown) {
      if (!file->Write(0, saved.data(), saved.size()).ok() || !file->Flush().ok()) {
        ok = false;
        ++it;
        continue;
      }
    }
    it = lines.erase(it);
    changed = true;
  }
  // A transaction without files left is over.
  std::vector<std::string> with_files;
  for (const Line& l : lines) {
    if (l.kind == 'F') with_files.push_back(l.id);
  }
  const size_t before = lines.size();
  std::erase_if(lines, [&](const Line& l) {
    return l.kind == 'T' &&
           std::find(with_files.begin(), with_files.end(), l.id) == with_files.end();
  });
  changed = changed || lines.size() != before;
  if (changed) (void)WriteLines(tcf, lines);
  return ok;
}

std::string NewTransactionId() {
  static uint32_t sequence = 0;
  // The time keeps a later process that gets the same process number apart.
  return std::to_string(getpid()) + "." + std::to_string(std::time(nullptr)) + "." +
         std::to_string(++sequence);
}

}  // namespace pellucor::data::kdriver
