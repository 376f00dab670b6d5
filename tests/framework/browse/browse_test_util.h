// Shared by the browse tests: a scratch directory that is the working directory while a test
// runs, the real window engine offscreen with a responder that records and answers every message
// box, the notes table of the note program filled with test notes, a browse window over it (a
// small procedure derived from WindowManager), and a second program (this test binary run again)
// for another station.
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
#include <QTreeWidget>
#include <array>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/toolbar_manager.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/core/error_state.h"
#include "runtime/event/window.h"
#include "runtime/queue/queue.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework::testing {

namespace nr = app::note_record;
using runtime::Event;

// The notes table's manager, as the note program derives it.
class NotesFile : public FileManager {
 public:
  void BindFields() override {
    AddKey(FILE->Key(0), "sno:SNOT");
    AddKey(FILE->Key(1), "sno:allnotes");
    AddKey(FILE->Key(2), "sno:Donyet");
  }
};

struct Note {
  std::string topic;
  int32_t note_date = 0;
  int32_t reminder_date = 0;
  char done = 'N';
};

inline void PutNote(uint8_t* r, const Note& n) {
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(), std::min<size_t>(n.topic.size(), 60));
  r[nr::kReminderOffset] = 'N';
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kNoteDateOffset, 4)
      ->SetInteger(n.note_date);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kReminderDateOffset, 4)
      ->SetInteger(n.reminder_date);
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

inline std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

inline std::string TopicOf(const uint8_t* r) {
  return Trimmed(std::string(reinterpret_cast<const char*>(r + nr::kTopicOffset), nr::kTopicSize));
}

// The browse's list queue: topic, note date, done flag and the row's VIEW position.
struct NoteQueue {
  static constexpr uint32_t kTopic = 0;
  static constexpr uint32_t kNoteDate = 60;
  static constexpr uint32_t kDone = 64;
  static constexpr uint32_t kPosition = 65;
  static constexpr uint32_t kPositionSize = 1024;
  static constexpr uint32_t kSize = kPosition + kPositionSize;

  NoteQueue() : queue(Descriptor()) {}
  runtime::QueueDescriptor Descriptor() {
    using runtime::TypeCode;
    return {buffer.data(),
            kSize,
            {{TypeCode::kString, kTopic, 60, 0},
             {TypeCode::kDate, kNoteDate, 4, 0},
             {TypeCode::kString, kDone, 1, 0},
             {TypeCode::kString, kPosition, kPositionSize, 0}}};
  }
  runtime::AnyRef Field(uint32_t offset, uint32_t size, runtime::TypeCode type) {
    return {buffer.data() + offset, size, type, 0};
  }
  // The topic of row `row` (from 1).
  std::string TopicAt(int32_t row) {
    runtime::QueueGet(queue, row);
    return Trimmed(std::string(reinterpret_cast<const char*>(buffer.data() + kTopic), 60));
  }
  std::vector<std::string> Topics() {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= runtime::QueueRecords(queue); ++i) out.push_back(TopicAt(i));
    return out;
  }

  std::array<uint8_t, kSize> buffer{};
  runtime::Queue queue;
};

inline runtime::AnyRef NoteField(FileManager& f, uint32_t offset, uint32_t size,
                                 runtime::TypeCode type) {
  return {f.Buffer() + offset, size, type, 0};
}

// Control numbers of the test browse window.
namespace ctl {
inline constexpr int32_t kSheet = 1;
inline constexpr int32_t kTab1 = 2;
inline constexpr int32_t kTab2 = 3;
inline constexpr int32_t kList = 7;
inline constexpr int32_t kInsert = 8;
inline constexpr int32_t kChange = 9;
inline constexpr int32_t kDelete = 10;
}  // namespace ctl

