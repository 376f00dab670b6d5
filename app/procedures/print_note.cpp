#include "app/procedures/print_note.h"

#include "app/procedures/print_note_report.h"
#include "app/windows/note_reports.h"

namespace pellucor::app {

uint8_t printnote() {
  Program& program = TheProgram();
  NoteReportSetup setup;
  setup.name = "printnote";
  setup.module = "pelkit$PELKI013";
  setup.table = &program.snotes_relations;
  setup.key = "SNO:SNOT";
  setup.describe = &DescribePrintNoteReport;
  setup.range_on_topic = true;
  return NoteReport(std::move(setup)).RunReport();
}

uint8_t printnote1() {
  Program& program = TheProgram();
  NoteReportSetup setup;
  setup.name = "printnote1";
  setup.module = "pelkit$PELKI006";
  setup.table = &program.arcnotes_relations;
  setup.key = "ARC:SNOT";
  setup.describe = &DescribeArchivedNoteReport;
  setup.range_on_topic = true;
  return NoteReport(std::move(setup)).RunReport();
}

}  // namespace pellucor::app
