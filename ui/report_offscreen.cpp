#include "ui/report_offscreen.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "runtime/event/event.h"
#include "runtime/report/report.h"
#include "ui/ansi_text.h"
#include "ui/qt_engine.h"
#include "ui/report_engine.h"

namespace pellucor::ui {

namespace {

// Qt's notes about the offscreen platform (no raise(), no runtime directory) mean nothing to the
// user of a command-line program; only its real troubles are shown.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}

}  // namespace

int RunOffscreenReports(const OffscreenReports& how, const std::function<int()>& body) {
  // No display is needed, nor looked for.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const QtMessageHandler previous = qInstallMessageHandler(QuietMessages);
  int argc = 1;
  char name[] = "pellucor";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QtEngine engine;
  QtReportEngine reports(engine);
  reports.SetOutputFile(how.pdf);
  engine.SetResponder([&how](QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      if (how.on_message) {
        how.on_message(FromQt(box->windowTitle()).value_or(std::string()),
                       FromQt(box->text()).value_or(std::string()));
      }
      QPushButton* button = box->defaultButton();
      if (button == nullptr) button = box->findChild<QPushButton*>();
      if (button != nullptr) {
        button->click();
      } else {
        box->reject();
      }
    } else if (auto* other = qobject_cast<QDialog*>(dialog)) {
      other->reject();  // nobody is there to answer it
    }
  });
  int status = 0;
  {
    runtime::ProgramScope program(engine);
    runtime::ReportEngineScope report_scope(reports);
    status = body();
  }
  qInstallMessageHandler(previous);
  return status;
}

}  // namespace pellucor::ui
