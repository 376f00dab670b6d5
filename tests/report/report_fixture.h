// The report tests' fixture: the real window and report engines offscreen, a scratch working
// directory, the error manager and the notes table of the note program with notes of the test's
// own; and a small report procedure over it, as the note reports are built, whose process traces
// what it takes and whose clock a test may drive.
#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "framework/browse/step_manager.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "report/print_preview.h"
#include "report/process_manager.h"
#include "report/progress_window.h"
#include "report/report_manager.h"
#include "runtime/core/error_state.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/report_test_util.h"

namespace pellucor::report::testing {

namespace nr = app::note_record;

struct Note {
  std::string topic;
  std::string memo;
  int32_t note_date = 0;
  int32_t reminder_date = 0;
  char archived = 'N';
  char done = 'N';
};

inline void PutNote(uint8_t* r, const Note& n) {
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(), std::min<size_t>(n.topic.size(), 60));
  std::memcpy(r + nr::kMainMemoOffset, n.memo.data(),
              std::min<size_t>(n.memo.size(), nr::kMainMemoSize));
  r[nr::kReminderOffset] = static_cast<uint8_t>(n.archived);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kNoteDateOffset, 4)
      ->SetInteger(n.note_date);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kReminderDateOffset, 4)
      ->SetInteger(n.reminder_date);
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

inline std::string TopicOf(const uint8_t* r) {
  std::string s(reinterpret_cast<const char*>(r + nr::kTopicOffset), nr::kTopicSize);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class NotesFile : public framework::FileManager {
 public:
  void BindFields() override {
    AddKey(FILE->Key(0), "sno:SNOT");
    AddKey(FILE->Key(1), "sno:allnotes");
    AddKey(FILE->Key(2), "sno:Donyet");
  }
};

class ReportFixture : public ui::testing::ReportUiTest {
 protected:
  ReportFixture() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box == nullptr) return;
      boxes_.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
      QPushButton* button = box->defaultButton();
      if (button == nullptr) button = box->findChild<QPushButton*>("button1");
      if (button != nullptr) button->click();
    });
    errors_.Init();
    notes_decl_ = app::MakeSNotes(&data::KestruneDriverInstance());
    notes_.Init(*notes_decl_, errors_);
    notes_.CREATE = true;
    relations_.Init(notes_);
  }
  ~ReportFixture() override { errors_.Kill(); }

  void AddNotes(const std::vector<Note>& notes) {
    ASSERT_EQ(relations_.Open(), framework::Level::Proceed);
    data::FileDecl& f = *notes_decl_;
    ASSERT_EQ(data::Dispatch(f, data::Op::kSTREAM).error, 0) << runtime::ErrorText();
    for (const Note& n : notes) {
      PutNote(f.RecordBuffer(), n);
      ASSERT_EQ(data::Dispatch(f, data::Op::kADD).error, 0) << runtime::ErrorText();
    }
    ASSERT_EQ(data::Dispatch(f, data::Op::kFLUSH).error, 0);
    ASSERT_EQ(relations_.Close(), framework::Level::Proceed);
  }
  // `count` notes "Note 0001" ... in topic order, each with a memo naming it.
  static std::vector<Note> Numbered(int count) {
    std::vector<Note> notes;
    for (int i = 1; i <= count; ++i) {
      char topic[16];
      std::snprintf(topic, sizeof topic, "Note %04d", i);
      notes.push_back({topic, std::string("Memo of ") + topic, 80000 + i, 0, 'N', 'N'});
    }
    return notes;
  }

  struct Box {
    std::string title;
    std::string text;
  };

  testsupport::ScratchCwd cwd_;
  framework::ErrorManager errors_;
  std::unique_ptr<data::FileDecl> notes_decl_;
  NotesFile notes_;
  framework::RelationManager relations_;
  std::vector<Box> boxes_;
};

// A report over the notes in sno:SNOT order: one detail band with the topic and the memo.
inline runtime::ReportDescription NotesReportDescription(uint8_t* record) {
  runtime::ReportDescription d;
  d.name = "P1$REPORT";
  d.title = "Notes";
  d.area = {1000, 1000, 6000, 8000};
  runtime::ReportBand detail;
  detail.at = {0, 0, 6000, 500};
  runtime::ReportControl topic;
  topic.at = {0, 0, 6000, 200};
  topic.use =
      runtime::AnyRef{record + nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString, 0};
  detail.controls.push_back(topic);
  runtime::ReportControl memo;
  memo.kind = runtime::ReportControlKind::kText;
  memo.at = {0, 250, 6000, 200};
  memo.use = runtime::AnyRef{record + nr::kMainMemoOffset, nr::kMainMemoSize,
                             runtime::TypeCode::kString, 0};
  detail.controls.push_back(memo);
  d.details.push_back(detail);
  d.footer.at = {1000, 9500, 6000, 200};
  runtime::ReportControl page;
  page.page_number = true;
  page.picture = "@pPage <<<#p";
  page.at = {0, 0, 6000, 200};
  d.footer.controls.push_back(page);
  return d;
}