// A tool bar with the standard buttons 2000 to 2012.
inline constexpr int32_t kToolbarControl = 1999;
inline void AddToolbar(runtime::WindowDescription& d) {
  using runtime::ControlKind;
  ui::testing::Add(d, kToolbarControl, ControlKind::kToolbar);
  for (int32_t b = ToolbarManager::kFirstButton; b <= ToolbarManager::kLastButton; ++b) {
    ui::testing::Add(d, b, ControlKind::kButton, "Tool " + std::to_string(b)).parent =
        kToolbarControl;
  }
}

// The browse window's layout: the list alone, or the list on the second tab of a sheet.
enum class ListPlace : uint8_t { kPlain, kSecondTab };

inline runtime::WindowDescription BrowseDescription(ListPlace place) {
  using runtime::ControlKind;
  using ui::testing::Add;
  runtime::WindowDescription d;
  d.name = "BROWSE";
  d.title = "Browse";
  int32_t parent = 0;
  if (place == ListPlace::kSecondTab) {
    Add(d, ctl::kSheet, ControlKind::kSheet, "", {2, 2, 220, 150});
    Add(d, ctl::kTab1, ControlKind::kTab, "First").parent = ctl::kSheet;
    Add(d, ctl::kTab2, ControlKind::kTab, "Second").parent = ctl::kSheet;
    parent = ctl::kTab2;
  }
  auto& list = Add(d, ctl::kList, ControlKind::kList, "", {6, 18, 200, 120});
  list.parent = parent;
  list.format = "120L(2)|M~Topic~@s60@#1#50R(2)|M~Date~@d17@#2#";
  list.message = "Browsing Records";
  Add(d, ctl::kInsert, ControlKind::kButton, "&Insert", {6, 156, 50, 14});
  Add(d, ctl::kChange, ControlKind::kButton, "&Change", {60, 156, 50, 14});
  Add(d, ctl::kDelete, ControlKind::kButton, "&Delete", {114, 156, 50, 14});
  // The window with the sheet has no tool bar: the browse's toolbar then has no buttons to set.
  if (place == ListPlace::kPlain) AddToolbar(d);
  return d;
}

// A procedure with one browse over the notes, sorted by `sno:SNOT` (topic order for the test
// notes) with a range on its first two components, unless the test adds its own orders.
class BrowseWindow : public WindowManager {
 public:
  BrowseWindow(RelationManager& notes, ErrorManager& errors, int32_t* vcr,
               ListPlace place = ListPlace::kPlain)
      : notes_(notes), window_(BrowseDescription(place)), view_({notes.ME->FILE, {}, {}}) {
    ERRORS = &errors;
    VCRREQUEST = vcr;
  }

  // Runs the procedures a browse calls (RunProcedure).
  std::function<uint8_t(uint16_t, uint8_t)> procedures;
  // Adds the sort orders; by default one order by sno:SNOT with a case-insensitive locator.
  std::function<void(BrowseManager&)> orders;

  Level Init() override {
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    if (const Level level = notes_.Open(); level != Level::Proceed) return level;
    window_.Open();
    FileManager& f = *notes_.ME;
    browse.Init(
        ctl::kList, queue.queue,
        queue.Field(NoteQueue::kPosition, NoteQueue::kPositionSize, runtime::TypeCode::kString),
        view_, notes_, *this);
    if (orders) {
      orders(browse);
    } else {
      // Every test note is no archive note and has no reminder date: the range leaves the topic
      // as the free element, which the locator sets.
      browse.AddSortOrder(f.FILE->FindKey("SNO:SNOT"));
      browse.AddRange({&archive_flag, 1, runtime::TypeCode::kString, 0});
      browse.AddRange({&no_date, 4, runtime::TypeCode::kLong, 0});
      browse.AddLocator(true);
    }
    browse.AddField(queue.Field(NoteQueue::kTopic, 60, runtime::TypeCode::kString),
                    NoteField(f, nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString));
    browse.AddField(queue.Field(NoteQueue::kNoteDate, 4, runtime::TypeCode::kDate),
                    NoteField(f, nr::kNoteDateOffset, 4, runtime::TypeCode::kDate));
    browse.AddField(queue.Field(NoteQueue::kDone, 1, runtime::TypeCode::kString),
                    NoteField(f, nr::kDoneOffset, 1, runtime::TypeCode::kString));
    browse.INSERTCONTROL = ctl::kInsert;
    browse.CHANGECONTROL = ctl::kChange;
    browse.DELETECONTROL = ctl::kDelete;
    browse.ASKPROCEDURE = 1;
    AddBrowse(browse);
    toolbar.Init(*this);
    browse.AddToolbarTarget(toolbar);
    TOOLBAR = &toolbar;
    RegisterAlertKeys();
    return Level::Proceed;
  }
  Level Kill() override {
    const Level level = WindowManager::Kill();
    if (window_.IsOpen()) window_.Close();
    (void)notes_.Close();
    return level;
  }
  uint8_t RunProcedure(uint16_t number, uint8_t request) override {
    return procedures ? procedures(number, request) : WindowManager::RunProcedure(number, request);
  }

