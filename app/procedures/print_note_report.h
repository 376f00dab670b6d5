// What the three note reports share: a report procedure over one note table in `SNOT` order,
// with its progress window, a string step manager on the archive flag, the report and the print
// preview, and the hooks that apply the captured query text. print_note.cpp and multi_note.cpp
// give each report its table, layout and range.
#pragma once

#include <cstdint>
#include <string>

#include "app/procedures/program.h"
#include "data/view/view.h"
#include "framework/browse/step_manager.h"
#include "report/print_preview.h"
#include "report/process_manager.h"
#include "report/report_manager.h"
#include "runtime/event/window.h"
#include "runtime/report/report.h"

namespace pellucor::app {

struct NoteReportSetup {
  std::string name;    // the procedure's name: its error-manager name and settings section
  std::string module;  // "pelkit$PELKI013"
  framework::RelationManager* table = nullptr;  // not owned: the table the report reads
  std::string key;                              // "SNO:SNOT"
  runtime::ReportDescription (*describe)(uint8_t* record) = nullptr;
  // printnote and printnote1: called with the process request, the report holds only the notes
  // whose archive flag, reminder date and topic equal the buffer's, with the progress window kept
  // hidden.
  bool range_on_topic = false;
  bool skip_preview = false;
  bool hide_progress = false;
  bool remember_window = true;
};

class NoteReport : public report::ReportManager {
 public:
  explicit NoteReport(NoteReportSetup setup);
  ~NoteReport() override;

  framework::Level Init() override;
  framework::Level Kill() override;
  void SetupWindow() override;
  framework::Level Next() override;
  framework::Level HandleCloseEvent() override;

  // Runs the procedure and leaves its response in the program's globals.
  uint8_t RunReport();

 private:
  class Process : public report::ProcessManager {
   public:
    explicit Process(NoteReport& owner) : owner_(owner) {}
    framework::Level HandleRecord() override;
    // A query text the view refuses (message 40) is dropped; the range stays.
    framework::Level ApplyFilter() override;

   private:
    NoteReport& owner_;
  };

  [[nodiscard]] runtime::AnyRef Field(uint32_t offset, uint32_t size, runtime::TypeCode type) const;
  void RememberWindow();

  NoteReportSetup setup_;
  Program& program_;
  uint8_t* record_;  // the table's record buffer on this thread
  uint8_t percent_ = 0;
  runtime::Window window_;
  data::view::View view_;
  runtime::Report report_;
  framework::StringStepManager step_;
  Process process_;
  report::PrintPreview preview_;
  bool name_pushed_ = false;
  bool files_open_ = false;
  bool window_opened_ = false;
  bool window_remembered_ = false;
};

}  // namespace pellucor::app