// The test's report procedure.
class NotesRun : public ReportManager {
 public:
  struct Options {
    bool step_manager = false;
    bool preview = false;
    std::string filter;
    // Hundredths of a second each record costs on the test's clock; 0: the real clock.
    int32_t record_cost = 0;
    int32_t records_per_cycle = 1;
    uint16_t defer_window = 0;
  };

  NotesRun(framework::RelationManager& notes, framework::ErrorManager& errors, Options options)
      : notes_(notes),
        options_(std::move(options)),
        window_(ProgressWindow("test$REPORT", &percent_)),
        view_({notes.ME->FILE, {}, {}}),
        report_(NotesReportDescription(notes.ME->FILE->RecordBuffer())),
        process_(*this) {
    ERRORS = &errors;
    if (options_.record_cost != 0) CLOCKSOURCE = [this] { return clock_; };
  }

  framework::Level Init() override {
    if (const auto l = WindowManager::Init(); l != framework::Level::Proceed) return l;
    if (const auto l = notes_.Open(); l != framework::Level::Proceed) return l;
    files_open_ = true;
    window_.Open();
    OPENED = true;
    step_.Init(5, 3);
    process_.Init(view_, notes_, progress_window::kPercentText, &percent_,
                  options_.step_manager ? &step_ : nullptr,
                  {notes_.ME->Buffer() + nr::kReminderOffset, 1, runtime::TypeCode::kString, 0});
    process_.AddSortOrder(notes_.ME->FILE->FindKey("SNO:SNOT"));
    if (!options_.filter.empty()) process_.SetFilter(options_.filter);
    AddButton(progress_window::kCancel, framework::response::kCancelled);
    ReportManager::Init(process_, &report_, options_.preview ? &preview_ : nullptr);
    RECORDSPERCYCLE = options_.records_per_cycle;
    DEFERWINDOW = options_.defer_window;
    if (options_.preview) preview_.ALLOWUSERZOOM = true;
    return framework::Level::Proceed;
  }
  framework::Level Kill() override {
    const framework::Level l = ReportManager::Kill();
    if (window_.IsOpen()) window_.Close();
    if (files_open_) (void)notes_.Close();
    files_open_ = false;
    return l;
  }
  framework::Level HandleWindowEvent() override {
    const bool timer = runtime::EVENT() == runtime::Event::kTimer;
    if (timer) ++timer_events;
    const framework::Level l = ReportManager::HandleWindowEvent();
    if (timer) cycles_after.push_back(RECORDSPERCYCLE);
    return l;
  }
  framework::Level HandleCloseEvent() override {
    last_percent_text = runtime::GetProperty(progress_window::kPercentText, runtime::Prop::kText);
    return ReportManager::HandleCloseEvent();
  }

  runtime::Window& window() { return window_; }

  // What the process took: each record's topic with the timer event that took it.
  struct Taken {
    std::string topic;
    int timer_event;
  };
  std::vector<Taken> taken;
  std::vector<int32_t> cycles_after;  // RECORDSPERCYCLE after each timer event
  std::vector<int> percents;          // the percentage after each record taken
  std::string last_percent_text;
  int timer_events = 0;
  int32_t clock_ = 1000;
  uint8_t percent_ = 0;
  std::function<void(const Taken&)> on_record;

 private:
  class Process : public ProcessManager {
   public:
    explicit Process(NotesRun& run) : run_(run) {}
    framework::Level HandleRecord() override {
      const framework::Level base = ProcessManager::HandleRecord();
      run_.taken.push_back({TopicOf(run_.notes_.ME->FILE->RecordBuffer()), run_.timer_events});
      run_.clock_ += run_.options_.record_cost;
      (void)run_.report_.Print(1);
      if (run_.on_record) run_.on_record(run_.taken.back());
      run_.percents.push_back(*PERCENTILE);
      return base;
    }

   private:
    NotesRun& run_;
  };

  framework::RelationManager& notes_;
  Options options_;
  runtime::Window window_;
  data::view::View view_;
  runtime::Report report_;
  framework::StringStepManager step_;
  Process process_;
  PrintPreview preview_;
  bool files_open_ = false;
};

}  // namespace pellucor::report::testing