  runtime::Window& window() { return window_; }

  NoteQueue queue;
  BrowseManager browse;
  ToolbarManager toolbar;
  char archive_flag = 'N';
  int32_t no_date = 0;

 private:
  RelationManager& notes_;
  runtime::Window window_;
  data::view::View view_;
};

// The fixture: the real engine offscreen, every box recorded in boxes_ and answered with the
// next of answers_ (OK, or Yes, when none is queued), and the notes table.
class BrowseTest : public ui::testing::UiTest {
 protected:
  BrowseTest() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box == nullptr) return;
      boxes_.push_back(box->windowTitle().toStdString());
      int32_t answer = 0;
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      QPushButton* button = nullptr;
      if (answer != 0) {
        button = box->findChild<QPushButton*>("button" + QString::number(answer));
      }
      if (button == nullptr) button = box->findChild<QPushButton*>("button1");
      if (button == nullptr) button = box->findChild<QPushButton*>("button2");
      if (button != nullptr) button->click();
    });
    errors_.Init();
    notes_decl_ = app::MakeSNotes(&data::KestruneDriverInstance());
    notes_.Init(*notes_decl_, errors_);
    notes_.CREATE = true;
    notes_.OPENMODE = 0x42;  // others may write too: a second station shares the file
    relations_.Init(notes_);
  }
  ~BrowseTest() override {
    window_.reset();
    errors_.Kill();
  }

  // Adds `notes` to the table in one stream.
  void AddNotes(const std::vector<Note>& notes) {
    ASSERT_EQ(relations_.Open(), Level::Proceed);
    data::FileDecl& f = *notes_decl_;
    ASSERT_EQ(data::Dispatch(f, data::Op::kSTREAM).error, 0) << runtime::ErrorText();
    for (const Note& n : notes) {
      PutNote(f.RecordBuffer(), n);
      ASSERT_EQ(data::Dispatch(f, data::Op::kADD).error, 0) << runtime::ErrorText();
    }
    ASSERT_EQ(data::Dispatch(f, data::Op::kFLUSH).error, 0);
    ASSERT_EQ(relations_.Close(), Level::Proceed);
  }

  // Opens the browse window (its procedure's Init) and lets it handle its first events.
  BrowseWindow& OpenBrowse(ListPlace place = ListPlace::kPlain,
                           std::function<void(BrowseManager&)> orders = {}) {
    window_ = std::make_unique<BrowseWindow>(relations_, errors_, &vcr_, place);
    window_->orders = std::move(orders);
    EXPECT_EQ(window_->Init(), Level::Proceed);
    EXPECT_TRUE(QTest::qWaitForWindowActive(engine_.WidgetOf(window_->window().id())));
    Pump();
    return *window_;
  }

  // Hands every event waiting for the browse window to its dispatcher, and the events those
  // post in turn, until none is left.
  void Pump() {
    for (bool more = true; more && window_->window().IsOpen();) {
      more = false;
      runtime::PostEvent(ui::testing::kEndOfInput);
      runtime::ACCEPT([&] {
        if (runtime::EVENT() == ui::testing::kEndOfInput) return runtime::LoopControl::kLeave;
        more = true;
        const Level level = window_->HandleEvent();
        if (level == Level::Fatal) return runtime::LoopControl::kLeave;
        return level == Level::Notified ? runtime::LoopControl::kContinue
                                        : runtime::LoopControl::kNext;
      });
    }
  }

  // Posts `event` to the list and lets the window handle it.
  void Post(Event event, int32_t control = ctl::kList) {
    runtime::PostEvent(event, control);
    Pump();
  }

  QTreeWidget* Tree() {
    return qobject_cast<QTreeWidget*>(engine_.ControlWidget(window_->window().id(), ctl::kList));
  }
  // The topics the list control shows, and the one it highlights.
  std::vector<std::string> ShownTopics() {
    std::vector<std::string> out;
    QTreeWidget* tree = Tree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      out.push_back(tree->topLevelItem(i)->text(0).toStdString());
    }
    return out;
  }
  std::string HighlightedTopic() {
    QTreeWidgetItem* item = Tree()->currentItem();
    return item != nullptr ? item->text(0).toStdString() : std::string();
  }
  int32_t VisibleRows() {
    return std::atoi(runtime::GetProperty(ctl::kList, runtime::Prop::kItems).c_str());
  }

  // Every note's topic in the table, in topic order (read through the driver; the record buffer
  // is left as it was).
  std::vector<std::string> StoredTopics() {
    std::vector<std::string> out;
    data::FileDecl& f = *notes_decl_;
    const std::vector<uint8_t> kept(f.RecordBuffer(), f.RecordBuffer() + f.record_length);
    data::OpArgs set;
    set.key = f.Key(0);
    EXPECT_EQ(data::Dispatch(f, data::Op::kSETkey, set).error, 0);
    while (data::Dispatch(f, data::Op::kNEXT).error == 0) out.push_back(TopicOf(f.RecordBuffer()));
    std::memcpy(f.RecordBuffer(), kept.data(), kept.size());
    return out;
  }

  testsupport::ScratchCwd dir_;
  ErrorManager errors_;
  std::unique_ptr<data::FileDecl> notes_decl_;
  NotesFile notes_;
  RelationManager relations_;
  std::unique_ptr<BrowseWindow> window_;
  std::vector<std::string> boxes_;
  std::deque<int32_t> answers_;
  int32_t vcr_ = 0;  // the toolbar's pending navigation, shared by the browse and its forms
};

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

