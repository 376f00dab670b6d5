// Reports as procedures use them: a Report is the program's report variable, opened from its
// description through the process's report engine, and the statements on it.
//
//   Report report(NotesReport(&notes_buffer));
//   std::vector<std::string> pages;
//   report.Open();
//   report.SetPageList(&pages);       // collect the pages for the preview
//   while (...) report.Print(1);      // the detail band
//   report.EndPage();
//   report.Close();
//   FlushPages(pages, user_said_print, "Notes");
//
// REQUIRES: the caller holds the run lock (event.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/report/report_description.h"
#include "runtime/report/report_engine.h"

namespace pellucor::runtime {

// The process's report engine. REQUIRES: it outlives every report.
void SetReportEngine(ReportEngine* engine);
[[nodiscard]] ReportEngine* GetReportEngine();

class ReportEngineScope {
 public:
  explicit ReportEngineScope(ReportEngine& engine) : previous_(GetReportEngine()) {
    SetReportEngine(&engine);
  }
  ~ReportEngineScope() { SetReportEngine(previous_); }
  ReportEngineScope(const ReportEngineScope&) = delete;
  ReportEngineScope& operator=(const ReportEngineScope&) = delete;

 private:
  ReportEngine* previous_;
};

class Report {
 public:
  explicit Report(ReportDescription description);
  ~Report();  // closes the report when still open
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  // Bind variables (ReportControl::use) here before Open.
  [[nodiscard]] ReportDescription& description() { return description_; }

  // False when there is no report engine or it could not make the report; ErrorText says why.
  [[nodiscard]] bool Open();
  void Close();
  [[nodiscard]] bool IsOpen() const { return id_ != 0; }
  // Collect the finished pages into `pages` instead of printing them (null: print them).
  void SetPageList(std::vector<std::string>* pages);
  // PRINT of detail band `band` (from 1).
  [[nodiscard]] bool Print(int32_t band);
  // ENDPAGE: the started page is finished.
  [[nodiscard]] bool EndPage();
  [[nodiscard]] int32_t PageCount() const;
  [[nodiscard]] std::string ErrorText() const;

 private:
  ReportDescription description_;
  ReportId id_ = 0;
};

// Prints the collected page files in order (or discards them); removes them and empties the list
// either way. Without a report engine the files are only removed.
[[nodiscard]] FlushResult FlushPages(std::vector<std::string>& pages, bool print,
                                     const std::string& title);
// Removes page files without printing them (no engine needed); empties the list.
void DiscardPages(std::vector<std::string>& pages);

}  // namespace pellucor::runtime
