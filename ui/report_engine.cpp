#include "ui/report_engine.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <utility>

#include <malloc.h>

#include "runtime/report/report.h"
#include "ui/qt_engine.h"
#include "ui/report_canvas.h"
#include "ui/report_layout.h"
#include "ui/report_pages.h"

namespace pellucor::ui {

using runtime::FlushResult;
using runtime::ReportId;

QtReportEngine::QtReportEngine(QtEngine& engine) : engine_(engine) {
  // Every page laid out and printed allocates and frees the same large buffers (its picture, the
  // PDF writer's page stream); by default the C library hands such memory back to the system
  // after each page and takes page faults to get it again for the next. Freed memory up to 64 MB
  // stays in the heap for reuse instead: bounded, and independent of the number of pages.
  (void)mallopt(M_TRIM_THRESHOLD, 64 << 20);
  (void)mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

QtReportEngine::~QtReportEngine() {
  // Pages of reports nobody closed are the program's leftovers: they go with it.
  for (auto& [id, composer] : reports_) runtime::DiscardPages(composer->own_pages());
}

void QtReportEngine::SetOutputFile(std::string path) {
  engine_.RunOnGui([&] { output_file_ = std::move(path); });
}

PageComposer* QtReportEngine::Find(ReportId report) const {
  auto it = reports_.find(report);
  return it == reports_.end() ? nullptr : it->second.get();
}

bool QtReportEngine::OpenReport(ReportId report, const runtime::ReportDescription& description) {
  bool ok = false;
  engine_.RunOnGui([&] {
    if (description.page_width <= 0 || description.page_height <= 0 ||
        description.area.height <= 0 || description.area.width <= 0) {
      error_ = "The report " + description.name + " has no report area";
      return;
    }
    reports_[report] = std::make_unique<PageComposer>(description);
    ok = true;
  });
  return ok;
}

void QtReportEngine::CloseReport(ReportId report) {
  engine_.RunOnGui([&] {
    auto it = reports_.find(report);
    if (it == reports_.end()) return;
    std::unique_ptr<PageComposer> composer = std::move(it->second);
    reports_.erase(it);
    if (!composer->EndPage(&error_)) {
      runtime::DiscardPages(composer->own_pages());
      return;
    }
    // Pages that went to no list are printed now; the files go either way.
    std::vector<std::string>& pages = composer->own_pages();
    if (!pages.empty()) (void)Print(pages, composer->description().title);
    runtime::DiscardPages(pages);
  });
}

void QtReportEngine::SetPageList(ReportId report, std::vector<std::string>* pages) {
  engine_.RunOnGui([&] {
    if (PageComposer* composer = Find(report)) composer->SetPageList(pages);
  });
}

bool QtReportEngine::PrintBand(ReportId report, int32_t band) {
  bool ok = false;
  engine_.RunOnGui([&] {
    PageComposer* composer = Find(report);
    if (composer == nullptr) {
      error_ = "The report is not open";
      return;
    }
    ok = composer->PrintBand(band, &error_);
  });
  return ok;
}

bool QtReportEngine::EndPage(ReportId report) {
  bool ok = false;
  engine_.RunOnGui([&] {
    PageComposer* composer = Find(report);
    if (composer == nullptr) {
      error_ = "The report is not open";
      return;
    }
    ok = composer->EndPage(&error_);
  });
  return ok;
}

int32_t QtReportEngine::PageCount(ReportId report) {
  int32_t count = 0;
  engine_.RunOnGui([&] {
    if (PageComposer* composer = Find(report)) count = composer->pages_finished();
  });
  return count;
}

FlushResult QtReportEngine::FlushPages(std::vector<std::string>& pages, bool print,
                                       const std::string& title) {
  FlushResult result = FlushResult::kDiscarded;
  engine_.RunOnGui([&] {
    if (print && !pages.empty()) result = Print(pages, title);
    runtime::DiscardPages(pages);
  });
  return result;
}

FlushResult QtReportEngine::Print(const std::vector<std::string>& pages, const std::string& title) {
  const QString job = QString::fromLocal8Bit(title.data(), static_cast<qsizetype>(title.size()));
  if (!output_file_.empty()) {
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(
        QString::fromLocal8Bit(output_file_.data(), static_cast<qsizetype>(output_file_.size())));
    return PrintPages(file, pages, job, &error_) ? FlushResult::kPrinted : FlushResult::kFailed;
  }
  QPrinter& printer = engine_.Printer();
  // The setup chose to print to a file, or there is no printer to print on: ask for the file.
  if (printer.outputFormat() == QPrinter::PdfFormat || !printer.isValid()) {
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Print To File..."));
    dialog.setObjectName(QStringLiteral("printToFile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("All files (*)"));
    // The same dialog on every desktop, and one a test can answer.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!printer.outputFileName().isEmpty()) dialog.selectFile(printer.outputFileName());
    engine_.OfferDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return FlushResult::kCancelled;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dialog.selectedFiles().front());
  }
  return PrintPages(printer, pages, job, &error_) ? FlushResult::kPrinted : FlushResult::kFailed;
}

void QtReportEngine::ShowPages(runtime::WindowId window, int32_t control,
                               const runtime::PageView& view) {
  engine_.RunOnGui([&] {
    QWidget* host = engine_.ControlWidget(window, control);
    if (host == nullptr) return;
    auto* canvas =
        host->findChild<PageCanvas*>(QStringLiteral("pageCanvas"), Qt::FindDirectChildrenOnly);
    if (canvas == nullptr) {
      if (view.pages.empty()) return;
      auto* layout = new QVBoxLayout(host);
      layout->setContentsMargins(0, 0, 0, 0);
      canvas = new PageCanvas(host);
      layout->addWidget(canvas);
      canvas->show();
    }
    canvas->SetView(view);
  });
}

std::string QtReportEngine::ErrorText() {
  std::string text;
  engine_.RunOnGui([&] { text = error_; });
  return text;
}

}  // namespace pellucor::ui
