#include "ui/report_pages.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <filesystem>
#include <system_error>

namespace pellucor::ui {

namespace {

constexpr int32_t kLetterWidth = 8500;
constexpr int32_t kLetterHeight = 11000;

QString PathOf(const std::string& path) {
  return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}

}  // namespace

bool LoadPage(const std::string& path, QPicture* page) {
  return QFile::exists(PathOf(path)) && page->load(PathOf(path)) && !page->isNull();
}

QSize PaperOf(const QPicture& page) {
  const QRect r = page.boundingRect();
  if (r.width() <= 0 || r.height() <= 0) return {kLetterWidth, kLetterHeight};
  return {r.right() + 1, r.bottom() + 1};
}

void PlayPage(QPainter& painter, const QPicture& page, qreal scale) {
  const QPaintDevice* device = painter.device();
  const qreal sx = scale * page.logicalDpiX() / device->logicalDpiX();
  const qreal sy = scale * page.logicalDpiY() / device->logicalDpiY();
  painter.save();
  painter.scale(sx, sy);
  painter.drawPicture(0, 0, page);
  painter.restore();
}

bool PrintPages(QPrinter& printer, const std::vector<std::string>& pages, const QString& title,
                std::string* error) {
  if (pages.empty()) return true;
  QPicture first;
  if (!LoadPage(pages.front(), &first)) {
    *error = "The page file " + pages.front() + " cannot be read";
    return false;
  }
  const bool to_file = printer.outputFormat() == QPrinter::PdfFormat;
  const QString final_name = printer.outputFileName();
  if (to_file) {
    if (final_name.isEmpty()) {
      *error = "No file was named to print to";
      return false;
    }
    // A file gets the paper the report was laid out on.
    const QSize paper = PaperOf(first);
    printer.setPageLayout(QPageLayout(
        QPageSize(QSizeF(paper.width() / 1000.0, paper.height() / 1000.0), QPageSize::Inch),
        QPageLayout::Portrait, QMarginsF()));
    printer.setOutputFileName(final_name + QStringLiteral(".part"));
  }
  printer.setDocName(title);
  printer.setFullPage(true);  // page units count from the paper's corner
  bool ok = true;
  {
    QPainter painter;
    if (!painter.begin(&printer)) {
      *error = to_file ? "The file " + final_name.toStdString() + " cannot be written"
                       : "The printer " + printer.printerName().toStdString() + " cannot be used";
      ok = false;
    } else {
      const qreal scale = printer.resolution() / 1000.0;
      for (size_t i = 0; ok && i < pages.size(); ++i) {
        QPicture page;
        if (i == 0) {
          page = first;
        } else if (!LoadPage(pages[i], &page)) {
          *error = "The page file " + pages[i] + " cannot be read";
          ok = false;
          break;
        } else if (!printer.newPage()) {
          *error = "The printer refused page " + std::to_string(i + 1);
          ok = false;
          break;
        }
        PlayPage(painter, page, scale);
      }
      if (!painter.end()) ok = false;
    }
  }
  if (to_file) {
    const QString part = final_name + QStringLiteral(".part");
    printer.setOutputFileName(final_name);
    if (ok) {
      std::error_code failed;
      std::filesystem::rename(QFile::encodeName(part).toStdString(),
                              QFile::encodeName(final_name).toStdString(), failed);
      if (failed) {
        *error = "The file " + final_name.toStdString() + " cannot be written";
        ok = false;
      }
    }
    if (!ok) {
      QFile::remove(part);
      if (error->empty()) *error = "The file " + final_name.toStdString() + " cannot be written";
    }
  } else if (!ok && error->empty()) {
    *error = "The printer " + printer.printerName().toStdString() + " failed";
  }
  return ok;
}

}  // namespace pellucor::ui
