// Shared by the file and relation manager tests: a scratch directory that is the working
// directory while a test runs, the real window engine offscreen with a responder that records
// every message box and answers it, the application's error manager, test tables, and a second
// program (this test binary run again) for sharing and locking.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <QMessageBox>
#include <QPushButton>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "runtime/core/error_state.h"
#include "runtime/event/window.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework::testing {

namespace nr = app::note_record;

// One message box as the user saw it.
struct Box {
  std::string title;
  std::string text;
};

// The fixture: the real engine offscreen (the halt hook throws runtime::HaltException), every
// box recorded in boxes_ and answered with the next of answers_ (the runtime's button codes;
// OK, or Yes, when none is queued).
class FileTest : public ui::testing::UiTest {
 protected:
  FileTest() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box == nullptr) return;
      boxes_.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
      int32_t answer = 0;
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      QPushButton* button = nullptr;
      if (answer != 0) {
        button = box->findChild<QPushButton*>("button" + QString::number(answer));
      }
      if (button == nullptr) button = box->findChild<QPushButton*>("button1");  // OK
      if (button == nullptr) button = box->findChild<QPushButton*>("button2");  // Yes
      if (button != nullptr) button->click();
    });
    errors_.Init();
  }
  ~FileTest() override { errors_.Kill(); }

  std::vector<std::string> Titles() const {
    std::vector<std::string> t;
    for (const Box& b : boxes_) t.push_back(b.title);
    return t;
  }

  testsupport::ScratchCwd dir_;
  ErrorManager errors_;
  std::vector<Box> boxes_;
  std::deque<int32_t> answers_;
};

// --- The notes table's manager, as the note program derives it ---

class NotesFile : public FileManager {
 public:
  void BindFields() override {
    AddKey(FILE->Key(0), "sno:SNOT");
    AddKey(FILE->Key(1), "sno:allnotes");
    AddKey(FILE->Key(2), "sno:Donyet");
  }
};

inline std::unique_ptr<data::FileDecl> Notes() {
  return app::MakeSNotes(&data::KestruneDriverInstance());
}

inline void SetTopic(FileManager& f, const std::string& topic) {
  uint8_t* r = f.Buffer();
  std::memset(r, ' ', nr::kSize);
  std::memset(r + nr::kNoteDateOffset, 0, 8);
  std::memcpy(r + nr::kTopicOffset, topic.data(), std::min<size_t>(topic.size(), nr::kTopicSize));
  r[nr::kReminderOffset] = 'N';
  r[nr::kDoneOffset] = 'N';
}

inline std::string Topic(FileManager& f) {
  std::string t(reinterpret_cast<const char*>(f.Buffer()), nr::kTopicSize);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

inline int64_t Records(data::FileDecl& f) {
  return data::Dispatch(f, data::Op::kRECORDSfile).value;
}

inline int32_t SetKey(data::FileDecl& f, size_t key) {
  data::OpArgs a;
  a.key = f.Key(key);
  return data::Dispatch(f, data::Op::kSETkey, a).error;
}

// --- A second program ---

inline std::string TestBinary() {
  const char* b = std::getenv("PELLUCOR_TEST_BINARY");
  return b && *b ? b : "/proc/self/exe";
}

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
  const ssize_t ignored = write(fd, text.data(), text.size());
  (void)ignored;
}

// This test binary run again with the filter that selects SecondStation.Run, doing what
// FM_ROLE says (second_station.cpp) in the same working directory.
class SecondStation {
 public:
  SecondStation(const std::string& role, const std::string& arg = {}) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    // Everything the child needs is made before fork: the parent has other threads (Qt's, the
    // reaper's), so the child may only call exec.
    std::vector<std::string> env{"FM_ROLE=" + role, "FM_ARG=" + arg,
                                 "FM_IN=" + std::to_string(to_child[0]),
                                 "FM_OUT=" + std::to_string(from_child[1])};
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "FM_", 3) != 0) env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string binary = TestBinary();
    std::string filter = "--gtest_filter=SecondStation.Run";
    std::string brief = "--gtest_brief=1";
    char* argv[] = {const_cast<char*>(binary.c_str()), filter.data(), brief.data(), nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      close(to_child[1]);
      close(from_child[0]);
      execve(binary.c_str(), argv, envp.data());
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    to_ = to_child[1];
    from_ = from_child[0];
  }
  ~SecondStation() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
  }
  SecondStation(const SecondStation&) = delete;
  SecondStation& operator=(const SecondStation&) = delete;

  void Send(const std::string& line) { WriteLine(to_, line); }
  std::string Read(int timeout_ms = 20000) { return ReadLine(from_, timeout_ms); }
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

}  // namespace pellucor::framework::testing
