// Several programs sharing one data file while the machine is busy, each opening and closing the
// file for every command: after every round the file is sound and holds exactly what each
// program was told it stored.
//
// Every round forks a few worker processes. Each runs pellucor-cli over and over on the same data
// directory (add, edit, delete, archive, import, export, list, show, check) and keeps a model of
// what pellucor-cli acknowledged: the id it printed and the fields it was given. A worker changes
// only its own notes (their topics start with its serial, as in "w2-00017"), so its model is
// exact, and what it reads back of its own notes in the middle of a round must match it too.
// Meanwhile the test keeps the processors busy and a disk writer flushing. After the round the
// test checks the file, lists both tables and compares every note with the models.
//
// The default size suits `make test`; PELLUCOR_SHORT (the sanitizer build) runs less. The long
// form is set through PELLUCOR_STRESS_ROUNDS, _WORKERS, _OPS, _IMPORT, _IMPORTERS, _BUSY and
// _SEED (see ConfigFromEnv).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------------
// Sizes

struct StressConfig {
  int rounds = 3;
  int workers = 4;
  int ops = 20;            // pellucor-cli commands per worker and round, besides its import
  int import_notes = 100;  // notes in one import file
  int importers = 0;       // workers that import once a round (0: every worker)
  int busy = 2;            // busy-loop processes
  uint64_t seed = 0;
  int cli_timeout_s = 120;  // one pellucor-cli run
  int round_timeout_s = 900;
};

// Reads a whole number from the environment; a value that is there but wrong is an error, not a
// silent fallback to the default.
bool EnvNumber(const char* name, long lo, long hi, long* value, std::string* error) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return true;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) {
    *error = std::string(name) + "=" + text + " is not a whole number from " + std::to_string(lo) +
             " to " + std::to_string(hi);
    return false;
  }
  *value = v;
  return true;
}

std::optional<StressConfig> ConfigFromEnv(std::string* error) {
  StressConfig c;
  if (std::getenv("PELLUCOR_SHORT")) {
    // A command takes several times as long under the sanitizers: fewer of them, as many
    // programs at once.
    c.rounds = 2;
    c.ops = 6;
    c.import_notes = 40;
    c.busy = 1;
  }
  c.seed = static_cast<uint64_t>(Clock::now().time_since_epoch().count()) ^
           (static_cast<uint64_t>(getpid()) << 32);
  c.seed %= 1000000000;
  long v = 0;
  const struct {
    const char* name;
    long lo, hi;
    int* field;
  } ints[] = {
      {"PELLUCOR_STRESS_ROUNDS", 1, 100000, &c.rounds},
      {"PELLUCOR_STRESS_WORKERS", 1, 64, &c.workers},
      {"PELLUCOR_STRESS_OPS", 1, 1000000, &c.ops},
      {"PELLUCOR_STRESS_IMPORT", 0, 20000, &c.import_notes},
      {"PELLUCOR_STRESS_IMPORTERS", 0, 64, &c.importers},
      {"PELLUCOR_STRESS_BUSY", 0, 64, &c.busy},
  };
  for (const auto& i : ints) {
    v = *i.field;
    if (!EnvNumber(i.name, i.lo, i.hi, &v, error)) return std::nullopt;
    *i.field = static_cast<int>(v);
  }
  v = static_cast<long>(c.seed);
  if (!EnvNumber("PELLUCOR_STRESS_SEED", 0, 999999999, &v, error)) return std::nullopt;
  c.seed = static_cast<uint64_t>(v);
  if (c.importers == 0 || c.importers > c.workers) c.importers = c.workers;
  if (c.import_notes == 0) c.importers = 0;
  return c;
}

// ---------------------------------------------------------------------------------------------
// Text helpers

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

size_t CodePoints(const std::string& utf8) {
  size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// The first `count` characters of a UTF-8 text.
std::string FirstCodePoints(const std::string& utf8, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && seen++ == count) {
      return utf8.substr(0, i);
    }
  }
  return utf8;
}

std::string Clip(const std::string& text, size_t max = 300) {
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == ' ')) t.pop_back();
  if (t.size() > max) t = t.substr(0, max) + "...";
  return t;
}

// A command line for a message: long texts (memos) are given by their length.
std::string Shown(const std::vector<std::string>& args) {
  std::string s = "pellucor-cli";
  for (const std::string& a : args) {
    if (a.size() > 50) {
      s += " <" + std::to_string(CodePoints(a)) + "-character text>";
    } else if (a.empty() || a.find_first_of(" \t\n'") != std::string::npos) {
      s += " '" + Escape(a) + "'";
    } else {
      s += " " + a;
    }
  }
  return s;
}

// ---------------------------------------------------------------------------------------------
// Running pellucor-cli with a time limit

struct Run {
  int status = -1;  // exit status; -1 when it did not exit normally
  int signal = 0;
  bool timed_out = false;
  std::string out, err;

  std::string Describe() const {
    std::string s;
    if (timed_out) {
      s = "did not finish in time and was killed";
    } else if (signal != 0) {
      s = "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    } else {
      s = "exited " + std::to_string(status);
    }
    if (!Clip(err).empty()) s += ": " + Clip(err);
    return s;
  }
};

class Cli {
 public:
  // `work` is a folder of this process's own for the output files.
  Cli(std::string root, std::string data_dir, std::string work, int timeout_s)
      : root_(std::move(root)),
        data_dir_(std::move(data_dir)),
        work_(std::move(work)),
        timeout_s_(timeout_s) {
    std::filesystem::create_directories(work_);
  }

