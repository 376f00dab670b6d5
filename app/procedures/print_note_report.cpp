#include "app/procedures/print_note_report.h"

#include <utility>

#include "app/note_store.h"
#include "app/procedures/print_note.h"
#include "app/windows/note_reports.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "report/progress_window.h"
#include "runtime/event/event.h"

namespace pellucor::app {

namespace {

namespace nr = note_record;
namespace pw = report::progress_window;
using framework::Level;

// The string step manager of the note reports: its first value as the reports give it, its
// second the characters it tells values apart by.
constexpr uint8_t kStepControls = 5;
constexpr uint8_t kStepDepth = 3;
// DEFERWINDOW's highest value: the progress window stays hidden for the whole run.
constexpr uint16_t kNeverShow = 65535;

}  // namespace

NoteReport::NoteReport(NoteReportSetup setup)
    : setup_(std::move(setup)),
      program_(TheProgram()),
      record_(setup_.table->ME->Buffer()),
      window_(report::ProgressWindow(setup_.module, &percent_)),
      view_({setup_.table->ME->FILE, {}, {}}),
      report_(setup_.describe(record_)),
      process_(*this) {}

NoteReport::~NoteReport() = default;

runtime::AnyRef NoteReport::Field(uint32_t offset, uint32_t size, runtime::TypeCode type) const {
  return runtime::AnyRef{record_ + offset, size, type, 0};
}

uint8_t NoteReport::RunReport() {
  const uint8_t response = Run();
  program_.response = response;
  return response;
}

Level NoteReport::Init() {
  program_.errors.PushProcedure(setup_.name);
  name_pushed_ = true;
  REQUEST = program_.request;
  if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
  VCRREQUEST = &program_.vcr_request;
  ERRORS = &program_.errors;
  program_.request = 0;
  program_.response = 0;
  if (const Level level = setup_.table->Open(); level != Level::Proceed) return level;
  files_open_ = true;
  window_.Open();
  window_opened_ = true;
  OPENED = true;
  runtime::SetProperty(0, runtime::Prop::kIcon, std::string(kAppIcon));
  if (setup_.remember_window) program_.ini.FetchWindow(window_, setup_.name);
  step_.Init(kStepControls, kStepDepth);
  process_.Init(view_, *setup_.table, pw::kPercentText, &percent_, &step_,
                Field(nr::kReminderOffset, 1, runtime::TypeCode::kString));
  process_.AddSortOrder(setup_.table->ME->FILE->FindKey(setup_.key));
  AddButton(pw::kCancel, framework::response::kCancelled);
  ReportManager::Init(process_, &report_, &preview_);
  runtime::SetProperty(pw::kUserString, runtime::Prop::kText, "");
  setup_.table->SetQuickScan(true, true);
  preview_.AttachIniManager(&program_.ini);
  preview_.ALLOWUSERZOOM = true;
  if (setup_.range_on_topic) {
    DEFERWINDOW = 0;
    WAITCURSOR = true;
    if (ORIGINALREQUEST == kProcessRequest) {
      DEFERWINDOW = kNeverShow;
      // Every key component up to the topic, at the values of the note in the buffer.
      process_.AddRange(Field(nr::kReminderOffset, 1, runtime::TypeCode::kString));
      process_.AddRange(Field(nr::kReminderDateOffset, 4, runtime::TypeCode::kDate));
      process_.AddRange(Field(nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString));
    }
  }
  if (setup_.hide_progress) DEFERWINDOW = kNeverShow;
  SKIPPREVIEW = setup_.skip_preview;
  RegisterAlertKeys();
  return Level::Proceed;
}

void NoteReport::SetupWindow() {
  process_.SetFilter(program_.query_text);
  ReportManager::SetupWindow();
}

Level NoteReport::Next() {
  // The query text as it is when the first record is read (the view takes it from its next
  // start; the range stays with it).
  if (process_.RECORDSPROCESSED == 0) process_.SetFilter(program_.query_text);
  return ReportManager::Next();
}

Level NoteReport::Process::HandleRecord() {
  const Level base = ProcessManager::HandleRecord();
  if (!owner_.report_.Print(kNoteDetailBand)) {
    // A page that cannot be written ends the run: nothing half printed reaches the printer.
    (void)runtime::MESSAGE("The report could not be printed.|" + owner_.report_.ErrorText(),
                           "Print", runtime::MessageIcon::kExclamation);
    owner_.RESPONSE = framework::response::kCancelled;
    return Level::Fatal;
  }
  return base;
}

Level NoteReport::Process::ApplyFilter() {
  const Level level = ProcessManager::ApplyFilter();
  // The view manager has told the user (message 40) and set the view going without any filter:
  // that would also drop the range and print every note of the table for "Print One Note". The
  // range goes back on without the refused query text.
  if (level != Level::Proceed && OPENED) {
    SetFilter({});
    (void)ProcessManager::ApplyFilter();
  }
  return level;
}

void NoteReport::RememberWindow() {
  if (window_remembered_ || !setup_.remember_window || !window_.IsOpen()) return;
  program_.ini.UpdateWindow(window_, setup_.name);
  window_remembered_ = true;
}

Level NoteReport::HandleCloseEvent() {
  // While the progress window is still there to be measured.
  RememberWindow();
  return ReportManager::HandleCloseEvent();
}

Level NoteReport::Kill() {
  const Level level = ReportManager::Kill();
  if (files_open_) {
    setup_.table->SetQuickScan(false, true);
    (void)setup_.table->Close();
    files_open_ = false;
  }
  if (window_opened_) {
    RememberWindow();
    if (window_.IsOpen()) window_.Close();
    window_opened_ = false;
  }
  if (name_pushed_) program_.errors.PopProcedure();
  name_pushed_ = false;
  return level;
}

}  // namespace pellucor::app
