// Shared by the note report tests: the program's globals and tables in a scratch data directory,
// the real window and report engines offscreen with printing going to a PDF file, and a responder
// that records every message box's text and presses its default button.
#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/procedures/program.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/report_test_util.h"

namespace pellucor::app::testing {

class NoteProgramTest : public ui::testing::ReportUiTest {
 protected:
  NoteProgramTest() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box == nullptr) return;
      boxes_.push_back(box->text().toStdString());
      if (QPushButton* b = box->defaultButton()) b->click();
    });
    reports_.SetOutputFile(pdf_);
  }

  // Runs `body` as the program's Main would run.
  static void RunAsProgram(const std::function<void()>& body) {
    ProgramRun run;
    run.main = body;
    EXPECT_EQ(RunProgram(std::move(run)), 0);
  }

  testsupport::ScratchCwd cwd_;
  std::string pdf_ = tmp_.path() + "/notes.pdf";
  std::vector<std::string> boxes_;
};

}  // namespace pellucor::app::testing
