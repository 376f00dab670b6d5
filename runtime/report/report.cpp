#include "runtime/report/report.h"

#include <atomic>
#include <utility>

#include "platform/file.h"

namespace pellucor::runtime {

namespace {

std::atomic<ReportEngine*> report_engine{nullptr};
// Report numbers are never reused, so a stale number never reaches another report's pages.
std::atomic<ReportId> next_report_id{1};

}  // namespace

void SetReportEngine(ReportEngine* engine) {
  report_engine = engine;
}

ReportEngine* GetReportEngine() {
  return report_engine;
}

Report::Report(ReportDescription description) : description_(std::move(description)) {}

Report::~Report() {
  Close();
}

bool Report::Open() {
  ReportEngine* engine = GetReportEngine();
  if (engine == nullptr || IsOpen()) return false;
  const ReportId id = next_report_id++;
  if (!engine->OpenReport(id, description_)) return false;
  id_ = id;
  return true;
}

void Report::Close() {
  if (!IsOpen()) return;
  if (ReportEngine* engine = GetReportEngine()) engine->CloseReport(id_);
  id_ = 0;
}

void Report::SetPageList(std::vector<std::string>* pages) {
  if (ReportEngine* engine = GetReportEngine(); engine != nullptr && IsOpen()) {
    engine->SetPageList(id_, pages);
  }
}

bool Report::Print(int32_t band) {
  ReportEngine* engine = GetReportEngine();
  return engine != nullptr && IsOpen() && engine->PrintBand(id_, band);
}

bool Report::EndPage() {
  ReportEngine* engine = GetReportEngine();
  return engine != nullptr && IsOpen() && engine->EndPage(id_);
}

int32_t Report::PageCount() const {
  ReportEngine* engine = GetReportEngine();
  return engine != nullptr && IsOpen() ? engine->PageCount(id_) : 0;
}

std::string Report::ErrorText() const {
  ReportEngine* engine = GetReportEngine();
  if (engine == nullptr) return "no report engine";
  return engine->ErrorText();
}

FlushResult FlushPages(std::vector<std::string>& pages, bool print, const std::string& title) {
  if (ReportEngine* engine = GetReportEngine()) return engine->FlushPages(pages, print, title);
  DiscardPages(pages);
  return print ? FlushResult::kFailed : FlushResult::kDiscarded;
}

void DiscardPages(std::vector<std::string>& pages) {
  platform::Env* env = platform::Env::Default();
  for (const std::string& page : pages) (void)env->RemoveTemporary(page);
  pages.clear();
}

}  // namespace pellucor::runtime