// This test binary run again with the filter that selects OtherStation.Run, doing what BR_ROLE
// says (other_station.cpp) in the same working directory, and answering on a pipe.
class OtherStation {
 public:
  OtherStation(const std::string& role, const std::string& arg) {
    int from_child[2];
    if (pipe(from_child) != 0) return;
    // Everything the child needs is made before fork: the parent has other threads (Qt's, the
    // reaper's), so the child may only call exec.
    std::vector<std::string> env{"BR_ROLE=" + role, "BR_ARG=" + arg,
                                 "BR_OUT=" + std::to_string(from_child[1])};
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::strncmp(*e, "BR_", 3) != 0) env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string binary = TestBinary();
    std::string filter = "--gtest_filter=OtherStation.Run";
    std::string brief = "--gtest_brief=1";
    char* argv[] = {const_cast<char*>(binary.c_str()), filter.data(), brief.data(), nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      close(from_child[0]);
      execve(binary.c_str(), argv, envp.data());
      _exit(127);
    }
    close(from_child[1]);
    from_ = from_child[0];
  }
  ~OtherStation() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (from_ >= 0) close(from_);
  }
  OtherStation(const OtherStation&) = delete;
  OtherStation& operator=(const OtherStation&) = delete;

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
  int from_ = -1;
  int status_ = 0;
  bool waited_ = false;
};

}  // namespace pellucor::framework::testing
