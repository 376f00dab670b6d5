#include "report/report_manager.h"

#include <algorithm>

#include "framework/error/error_manager.h"
#include "report/print_preview.h"
#include "report/process_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/values/calendar.h"

namespace pellucor::report {

using runtime::Event;
using runtime::Prop;
namespace response = framework::response;

namespace {

// RECORDSPERCYCLE doubles at most up to here: far beyond any cycle's reach, short of overflow.
constexpr int32_t kMostRecordsPerCycle = 1 << 30;

}  // namespace

ReportManager::ReportManager() = default;
ReportManager::~ReportManager() {
  // A procedure that never reached Kill still leaves no page files behind.
  if (PREVIEWQUEUE) runtime::DiscardPages(*PREVIEWQUEUE);
}

void ReportManager::Init(ProcessManager& process, runtime::Report* report, PrintPreview* preview) {
  PROCESS = &process;
  REPORT = report;
  PREVIEW = preview;
  // Pages are collected even without a preview: a run that is cancelled must print nothing.
  PREVIEWQUEUE = std::make_unique<std::vector<std::string>>();
  if (PREVIEW != nullptr) PREVIEW->Init(*PREVIEWQUEUE);
  RECORDSPERCYCLE = 1;
  TIMESLICE = 100;
}

int32_t ReportManager::Now() const {
  return CLOCKSOURCE ? CLOCKSOURCE() : runtime::CLOCK();
}

int32_t ReportManager::Elapsed(int32_t from, int32_t to) {
  const int32_t d = to - from;
  return d < 0 ? d + kDayHundredths : d;
}

Level ReportManager::Ask() {
  if (DEFERWINDOW != 0) {
    if (WAITCURSOR) runtime::SETCURSOR(runtime::CursorKind::kWait);
    STARTTIME = Now();
    runtime::SetProperty(0, Prop::kHide, "1");
  }
  return framework::WindowManager::Ask();
}

void ReportManager::SetupWindow() {
  framework::WindowManager::SetupWindow();
  if (!DEFEROPENREPORT) (void)StartReport();
}

Level ReportManager::StartReport() {
  (void)PROCESS->Reset();
  const Level result = Next();
  DEFEROPENREPORT = false;
  if (result != Level::Proceed) {
    HandleNoRecords();
    return result;
  }
  OPENFAILED = false;
  if (REPORT != nullptr) {
    if (!REPORT->Open()) {
      (void)runtime::MESSAGE("The report could not be started.|" + REPORT->ErrorText(), "Report",
                             runtime::MessageIcon::kExclamation);
      OPENFAILED = true;
      FinishWith(response::kCancelled);
      return Level::Fatal;
    }
    REPORT->SetPageList(PREVIEWQUEUE.get());
  }
  return result;
}

void ReportManager::HandleNoRecords() {
  if (ERRORS != nullptr) {
    (void)ERRORS->Raise(kNoRecordsMessage);
  } else {
    (void)runtime::MESSAGE("There are no records available to process.", "No Records",
                           runtime::MessageIcon::kInformation);
  }
  OPENFAILED = true;
}

Level ReportManager::Next() {
  const Level result = PROCESS->Next(true);
  if (result == Level::Notified) {
    if (PROCESS->RECORDSPROCESSED > 0) {
      RESPONSE = response::kCompleted;
      runtime::PostEvent(Event::kCloseWindow);
      return Level::Notified;
    }
    RESPONSE = response::kCancelled;
    runtime::PostEvent(Event::kCloseWindow);
    return Level::Fatal;
  }
  if (result == Level::Fatal) {
    RESPONSE = response::kCancelled;
    runtime::PostEvent(Event::kCloseWindow);
    return Level::Fatal;
  }
  return Level::Proceed;
}

Level ReportManager::HandleAccepted() {
  if (QUERYCONTROL != 0 && runtime::AcceptedControl() == QUERYCONTROL) {
    (void)PROCESS->HandleQuery();
  }
  return framework::WindowManager::HandleAccepted();
}

Level ReportManager::HandleWindowEvent() {
  if (runtime::EVENT() != Event::kTimer) return framework::WindowManager::HandleWindowEvent();
  if (const Level l = Cycle(); l != Level::Proceed) return l;
  return framework::WindowManager::HandleWindowEvent();
}

Level ReportManager::Cycle() {
  if (DEFEROPENREPORT) (void)StartReport();
  if (OPENFAILED) return Level::Fatal;
  const int32_t start = PROCESS->RECORDSPROCESSED;
  const int32_t t0 = Now();
  if (DEFERWINDOW != 0 && Elapsed(STARTTIME, t0) > int32_t{DEFERWINDOW} * 100) {
    runtime::SetProperty(0, Prop::kHide, "");
    DEFERWINDOW = 0;
  }
  int32_t elapsed = 0;
  for (;;) {
    while (PROCESS->RECORDSPROCESSED - start < RECORDSPERCYCLE) {
      const Level handled = PROCESS->HandleRecord();
      if (handled == Level::Fatal) {
        runtime::SetTimer(0);
        runtime::PostEvent(Event::kCloseWindow);
        return Level::Notified;
      }
      if (handled == Level::Notified) return Level::Notified;
      if (Next() != Level::Proceed) {
        runtime::SetTimer(0);
        return Level::Notified;
      }
    }
    elapsed = Elapsed(t0, Now());
    if (elapsed * 5 < int32_t{TIMESLICE} * 4) {
      RECORDSPERCYCLE = std::min(RECORDSPERCYCLE * 2, kMostRecordsPerCycle);
    }
    if (elapsed * 2 < int32_t{TIMESLICE}) continue;  // not half the budget yet: read on
    break;
  }
  if (elapsed * 2 > int32_t{TIMESLICE} * 3 && RECORDSPERCYCLE > 1) {
    // Times 0.5, the whole part kept.
    RECORDSPERCYCLE /= 2;
  }
  return Level::Proceed;
}

Level ReportManager::HandleCloseEvent() {
  if (WAITCURSOR) runtime::SETCURSOR(runtime::CursorKind::kArrow);
  if (!KEEPVISIBLE) runtime::SetProperty(0, Prop::kHide, "1");
  RunPreview();
  if (REPORT != nullptr) REPORT->Close();
  return Level::Proceed;
}

void ReportManager::RunPreview() {
  if (RESPONSE != response::kCompleted || PREVIEWQUEUE == nullptr) return;
  if (REPORT != nullptr && REPORT->IsOpen()) (void)REPORT->EndPage();
  if (PREVIEW == nullptr || SKIPPREVIEW) {
    FlushCollectedPages(true);
  } else {
    FlushCollectedPages(PREVIEW->ShowPages(ZOOM, 1, 1));
  }
  PREVIEWQUEUE->clear();
}

void ReportManager::FlushCollectedPages(bool print) {
  const std::string title = REPORT != nullptr ? REPORT->description().title : std::string();
  if (runtime::FlushPages(*PREVIEWQUEUE, print, title) == runtime::FlushResult::kFailed) {
    runtime::ReportEngine* engine = runtime::GetReportEngine();
    (void)runtime::MESSAGE(
        "The report could not be printed.|" + (engine != nullptr ? engine->ErrorText() : ""),
        "Print", runtime::MessageIcon::kExclamation);
  }
}

Level ReportManager::Kill() {
  if (DEAD || PROCESS == nullptr) return Level::Notified;
  if (REPORT != nullptr) REPORT->Close();
  if (PREVIEWQUEUE) runtime::DiscardPages(*PREVIEWQUEUE);
  PREVIEWQUEUE.reset();
  if (PREVIEW != nullptr) (void)PREVIEW->Kill();
  (void)PROCESS->Kill();
  return framework::WindowManager::Kill();
}

}  // namespace pellucor::report
