// The report engine over Qt: pages laid out with QPainter into pictures saved as page files
// ("VEL" files in the temporary directory), printed on the printer the user chose with the
// printer setup, and drawn for the preview. It shares the window engine's GUI thread, printer and
// responder:
//
//   pellucor::ui::QtEngine engine;
//   pellucor::ui::QtReportEngine reports(engine);
//   pellucor::runtime::ProgramScope program(engine);
//   pellucor::runtime::ReportEngineScope report_scope(reports);
//
// Print to file: when the printer setup chose to print to a file (or no printer exists), printing
// asks for the file with a save dialog titled "Print To File..." and writes PDF. A program that
// prints without a person (pellucor-cli) names the file with SetOutputFile instead.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "runtime/report/report_engine.h"

namespace pellucor::ui {

class PageComposer;
class QtEngine;

class QtReportEngine : public runtime::ReportEngine {
 public:
  explicit QtReportEngine(QtEngine& engine);
  ~QtReportEngine() override;
  QtReportEngine(const QtReportEngine&) = delete;
  QtReportEngine& operator=(const QtReportEngine&) = delete;

  // Printing writes this PDF file without asking; empty: the printer the user chose.
  void SetOutputFile(std::string path);

  bool OpenReport(runtime::ReportId report, const runtime::ReportDescription& description) override;
  void CloseReport(runtime::ReportId report) override;
  void SetPageList(runtime::ReportId report, std::vector<std::string>* pages) override;
  bool PrintBand(runtime::ReportId report, int32_t band) override;
  bool EndPage(runtime::ReportId report) override;
  int32_t PageCount(runtime::ReportId report) override;
  runtime::FlushResult FlushPages(std::vector<std::string>& pages, bool print,
                                  const std::string& title) override;
  void ShowPages(runtime::WindowId window, int32_t control, const runtime::PageView& view) override;
  std::string ErrorText() override;

 private:
  // GUI thread.
  runtime::FlushResult Print(const std::vector<std::string>& pages, const std::string& title);
  [[nodiscard]] PageComposer* Find(runtime::ReportId report) const;

  QtEngine& engine_;
  std::map<runtime::ReportId, std::unique_ptr<PageComposer>> reports_;  // GUI thread
  std::string output_file_;
  std::string error_;
};

}  // namespace pellucor::ui
