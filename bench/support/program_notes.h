// Fills the notes table of the program's data file in the current directory with `count`
// generated notes (seed 42), through the program's own start-up and tables. Call it with a window
// engine in place; 0 when every note was stored.
#pragma once

#include <cstdio>
#include <utility>

#include "app/procedures/program.h"
#include "bench/support/note_data.h"
#include "data/driver/driver.h"
#include "framework/error/level.h"
#include "runtime/core/error_state.h"

namespace pellucor::bench {

inline int StoreGeneratedNotes(int count) {
  int status = 0;
  app::ProgramRun run;
  run.main = [&] {
    app::Program& program = app::TheProgram();
    if (program.snotes_relations.Open() != framework::Level::Proceed) {
      status = 1;
      return;
    }
    data::FileDecl& file = *program.snotes_decl;
    (void)data::Dispatch(file, data::Op::kSTREAM);
    NoteGenerator gen(42);
    for (int i = 0; i < count; ++i) {
      Note n = gen.Next();
      n.reminder = 'N';  // notes of the notes table; the archive flag is for the archive
      FillNoteRecord(file.RecordBuffer(), n);
      if (data::Dispatch(file, data::Op::kADD).error != 0) {
        std::fprintf(stderr, "ADD failed: %s\n", runtime::ErrorText().c_str());
        status = 1;
        break;
      }
    }
    (void)data::Dispatch(file, data::Op::kFLUSH);
    (void)program.snotes_relations.Close();
  };
  (void)app::RunProgram(std::move(run));
  return status;
}

}  // namespace pellucor::bench