  Run operator()(const std::vector<std::string>& args) {
    ++runs_;
    const std::string out_path = work_ + "/cli.out", err_path = work_ + "/cli.err";
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
      // A worker killed by the test takes its pellucor-cli with it.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      const int in = open("/dev/null", O_RDONLY);
      const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in < 0 || out < 0 || err < 0 || chdir(work_.c_str()) != 0) _exit(127);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      setenv("PELLUCOR_DATA_DIR", data_dir_.c_str(), 1);
      setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
      std::vector<char*> argv;
      std::string program = PELLUCOR_CLI_PATH;
      argv.push_back(program.data());
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    Run r;
    if (pid < 0) {
      r.err = std::string("fork failed: ") + std::strerror(errno);
      return r;
    }
    int wstatus = 0;
    if (!WaitFor(pid, &wstatus)) {
      r.timed_out = true;
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
    }
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
    r.out = ReadWhole(out_path);
    r.err = ReadWhole(err_path);
    return r;
  }

  uint64_t runs() const { return runs_; }

 private:
  // Waits for the child until the time limit; false when it is still running then.
  bool WaitFor(pid_t pid, int* wstatus) {
    const auto until = Clock::now() + std::chrono::seconds(timeout_s_);
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      const int ms = timeout_s_ * 1000;
      int ready = 0;
      do {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        ready = poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, ms)));
      } while (ready < 0 && errno == EINTR);
      close(fd);
      if (ready == 0) return false;
      return waitpid(pid, wstatus, 0) == pid;
    }
    // Without pidfd: look now and then.
    for (auto pause = std::chrono::microseconds(200);;
         pause = std::min(pause * 2, decltype(pause)(5000))) {
      if (waitpid(pid, wstatus, WNOHANG) == pid) return true;
      if (Clock::now() >= until) return false;
      std::this_thread::sleep_for(pause);
    }
  }

  std::string root_, data_dir_, work_;
  int timeout_s_;
  uint64_t runs_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Notes as acknowledged and as read back

struct Note {
  uint32_t id = 0;              // 0: not known (an imported note that could not be found)
  bool archived = false;        // in the archive table, whose notes carry the archive flag "Y"
  std::string topic, memo;      // UTF-8
  std::string noted, reminder;  // YYYY-MM-DD, empty for none
  char done = 'N';
};

// A worker's serial opens every topic it writes: "w3-00017 café e2".
std::string SerialOf(const std::string& topic) {
  return topic.substr(0, topic.find(' '));
}

// The worker number of a serial, or -1 when the text is no serial.
int WorkerOf(const std::string& serial) {
  if (serial.size() < 4 || serial[0] != 'w') return -1;
  const size_t dash = serial.find('-');
  if (dash == std::string::npos || dash == 1 || dash + 1 == serial.size()) return -1;
  int w = 0;
  for (size_t i = 1; i < dash; ++i) {
    if (serial[i] < '0' || serial[i] > '9') return -1;
    w = w * 10 + (serial[i] - '0');
  }
  for (size_t i = dash + 1; i < serial.size(); ++i) {
    if (serial[i] < '0' || serial[i] > '9') return -1;
  }
  return w;
}

std::string WorkerPrefix(int worker) {
  return "w" + std::to_string(worker) + "-";
}

// One line of `list --tsv` or of an export file.
std::optional<Note> ParseTsvRow(const std::string& line, std::string* error) {
  const std::vector<std::string> f = Fields(line);
  if (f.size() != 7) {
    *error = "a line with " + std::to_string(f.size()) + " fields: " + Clip(line, 120);
    return std::nullopt;
  }
  Note n;
  char* end = nullptr;
  const unsigned long id = std::strtoul(f[0].c_str(), &end, 10);
  const std::optional<std::string> memo = Unescape(f[6]);
  if (f[0].empty() || *end != '\0' || id == 0 || id > 0xFFFFFFFFul || !memo ||
      (f[4] != "Y" && f[4] != "N") || (f[5] != "Y" && f[5] != "N")) {
    *error = "a line that is no note: " + Clip(line, 120);
    return std::nullopt;
  }
  n.id = static_cast<uint32_t>(id);
  n.reminder = f[1];
  n.noted = f[2];
  n.topic = f[3];
  n.done = f[4][0];
  n.archived = f[5] == "Y";
  n.memo = *memo;
  return n;
}

std::optional<std::vector<Note>> ParseTsv(const std::string& text, bool header,
                                          std::string* error) {
  const std::vector<std::string> lines = Lines(text);
  if (header && (lines.empty() || lines[0].rfind("id\t", 0) != 0)) {
    *error = "the listing has no header line: " + Clip(text, 120);
    return std::nullopt;
  }
  std::vector<Note> notes;
  for (size_t i = header ? 1 : 0; i < lines.size(); ++i) {
    std::optional<Note> n = ParseTsvRow(lines[i], error);
    if (!n) return std::nullopt;
    notes.push_back(std::move(*n));
  }
  return notes;
}

// The output of `show`.
std::optional<Note> ParseShow(const std::string& text, std::string* error) {
  const size_t memo_at = text.find("\nmemo:\n");
  if (memo_at == std::string::npos || text.empty() || text.back() != '\n') {
    *error = "show printed no memo: " + Clip(text, 200);
    return std::nullopt;
  }
  Note n;
  n.memo = text.substr(memo_at + 7, text.size() - memo_at - 8);
  std::map<std::string, std::string> fields;
  for (const std::string& line : Lines(text.substr(0, memo_at))) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || line.size() < 15) continue;
    fields[line.substr(0, colon)] = line.substr(15);
  }
  const auto date = [](const std::string& shown) {
    return shown == "none" ? std::string() : shown.substr(0, 10);
  };
  for (const char* label : {"id", "topic", "note date", "reminder date", "done", "archive"}) {
    if (!fields.count(label)) {
      *error = std::string("show printed no ") + label + ": " + Clip(text, 200);
      return std::nullopt;
    }
  }
  n.id = static_cast<uint32_t>(std::strtoul(fields["id"].c_str(), nullptr, 10));
  n.topic = fields["topic"];
  n.noted = date(fields["note date"]);
  n.reminder = date(fields["reminder date"]);
  n.done = fields["done"].empty() ? '?' : fields["done"][0];
  n.archived = fields["archive"] == "Y";
  return n;
}

std::string TableName(bool archived) {
  return archived ? "the archive" : "the notes";
}

