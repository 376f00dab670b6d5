// The report manager: the window manager of a report procedure. It owns the progress window's
// run, the report and the preview. Records are read from the progress window's timer in cycles
// whose size adapts to a time budget, so that the window stays responsive while a long report
// runs; when the last record is printed the preview shows the pages (or they go to the printer
// straight away) and the progress window closes.
//
// A report procedure derives from it, opens its progress window and tables in Init, calls
// Init(process, report, preview) and overrides the hooks: the process's HandleRecord prints the
// detail band, Next may adjust the view before the first record, SetupWindow opens the report.
//
// The cycle (each timer event): records are taken until RECORDSPERCYCLE have been taken in this
// event; a cycle that used less than 80 % of TIMESLICE doubles the count, and one that used less
// than half of it goes on reading in the same event; after the event, a cycle that used more
// than 150 % halves the count (never below 1). The first record is read by StartReport and every
// step takes the current record and reads the next, so each record is taken exactly once.
//
// Page files never outlive the report: printed, discarded, cancelled or failed, they are removed
// by the time Kill returns.
//
// REQUIRES: callers hold the run lock, on the thread of the report procedure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/window/window_manager.h"
#include "runtime/report/report.h"

namespace pellucor::report {

using framework::Level;

class PrintPreview;
class ProcessManager;

// The message raised when the view holds no record.
inline constexpr uint16_t kNoRecordsMessage = 22;
// Hundredths of a second in a day: the clock starts again at midnight.
inline constexpr int32_t kDayHundredths = 8640000;

class ReportManager : public framework::WindowManager {
 public:
  ReportManager();
  ~ReportManager() override;

  // --- Overrides ---

  // With DEFERWINDOW the progress window is hidden (and the wait cursor shown with WAITCURSOR)
  // before the event loop runs.
  Level Ask() override;
  Level Kill() override;
  void SetupWindow() override;
  Level HandleAccepted() override;
  Level HandleCloseEvent() override;
  Level HandleWindowEvent() override;

  // --- Virtual operations added, in order ---

  // When the run completed: the last page is finished and the pages are shown in the preview
  // (or printed at once with SKIPPREVIEW); the pages the user printed or left go.
  virtual void RunPreview();
  // Reads the next record through the process. Proceed; Notified at the end of a run that took
  // records (response completed); Fatal when none was taken or the read failed (response
  // cancelled). Both post the close-window event.
  virtual Level Next();
  // Sets the process going, reads the first record and opens the report.
  virtual Level StartReport();
  // No record at all: message 22, and the run ends.
  virtual void HandleNoRecords();

  // --- Other operations ---

  // `report` and `preview` may be null; none is owned.
  void Init(ProcessManager& process, runtime::Report* report, PrintPreview* preview);
  using framework::WindowManager::Init;

  // --- Fields, in order ---

  bool DEFEROPENREPORT = false;
  uint16_t DEFERWINDOW = 0;  // seconds
  bool KEEPVISIBLE = false;
  bool OPENFAILED = false;
  PrintPreview* PREVIEW = nullptr;  // not owned
  std::unique_ptr<std::vector<std::string>> PREVIEWQUEUE;
  ProcessManager* PROCESS = nullptr;  // not owned
  int32_t RECORDSPERCYCLE = 1;
  int32_t QUERYCONTROL = 0;
  runtime::Report* REPORT = nullptr;  // not owned
  bool SKIPPREVIEW = false;
  int32_t STARTTIME = 0;     // hundredths of a second since midnight
  uint16_t TIMESLICE = 100;  // hundredths of a second
  bool WAITCURSOR = false;
  int16_t ZOOM = 0;

  // The clock the cycle measures with, in hundredths of a second since midnight (the runtime's
  // CLOCK); a test gives one of its own.
  std::function<int32_t()> CLOCKSOURCE;

 protected:
  // Hundredths of a second from `from` to `to` on the clock, across midnight.
  [[nodiscard]] static int32_t Elapsed(int32_t from, int32_t to);
  [[nodiscard]] int32_t Now() const;

 private:
  // Prints the collected pages, or discards them; tells the user when printing failed.
  void FlushCollectedPages(bool print);
  Level Cycle();
};

}  // namespace pellucor::report
