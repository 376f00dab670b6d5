#include "app/procedures/print_note.h"
#include "app/procedures/print_note_report.h"
#include "app/windows/note_reports.h"

namespace pellucor::app {

namespace {

NoteReportSetup MultiNoteSetup() {
  NoteReportSetup setup;
  setup.name = "MultiNote";
  setup.module = "pelkit$PELKI015";
  setup.table = &TheProgram().snotes_relations;
  setup.key = "SNO:SNOT";
  setup.describe = &DescribeMultiNoteReport;
  return setup;
}

}  // namespace

uint8_t MultiNote() {
  return NoteReport(MultiNoteSetup()).RunReport();
}

uint8_t MultiNote(const UnattendedReport& how) {
  NoteReportSetup setup = MultiNoteSetup();
  setup.skip_preview = how.skip_preview;
  setup.hide_progress = how.hide_progress;
  setup.remember_window = how.remember_window;
  return NoteReport(std::move(setup)).RunReport();
}

}  // namespace pellucor::app
