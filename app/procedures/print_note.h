// The note reports: printnote prints the highlighted note of the notes window, printnote1 the
// highlighted archived note of the archive browse, MultiNote every note of the query the notes
// window captured. Each reads its table through a progress window and then shows the pages in
// the print preview, from which the user prints them (or a PDF file, through the printer setup's
// print to file).
//
// What they read of the program's globals (TheProgram()):
//   request     printnote and printnote1: kProcessRequest limits the report to the notes whose
//               archive flag, reminder date and topic equal those of the note in the table's
//               record buffer (the highlighted one); it is cleared as the procedure starts.
//   query_text  every note report prints only the notes that satisfy it (empty: all).
//   the record buffer of the notes table (printnote) or of the archive table (printnote1), on
//               the calling thread.
// Each leaves its response in TheProgram().response and returns it: 1 when the run completed (the
// preview was shown, whether or not the user printed), 2 when it was cancelled or found no note.
#pragma once

#include <cstdint>

#include "framework/window/window_manager.h"

namespace pellucor::app {

// The request a browse leaves for a report it runs on its highlighted record.
inline constexpr uint8_t kProcessRequest = framework::request::kProcess;

[[nodiscard]] uint8_t printnote();
[[nodiscard]] uint8_t printnote1();
[[nodiscard]] uint8_t MultiNote();

// MultiNote for a program without a person at the screen (pellucor-cli pdf): the progress window
// stays hidden, the pages go to the printer (the report engine's output file) without a preview,
// and the settings file is left alone.
struct UnattendedReport {
  bool skip_preview = true;
  bool hide_progress = true;
  bool remember_window = false;
};
[[nodiscard]] uint8_t MultiNote(const UnattendedReport& how);

}  // namespace pellucor::app