// What differs between the acknowledged note and the one read back, in words; empty if nothing.
std::string Differences(const Note& want, const Note& got) {
  std::string d;
  const auto add = [&d](const std::string& s) { d += (d.empty() ? "" : "; ") + s; };
  if (want.id != 0 && want.id != got.id) {
    add("id " + std::to_string(got.id) + " where " + std::to_string(want.id) + " was printed");
  }
  if (want.topic != got.topic)
    add("topic '" + got.topic + "' where '" + want.topic + "' was stored");
  if (want.noted != got.noted) add("note date '" + got.noted + "' where '" + want.noted + "'");
  if (want.reminder != got.reminder) {
    add("reminder date '" + got.reminder + "' where '" + want.reminder + "'");
  }
  if (want.done != got.done) {
    add(std::string("done flag ") + got.done + " where " + want.done + " was stored");
  }
  if (want.archived != got.archived) {
    add(std::string("archive flag ") + (got.archived ? "Y" : "N") + " where " +
        (want.archived ? "Y" : "N"));
  }
  if (want.memo != got.memo) {
    size_t at = 0;
    while (at < want.memo.size() && at < got.memo.size() && want.memo[at] == got.memo[at]) ++at;
    add("memo of " + std::to_string(CodePoints(got.memo)) + " characters where " +
        std::to_string(CodePoints(want.memo)) + " were stored, first differing at byte " +
        std::to_string(at + 1) + " ('" + Escape(Clip(want.memo.substr(at, 20), 20)) +
        "' stored, '" + Escape(Clip(got.memo.substr(at, 20), 20)) + "' read)");
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// The model of one worker: what pellucor-cli acknowledged to it

struct Acked {
  Note note;
  std::string history;  // the latest acknowledged changes, for messages
};

struct Model {
  int worker = 0;
  int next_serial = 1;
  std::map<std::string, Acked> present;      // by serial
  std::map<std::string, std::string> gone;   // serial -> how it went
  std::map<uint32_t, std::string> gone_ids;  // id -> how it went (deleted, or moved to the archive)
  // Serials whose latest change pellucor-cli did not acknowledge: either outcome is right.
  std::set<std::string> uncertain;
  bool lost = false;  // the worker's report is missing: nothing of it can be judged
  std::map<std::string, uint64_t> counts;
  std::vector<std::string> failures;
  std::vector<std::string> remarks;  // seen, but not a fault of the file

  void Record(const std::string& serial, const std::string& event) {
    std::string& h = present[serial].history;
    h = h.empty() ? event : h + "; " + event;
    if (h.size() > 240) h = "..." + h.substr(h.size() - 237);
  }
  std::string Describe(const std::string& serial) const {
    const auto it = present.find(serial);
    if (it == present.end()) return serial;
    const uint32_t id = it->second.note.id;
    return serial + " (" + (id == 0 ? "id not known" : "id " + std::to_string(id)) + " in " +
           TableName(it->second.note.archived) + "; " + it->second.history + ")";
  }
};

void WriteModel(const Model& m, const std::string& path) {
  std::string text = "S\t" + std::to_string(m.next_serial) + "\n";
  for (const auto& [serial, a] : m.present) {
    const Note& n = a.note;
    text += "N\t" + serial + "\t" + std::to_string(n.id) + "\t" + (n.archived ? "a" : "n") + "\t" +
            Escape(n.topic) + "\t" + Escape(n.memo) + "\t" + n.done + "\t" + n.noted + "\t" +
            n.reminder + "\t" + Escape(a.history) + "\n";
  }
  for (const auto& [serial, how] : m.gone) text += "G\t" + serial + "\t" + Escape(how) + "\n";
  for (const auto& [id, how] : m.gone_ids) {
    text += "I\t" + std::to_string(id) + "\t" + Escape(how) + "\n";
  }
  for (const std::string& serial : m.uncertain) text += "U\t" + serial + "\n";
  for (const auto& [name, count] : m.counts) {
    text += "C\t" + name + "\t" + std::to_string(count) + "\n";
  }
  for (const std::string& f : m.failures) text += "F\t" + Escape(f) + "\n";
  for (const std::string& r : m.remarks) text += "R\t" + Escape(r) + "\n";
  text += "E\n";  // the report is complete
  WriteWhole(path + ".part", text);
  std::filesystem::rename(path + ".part", path);
}

bool ReadModel(const std::string& path, Model* m) {
  if (!std::filesystem::exists(path)) return false;
  Model r;
  r.worker = m->worker;
  bool complete = false;
  for (const std::string& line : Lines(ReadWhole(path))) {
    const std::vector<std::string> f = Fields(line);
    const auto text = [&f](size_t i) { return Unescape(f.at(i)).value_or("?"); };
    if (f[0] == "S") r.next_serial = std::stoi(f.at(1));
    if (f[0] == "N") {
      Acked a;
      a.note.id = static_cast<uint32_t>(std::stoul(f.at(2)));
      a.note.archived = f.at(3) == "a";
      a.note.topic = text(4);
      a.note.memo = text(5);
      a.note.done = f.at(6).empty() ? '?' : f[6][0];
      a.note.noted = f.at(7);
      a.note.reminder = f.at(8);
      a.history = text(9);
      r.present[f.at(1)] = a;
    }
    if (f[0] == "G") r.gone[f.at(1)] = text(2);
    if (f[0] == "I") r.gone_ids[static_cast<uint32_t>(std::stoul(f.at(1)))] = text(2);
    if (f[0] == "U") r.uncertain.insert(f.at(1));
    if (f[0] == "C") r.counts[f.at(1)] = std::stoull(f.at(2));
    if (f[0] == "F") r.failures.push_back(text(1));
    if (f[0] == "R") r.remarks.push_back(text(1));
    if (f[0] == "E") complete = true;
  }
  if (!complete) return false;
  *m = std::move(r);
  return true;
}

// Compares the notes read back from one table with what the models acknowledged. Rows of
// workers not among `models` are left alone; rows whose topic names no worker at all are judged
// only when `strangers` is set (the whole listing, not one worker's part of it).
void CompareTable(const std::vector<Note>& rows, bool archive,
                  const std::vector<const Model*>& models, bool strangers, const std::string& when,
                  std::vector<std::string>* problems) {
  std::map<int, const Model*> by_worker;
  std::map<uint32_t, std::string> gone_ids;  // ids are never handed out twice in one file
  for (const Model* m : models) {
    by_worker[m->worker] = m;
    gone_ids.insert(m->gone_ids.begin(), m->gone_ids.end());
  }
  std::map<std::string, std::vector<const Note*>> by_serial;
  std::map<uint32_t, const Note*> by_id;
  const std::string where = " in " + TableName(archive);
  for (const Note& row : rows) {
    if (const auto [it, fresh] = by_id.emplace(row.id, &row); !fresh) {
      problems->push_back(when + ": id " + std::to_string(row.id) + " is held by two notes" +
                          where + ": '" + it->second->topic + "' and '" + row.topic + "'");
    }
    const std::string serial = SerialOf(row.topic);
    const int w = WorkerOf(serial);
    const auto owner = by_worker.find(w);
    if (owner == by_worker.end()) {
      if (strangers) {
        problems->push_back(when + ": a note that no worker wrote" + where + ": id " +
                            std::to_string(row.id) + ", topic '" + row.topic + "'");
      }
      continue;
    }
    const Model& m = *owner->second;
    if (m.lost) continue;
    if (const auto g = gone_ids.find(row.id); g != gone_ids.end()) {
      problems->push_back(when + ": id " + std::to_string(row.id) + " is back" + where + " as '" +
                          row.topic + "', though it " + g->second);
    }
    by_serial[serial].push_back(&row);
    if (m.uncertain.count(serial)) continue;
    if (const auto p = m.present.find(serial); p != m.present.end()) {
      if (p->second.note.archived != archive) {
        problems->push_back(when + ": note " + m.Describe(serial) + " is" + where + " (id " +
                            std::to_string(row.id) + ") instead of " +
                            TableName(p->second.note.archived));
      }
    } else if (const auto g = m.gone.find(serial); g != m.gone.end()) {
      problems->push_back(when + ": note " + serial + " is back" + where + " (id " +
                          std::to_string(row.id) + ", topic '" + row.topic + "'), though it " +
                          g->second);
    } else {
      problems->push_back(when + ": note " + serial + where + " (id " + std::to_string(row.id) +
                          ", topic '" + row.topic + "') was never acknowledged to worker " +
                          std::to_string(m.worker));
    }
  }
  for (const Model* m : models) {
    if (m->lost) continue;
    for (const auto& [serial, a] : m->present) {
      if (a.note.archived != archive || m->uncertain.count(serial)) continue;
      const auto found = by_serial.find(serial);
      const size_t count = found == by_serial.end() ? 0 : found->second.size();
      if (count == 0) {
        problems->push_back(when + ": note " + m->Describe(serial) + " is missing from" +
                            where.substr(3));
      } else if (count > 1) {
        problems->push_back(when + ": note " + m->Describe(serial) + " is" + where + " " +
                            std::to_string(count) + " times");
      } else if (const std::string d = Differences(a.note, *found->second[0]); !d.empty()) {
        problems->push_back(when + ": note " + m->Describe(serial) + " reads back with " + d);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Random content

constexpr const char* kWords[] = {
    "alpha",    "beta", "gamma",  "delta", "café", "naïve", "€",        "price", "ÿ",
    "data",     "note", "remind", "call",  "buy",  "milk",  "résumé",   "Œuvre", "façade",
    "Ångström", "über", "señor",  "£5",    "½",    "—",     "“quoted”", "x",     "ok"};

class Gen {
 public:
  explicit Gen(uint64_t seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::string Word() { return kWords[Below(static_cast<int>(std::size(kWords)))]; }
  std::string Date() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", 2019 + Below(8), 1 + Below(12), 1 + Below(28));
    return buf;
  }
  // Up to 5000 characters of words, now and then a tab, line break or backslash between them;
  // never ending in blank space, which the data file does not keep.
  std::string Memo() {
    static constexpr int kLengths[] = {0, 10, 100, 500, 1500, 5000};
    const size_t want = static_cast<size_t>(Chance(50) ? kLengths[Below(6)] : Below(5001));
    std::string memo;
    size_t length = 0;
    while (length < want) {
      const std::string w = Word();
      memo += w;
      length += CodePoints(w);
      const int r = Below(100);
      memo += r < 3 ? "\n" : r < 5 ? "\t" : r < 6 ? " \\ " : " ";
      length += r == 5 ? 3 : 1;
    }
    memo = FirstCodePoints(memo, want);
    while (!memo.empty() && (memo.back() == ' ' || memo.back() == '\t' || memo.back() == '\n')) {
      memo.pop_back();
    }
    return memo;
  }

 private:
  std::mt19937_64 rng_;
};

// ---------------------------------------------------------------------------------------------
// A worker: one process, one round

class Worker {
 public:
  Worker(const StressConfig& cfg, int round, Model* m, Cli* cli, std::string dir)
      : cfg_(cfg),
        round_(round),
        m_(*m),
        cli_(*cli),
        dir_(std::move(dir)),
        gen_(cfg.seed * 1000003 + static_cast<uint64_t>(round) * 1009 +
             static_cast<uint64_t>(m->worker)) {}

  void RunRound(bool import) {
    const int import_at = import ? gen_.Below(cfg_.ops + 1) : -1;
    for (op_ = 1; op_ <= cfg_.ops + (import ? 1 : 0); ++op_) {
      bool ok = true;
      if (op_ == import_at + 1) {
        ok = Import();
      } else {
        // Mostly short commands, so that opens and commits interleave often; the readers of the
        // whole file (list, export, check) now and then.
        const int r = gen_.Below(100);
        if (r < 26)
          ok = Add();
        else if (r < 44)
          ok = Edit();
        else if (r < 53)
          ok = Delete();
        else if (r < 61)
          ok = Archive();
        else if (r < 78)
          ok = Show();
        else if (r < 88)
          ok = List();
        else if (r < 92)
          ok = Export();
        else
          ok = Check();
      }
      if (!ok) break;
    }
  }

 private:
  std::string When() const {
    return "round " + std::to_string(round_) + ", worker " + std::to_string(m_.worker) + ", op " +
           std::to_string(op_);
  }
  std::string Event(const std::string& what) const {
    return what + " by worker " + std::to_string(m_.worker) + " in round " +
           std::to_string(round_) + " op " + std::to_string(op_);
  }
  Run Call(const std::string& name, const std::vector<std::string>& args) {
    ++m_.counts[name];
    WriteWhole(dir_ + "/current", When() + ": " + Shown(args) + "\n");
    const auto start = Clock::now();
    Run r = cli_(args);
    m_.counts["ms " + name] += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return r;
  }
  bool Fail(const std::string& message) {
    m_.failures.push_back(When() + ": " + message);
    return false;
  }
  bool Failed(const std::vector<std::string>& args, const Run& r, const std::string& serial = "") {
    if (!serial.empty()) m_.uncertain.insert(serial);
    return Fail(Shown(args) + " " + r.Describe());
  }
  std::string NewSerial() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%05d", WorkerPrefix(m_.worker).c_str(), m_.next_serial++);
    return buf;
  }
  // One of the worker's own notes (of the archive when `archive`), or none.
  std::optional<std::string> Pick(std::optional<bool> archive) {
    std::vector<const std::string*> candidates;
    for (const auto& [serial, a] : m_.present) {
      if (a.note.id != 0 && (!archive || a.note.archived == *archive)) {
        candidates.push_back(&serial);
      }
    }
    if (candidates.empty()) return std::nullopt;
    return *candidates[static_cast<size_t>(gen_.Below(static_cast<int>(candidates.size())))];
  }
  std::optional<std::string> PickAny() {
    const bool archived = gen_.Chance(25);
    if (auto s = Pick(archived)) return s;
    return Pick(std::nullopt);
  }
  // The output of add and archive: one id on a line of its own.
  static bool IsId(const std::string& text, uint32_t* id) {
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (v == 0 || v > 0xFFFFFFFFul || text != std::to_string(v) + "\n") return false;
    *id = static_cast<uint32_t>(v);
    return true;
  }
  // A freshly printed id must be new: ids are never handed out twice in one file.
  bool FreshId(uint32_t id, const std::string& serial) {
    if (const auto g = m_.gone_ids.find(id); g != m_.gone_ids.end()) {
      return Fail("note " + serial + " was given id " + std::to_string(id) + ", which " +
                  g->second);
    }
    for (const auto& [other, a] : m_.present) {
      if (a.note.id == id && other != serial) {
        return Fail("note " + serial + " was given id " + std::to_string(id) + ", which note " +
                    m_.Describe(other) + " holds");
      }
    }
    return true;
  }

  bool Add() {
    const std::string serial = NewSerial();
    Note n;
    n.topic = serial + " " + gen_.Word();
    n.noted = gen_.Date();
    if (gen_.Chance(30)) n.reminder = gen_.Date();
    n.memo = gen_.Memo();
    n.done = gen_.Chance(20) ? 'Y' : 'N';
    std::vector<std::string> args = {"add", "--topic", n.topic, "--date", n.noted};
    if (!n.reminder.empty()) args.insert(args.end(), {"--remind", n.reminder});
    if (gen_.Chance(20)) {
      // A memo file's final line break is no part of the memo.
      WriteWhole(dir_ + "/memo.txt", n.memo + "\n");
      args.insert(args.end(), {"--memo-file", dir_ + "/memo.txt"});
    } else if (!n.memo.empty()) {
      args.insert(args.end(), {"--memo", n.memo});
    }
    if (n.done == 'Y') args.push_back("--done");
    const Run r = Call("add", args);
    if (r.status != 0 || !IsId(r.out, &n.id)) return Failed(args, r, serial);
    if (!FreshId(n.id, serial)) return false;
    m_.present[serial].note = n;
    m_.Record(serial, Event("added"));
    return true;
  }

  bool Edit() {
    const std::optional<std::string> serial = PickAny();
    if (!serial) return Add();
    Note n = m_.present[*serial].note;
    std::vector<std::string> args = {"edit"};
    if (n.archived) args.push_back("--archive");
    args.push_back(std::to_string(n.id));
    std::string what;
    if (gen_.Chance(40)) {
      n.topic = *serial + " " + gen_.Word() + " e" + std::to_string(++edits_);
      args.insert(args.end(), {"--topic", n.topic});
      what += " topic";
    }
    if (gen_.Chance(25)) {
      n.noted = gen_.Date();
      args.insert(args.end(), {"--date", n.noted});
      what += " date";
    }
    if (gen_.Chance(25)) {
      n.reminder = gen_.Chance(30) ? "" : gen_.Date();
      if (n.reminder.empty()) {
        args.push_back("--no-remind");
      } else {
        args.insert(args.end(), {"--remind", n.reminder});
      }
      what += " reminder";
    }
    if (gen_.Chance(30)) {
      n.done = n.done == 'Y' ? 'N' : 'Y';
      args.push_back(n.done == 'Y' ? "--done" : "--undone");
      what += " done";
    }
    if (what.empty() || gen_.Chance(50)) {
      n.memo = gen_.Memo();
      args.insert(args.end(), {"--memo", n.memo});
      what += " memo";
    }
    const Run r = Call("edit", args);
    if (r.status != 0) return Failed(args, r, *serial);
    m_.present[*serial].note = n;
    m_.Record(*serial, Event("edited (" + what.substr(1) + ")"));
    return true;
  }

  bool Delete() {
    const std::optional<std::string> serial = PickAny();
    if (!serial) return Add();
    const Note n = m_.present[*serial].note;
    std::vector<std::string> args = {"delete"};
    if (n.archived) args.push_back("--archive");
    args.push_back(std::to_string(n.id));
    const Run r = Call("delete", args);
    if (r.status != 0) return Failed(args, r, *serial);
    const std::string how = "was deleted from " + TableName(n.archived) + Event("");
    m_.gone[*serial] = how + " (was " + m_.Describe(*serial) + ")";
    m_.gone_ids[n.id] = how;
    m_.present.erase(*serial);
    return true;
  }

  bool Archive() {
    const std::optional<std::string> serial = Pick(false);
    if (!serial) return Add();
    Note n = m_.present[*serial].note;
    const std::vector<std::string> args = {"archive", std::to_string(n.id)};
    const Run r = Call("archive", args);
    uint32_t archived = 0;
    if (r.status != 0 || !IsId(r.out, &archived)) return Failed(args, r, *serial);
    if (!FreshId(archived, *serial)) return false;
    m_.gone_ids[n.id] = "was moved to the archive as " + std::to_string(archived) + Event("");
    n.id = archived;
    n.archived = true;
    m_.present[*serial].note = n;
    m_.Record(*serial, Event("archived"));
    return true;
  }

  bool Show() {
    // Now and then a note that is gone: it must stay gone.
    if (!m_.gone_ids.empty() && gen_.Chance(20)) {
      auto it = m_.gone_ids.begin();
      std::advance(it, gen_.Below(static_cast<int>(m_.gone_ids.size())));
      for (const bool archive : {false, true}) {
        std::vector<std::string> args = {"show"};
        if (archive) args.push_back("--archive");
        args.push_back(std::to_string(it->first));
        const Run r = Call("show", args);
        if (r.status == 0) {
          return Fail(Shown(args) + " shows '" + Clip(r.out, 200) + "', though id " +
                      std::to_string(it->first) + " " + it->second);
        }
        if (r.status != 2 || r.err.find("no note has the id") == std::string::npos) {
          return Failed(args, r);
        }
      }
      return true;
    }
    const std::optional<std::string> serial = PickAny();
    if (!serial) return Add();
    const Note& n = m_.present[*serial].note;
    std::vector<std::string> args = {"show"};
    if (n.archived) args.push_back("--archive");
    args.push_back(std::to_string(n.id));
    const Run r = Call("show", args);
    if (r.status != 0) return Failed(args, r);
    std::string error;
    const std::optional<Note> shown = ParseShow(r.out, &error);
    if (!shown) return Fail(Shown(args) + ": " + error);
    if (const std::string d = Differences(n, *shown); !d.empty()) {
      return Fail(Shown(args) + ": note " + m_.Describe(*serial) + " shows " + d);
    }
    return true;
  }

  // Compares one listing of the worker's own notes with its model.
  bool Judge(const std::vector<std::string>& args, const std::string& text, bool header,
             bool archive) {
    std::string error;
    const std::optional<std::vector<Note>> rows = ParseTsv(text, header, &error);
    if (!rows) return Fail(Shown(args) + ": " + error);
    std::vector<std::string> problems;
    CompareTable(*rows, archive, {&m_}, false, When() + " (" + Shown(args) + ")", &problems);
    for (const std::string& p : problems) m_.failures.push_back(p);
    return problems.empty();
  }

  // A reader that met another program's commits too often says so and asks to try again: that is
  // no fault of the file, so it is counted, not failed.
  bool Busy(const Run& r) {
    if (r.status == 3 && r.err.find("kept changing") != std::string::npos) {
      ++m_.counts["reads asked to try again"];
      return true;
    }
    return false;
  }

  bool List() {
    const int kind = gen_.Below(10);
    const bool archive = kind >= 7;
    std::vector<std::string> args = {"list", "--tsv"};
    if (archive) args.insert(args.end(), {"--tab", "archive"});
    if (kind >= 2) {
      // Only this worker's notes.
      const std::string prefix = WorkerPrefix(m_.worker);
      args.insert(args.end(),
                  {"--where", std::string("SUB(") + (archive ? "arc" : "sno") + ":topic,1," +
                                  std::to_string(prefix.size()) + ")='" + prefix + "'"});
    }
    const Run r = Call("list", args);
    if (Busy(r)) return true;
    if (r.status != 0) return Failed(args, r);
    return Judge(args, r.out, true, archive);
  }

  bool Export() {
    const bool archive = gen_.Chance(30);
    const std::string file = dir_ + "/export.tsv";
    std::vector<std::string> args = {"export", file};
    if (archive) args.insert(args.end(), {"--tab", "archive"});
    const Run r = Call("export", args);
    if (Busy(r)) return true;
    if (r.status != 0) return Failed(args, r);
    return Judge(args, ReadWhole(file), false, archive);
  }

  bool Check() {
    const std::vector<std::string> args = {"check"};
    const Run r = Call("check", args);
    if (r.status == 0) return true;
    if (r.status == 1) {
      // The checker reads without holding off writers, so while others commit it may see a
      // moving file; the check after the round decides whether the file is sound.
      ++m_.counts["checks that saw faults while others wrote"];
      if (m_.remarks.size() < 3) m_.remarks.push_back(When() + ": check said " + Clip(r.out, 400));
      return true;
    }
    return Failed(args, r);
  }

  bool Import() {
    std::vector<std::pair<std::string, Note>> batch;
    std::string text = "id\treminder_date\tnote_date\ttopic\tdone\tarchive\tmemo\n";
    for (int i = 0; i < cfg_.import_notes; ++i) {
      Note n;
      const std::string serial = NewSerial();
      n.topic = serial + " " + gen_.Word();
      n.noted = gen_.Date();
      if (gen_.Chance(20)) n.reminder = gen_.Date();
      n.done = gen_.Chance(20) ? 'Y' : 'N';
      n.memo = gen_.Memo();
      // The id column is ignored: import hands out new ids.
      text += std::to_string(gen_.Below(100000) + 1) + "\t" + n.reminder + "\t" + n.noted + "\t" +
              n.topic + "\t" + n.done + "\tN\t" + Escape(n.memo) + "\n";
      batch.emplace_back(serial, n);
    }
    const std::string file = dir_ + "/import.tsv";
    WriteWhole(file, text);
    const std::vector<std::string> args = {"import", file};
    const Run r = Call("import", args);
    if (r.status != 0 || r.out != std::to_string(cfg_.import_notes) + " notes imported\n") {
      for (const auto& [serial, n] : batch) m_.uncertain.insert(serial);
      return Fail(Shown(args) + " (" + std::to_string(cfg_.import_notes) + " notes " +
                  batch.front().first + " to " + batch.back().first + ") " + r.Describe() +
                  (r.out.empty() ? "" : "; it printed: " + Clip(r.out)));
    }
    m_.counts["notes imported"] += static_cast<uint64_t>(cfg_.import_notes);
    // Acknowledged, ids not yet known (0): the check after the round looks for them by serial.
    for (const auto& [serial, n] : batch) {
      m_.present[serial].note = n;
      m_.Record(serial, Event("imported"));
    }
    // import prints no ids: find each imported note by its serial among the worker's own notes.
    const std::string after = "import printed '" + Clip(r.out) + "', then ";
    const std::string prefix = WorkerPrefix(m_.worker);
    const std::vector<std::string> list = {
        "list", "--tsv", "--where",
        "SUB(sno:topic,1," + std::to_string(prefix.size()) + ")='" + prefix + "'"};
    Run listed;
    for (int attempt = 0; attempt < 20; ++attempt) {
      listed = Call("list", list);
      if (!Busy(listed)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (listed.status != 0) return Fail(after + Shown(list) + " " + listed.Describe());
    std::string error;
    const std::optional<std::vector<Note>> rows = ParseTsv(listed.out, true, &error);
    if (!rows) return Fail(after + Shown(list) + ": " + error);
    std::map<std::string, std::vector<uint32_t>> ids;
    for (const Note& row : *rows) ids[SerialOf(row.topic)].push_back(row.id);
    bool ok = true;
    for (const auto& [serial, n] : batch) {
      const std::vector<uint32_t>& found = ids[serial];
      if (found.size() != 1) {
        // Kept in the model without an id, so that the check after the round reports it too.
        ok = Fail(after + "note " + serial + " is in the notes " + std::to_string(found.size()) +
                  " times");
        continue;
      }
      if (!FreshId(found[0], serial)) ok = false;
      m_.present[serial].note.id = found[0];
    }
    return Judge(list, listed.out, true, false) && ok;
  }

  const StressConfig& cfg_;
  const int round_;
  Model& m_;
  Cli& cli_;
  const std::string dir_;
  Gen gen_;
  int op_ = 0;
  int edits_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Load on the machine: busy loops and a disk writer that flushes

class Load {
 public:
  explicit Load(const std::string& scratch_file) : file_(scratch_file) {
    void* shared = mmap(nullptr, sizeof(std::atomic<uint64_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) written_ = new (shared) std::atomic<uint64_t>(0);
  }
  ~Load() {
    Stop();
    if (written_) munmap(written_, sizeof(std::atomic<uint64_t>));
  }

  void StartBusy() {
    Start([] {
      volatile uint64_t spin = 0;
      for (;;) spin = spin + 1;
    });
  }

  // Writes and flushes 64 KiB at a time, going round a 64 MiB file.
  void StartDisk() {
    const std::string path = file_;
    std::atomic<uint64_t>* written = written_;
    Start([path, written] {
      const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      std::vector<char> chunk(64 * 1024);
      for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7);
      for (off_t at = 0;; at = (at + static_cast<off_t>(chunk.size())) % (64 << 20)) {
        if (fd < 0 || pwrite(fd, chunk.data(), chunk.size(), at) < 0 || fdatasync(fd) != 0) {
          usleep(100000);
          continue;
        }
        if (written) written->fetch_add(chunk.size());
      }
    });
  }

  void Stop() {
    for (const pid_t pid : pids_) kill(pid, SIGKILL);
    for (const pid_t pid : pids_) waitpid(pid, nullptr, 0);
    pids_.clear();
    std::error_code ec;
    std::filesystem::remove(file_, ec);
  }

  size_t processes() const { return pids_.size(); }
  uint64_t mib_written() const { return written_ ? written_->load() >> 20 : 0; }

 private:
  template <typename F>
  void Start(F body) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(0);
      body();
      _exit(0);
    }
    if (pid > 0) pids_.push_back(pid);
  }

  std::string file_;
  std::atomic<uint64_t>* written_ = nullptr;
  std::vector<pid_t> pids_;
};

// Worker processes of one round; any still running when this goes are killed.
class Crew {
 public:
  ~Crew() {
    for (const auto& [pid, worker] : live_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  void Add(pid_t pid, int worker) { live_[pid] = worker; }
  // Waits for every worker until `until`; returns those that were still running then (they are
  // killed), by worker number, with how each ended.
  std::map<int, std::string> Wait(Clock::time_point until) {
    std::map<int, std::string> ended;
    while (!live_.empty()) {
      for (auto it = live_.begin(); it != live_.end();) {
        int status = 0;
        if (waitpid(it->first, &status, WNOHANG) == it->first) {
          ended[it->second] = WIFEXITED(status)
                                  ? "exited " + std::to_string(WEXITSTATUS(status))
                                  : "was killed by signal " + std::to_string(WTERMSIG(status));
          it = live_.erase(it);
        } else {
          ++it;
        }
      }
      if (live_.empty()) break;
      if (Clock::now() >= until) {
        for (const auto& [pid, worker] : live_) {
          kill(pid, SIGKILL);
          waitpid(pid, nullptr, 0);
          ended[worker] = "did not finish the round in time and was killed";
        }
        live_.clear();
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ended;
  }

 private:
  std::map<pid_t, int> live_;
};

// ---------------------------------------------------------------------------------------------
// After a round: the file is sound and holds exactly what was acknowledged

struct Tally {
  size_t notes = 0, archived = 0;
  std::string check;
};

void Verify(int round, Cli& cli, const std::vector<Model>& models, Tally* tally,
            std::vector<std::string>* problems) {
  const std::string when = "after round " + std::to_string(round);
  const Run check = cli({"check"});
  tally->check = Clip(check.out + check.err, 2000);
  if (check.status != 0) {
    problems->push_back(when + ": pellucor-cli check " + check.Describe() + "\n" + tally->check);
  }
  std::vector<const Model*> judged;
  for (const Model& m : models) judged.push_back(&m);
  std::map<uint32_t, std::string> note_ids;  // both tables draw ids from one sequence
  for (const bool archive : {false, true}) {
    const std::vector<std::string> args = {"list", "--tab", archive ? "archive" : "all", "--tsv"};
    const Run r = cli(args);
    if (r.status != 0) {
      problems->push_back(when + ": " + Shown(args) + " " + r.Describe());
      continue;
    }
    std::string error;
    const std::optional<std::vector<Note>> rows = ParseTsv(r.out, true, &error);
    if (!rows) {
      problems->push_back(when + ": " + Shown(args) + ": " + error);
      continue;
    }
    (archive ? tally->archived : tally->notes) = rows->size();
    CompareTable(*rows, archive, judged, true, when, problems);
    for (const Note& row : *rows) {
      if (!archive) {
        note_ids.emplace(row.id, row.topic);
      } else if (const auto it = note_ids.find(row.id); it != note_ids.end()) {
        problems->push_back(when + ": id " + std::to_string(row.id) + " is held by '" + it->second +
                            "' in the notes and by '" + row.topic + "' in the archive");
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------

TEST(Stress, ManyProgramsSharingOneFileUnderLoadKeepEveryAcknowledgedNote) {
  std::string error;
  const std::optional<StressConfig> config = ConfigFromEnv(&error);
  ASSERT_TRUE(config) << error;
  const StressConfig& cfg = *config;
  Scratch s;
  const std::string dir = s.DataDir();
  const auto started = Clock::now();
  std::printf(
      "[stress] seed %llu: %d rounds, %d workers, %d commands each a round, imports of %d "
      "notes, %d busy-loop processes and a disk writer; scratch %s\n",
      static_cast<unsigned long long>(cfg.seed), cfg.rounds, cfg.workers, cfg.ops, cfg.import_notes,
      cfg.busy, s.root().c_str());
  std::fflush(stdout);

  Load load(s.Path("disk-load.bin"));
  for (int i = 0; i < cfg.busy; ++i) load.StartBusy();
  load.StartDisk();

  Cli cli(s.root(), dir, s.Path("parent"), cfg.cli_timeout_s);
  std::vector<Model> models(static_cast<size_t>(cfg.workers));
  for (int w = 0; w < cfg.workers; ++w) models[static_cast<size_t>(w)].worker = w + 1;
  std::map<std::string, uint64_t> totals;
  uint64_t worker_runs = 0, processes = 0;
  int rounds_done = 0;
  std::vector<std::string> problems, remarks;
  Tally tally;

  for (int round = 1; round <= cfg.rounds && problems.empty(); ++round) {
    const auto round_started = Clock::now();
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    Crew crew;
    for (int w = 1; w <= cfg.workers; ++w) {
      // Every worker imports once a round unless fewer importers were asked for; then they take
      // turns. An import commits note after note while the others open the file for each command.
      const bool imports =
          cfg.importers > 0 &&
          ((w - 1 - (round - 1) * cfg.importers) % cfg.workers + cfg.workers) % cfg.workers <
              cfg.importers;
      const std::string wdir = s.Path("w" + std::to_string(w));
      std::filesystem::create_directories(wdir);
      std::filesystem::remove(wdir + "/report");
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(gate[1]);
        char byte;
        (void)!read(gate[0], &byte, 1);  // all start together
        Model& m = models[static_cast<size_t>(w - 1)];
        m.counts.clear();
        m.failures.clear();
        m.remarks.clear();
        Cli mine(s.root(), dir, wdir, cfg.cli_timeout_s);
        Worker(cfg, round, &m, &mine, wdir).RunRound(imports);
        m.counts["pellucor-cli runs"] = mine.runs();
        WriteModel(m, wdir + "/report");
        _exit(m.failures.empty() ? 0 : 1);
      }
      crew.Add(pid, w);
      ++processes;
    }
    close(gate[0]);
    close(gate[1]);
    const std::map<int, std::string> ended =
        crew.Wait(round_started + std::chrono::seconds(cfg.round_timeout_s));

    for (Model& m : models) {
      const std::string wdir = s.Path("w" + std::to_string(m.worker));
      if (!ReadModel(wdir + "/report", &m)) {
        m.lost = true;
        const auto e = ended.find(m.worker);
        problems.push_back(
            "round " + std::to_string(round) + ", worker " + std::to_string(m.worker) + " " +
            (e == ended.end() ? "ended" : e->second) +
            " without a report; its last command: " + Clip(ReadWhole(wdir + "/current")));
        continue;
      }
      problems.insert(problems.end(), m.failures.begin(), m.failures.end());
      remarks.insert(remarks.end(), m.remarks.begin(), m.remarks.end());
      for (const auto& [name, count] : m.counts) totals[name] += count;
      worker_runs += m.counts["pellucor-cli runs"];
    }
    Verify(round, cli, models, &tally, &problems);
    rounds_done = round;
    const double seconds = std::chrono::duration<double>(Clock::now() - round_started).count();
    std::printf("[stress] round %d/%d: %.1f s, %zu notes, %zu archived, %s%s\n", round, cfg.rounds,
                seconds, tally.notes, tally.archived, Clip(tally.check, 80).c_str(),
                problems.empty() ? "" : " -- FAULTS FOUND");
    std::fflush(stdout);
  }
  load.Stop();

  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  std::string ops, times;
  for (const auto& [name, count] : totals) {
    if (name.rfind("ms ", 0) == 0) {
      const auto runs_of = totals.find(name.substr(3));
      if (runs_of != totals.end() && runs_of->second != 0) {
        times += ", " + name.substr(3) + " " + std::to_string(count / runs_of->second) + " ms";
      }
    } else if (name != "pellucor-cli runs") {
      ops += ", " + std::to_string(count) + " " + name;
    }
  }
  const uint64_t runs = worker_runs + cli.runs();
  std::printf(
      "[stress] summary: %d of %d rounds, %llu worker processes (%d at a time) beside %d "
      "busy-loop processes and a disk writer (%llu MiB flushed), %llu pellucor-cli runs (%s), "
      "%zu notes and %zu archived at the end, %.1f s, seed %llu\n",
      rounds_done, cfg.rounds, static_cast<unsigned long long>(processes), cfg.workers, cfg.busy,
      static_cast<unsigned long long>(load.mib_written()), static_cast<unsigned long long>(runs),
      ops.empty() ? "" : ops.c_str() + 2, tally.notes, tally.archived, seconds,
      static_cast<unsigned long long>(cfg.seed));
  if (!times.empty()) std::printf("[stress] mean time of a command: %s\n", times.c_str() + 2);
  for (const std::string& r : remarks) std::printf("[stress] remark: %s\n", r.c_str());
  std::fflush(stdout);

  constexpr size_t kShown = 25;
  for (size_t i = 0; i < problems.size() && i < kShown; ++i) ADD_FAILURE() << problems[i];
  if (problems.size() > kShown) {
    ADD_FAILURE() << "... and " << problems.size() - kShown << " more faults";
  }
  if (!problems.empty()) {
    ADD_FAILURE() << "seed " << cfg.seed << "; the data directory is " << dir
                  << (std::getenv("PELLUCOR_KEEP_SCRATCH")
                          ? " (kept)"
                          : " (set PELLUCOR_KEEP_SCRATCH=1 to keep it)");
  }
}

}  // namespace
}  // namespace pellucor::app::clitest
