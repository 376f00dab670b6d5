#include "app/procedures/program.h"

#include <algorithm>
#include <cstdio>

#include "app/note_store.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "runtime/event/engine.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/locale/picture.h"

namespace pellucor::app {

namespace {

Program* the_program = nullptr;

// The runtime's own version, which the program's must suit.
constexpr int kRuntimeMajor = 5;
constexpr int kRuntimeMinor = 2;
constexpr int kRuntimeRelease = 0;

std::string Printf(const char* format, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

void Configure(framework::FileManager& file, data::FileDecl& decl,
               framework::ErrorManager& errors) {
  file.Init(decl, errors);
  file.OPENMODE = kNoteTableSettings.open_mode;
  file.CREATE = kNoteTableSettings.create != 0;
  file.LOCKRECOVER = static_cast<int16_t>(kNoteTableSettings.lock_recover);
}

}  // namespace

void SNotesFile::BindFields() {
  AddKey(FILE->Key(0), "sno:SNOT");
  AddKey(FILE->Key(1), "sno:allnotes");
  AddKey(FILE->Key(2), "sno:Donyet");
}

void ArcnotesFile::BindFields() {
  AddKey(FILE->Key(0), "arc:SNOT");
  AddKey(FILE->Key(1), "arc:allnotes");
}

Program& TheProgram() {
  return *the_program;
}

void FillVersion(VersionInfo& version) {
  version.build = 372;
  version.version = 3.0;
  version.build_date = runtime::FORMAT(runtime::FormatValue::Integer(73466), "@D2");
  version.name = "pelkit";
  version.set = true;
}

bool CheckVersion(uint16_t word, uint8_t minor, uint8_t release) {
  word &= 0x7FFF;
  if (word == kProgramVersionWord && minor <= kProgramMinor) return true;
  std::string text;
  if ((word & 0x100) != 0) {
    text = Printf(
        "This program or a component DLL requires V5RUN%s version %d.%03d.%02d or later\r\n"
        "This version is %d.%03d.%02d",
        "X", word & 0xF, minor, release, kRuntimeMajor, kRuntimeMinor, kRuntimeRelease);
  } else {
    text = Printf(
        "This program or a component DLL was built using the beta release of Velmora 5\r\n"
        "It will not operate correctly with this copy of V5RUN%s\r\n"
        "Please obtain a new version of this program",
        "X");
  }
  (void)runtime::MESSAGE(text, "Velmora 5 Runtime Library", runtime::MessageIcon::kError,
                         runtime::button::kOk);
  return false;
}

void RunInitialisers(const Module& module) {
  for (int priority = 255; priority >= 1; --priority) {
    for (const ModuleRoutine& r : module.initialisers) {
      if (r.priority == priority && r.routine) r.routine(0);
    }
  }
}

void RunFinalisers(const Module& module) {
  for (int priority = 0; priority <= 255; ++priority) {
    for (auto it = module.finalisers.rbegin(); it != module.finalisers.rend(); ++it) {
      if (it->priority == priority && it->routine) it->routine(1);
    }
  }
}

int RunProgram(ProgramRun run) {
  Program program;
  // The globals are cleared and the note tables declared by the module's first initialiser;
  // released by its last finaliser.
  run.module.initialisers.insert(
      run.module.initialisers.begin(),
      ModuleRoutine{255, [&](int32_t) {
                      program.snotes_decl = MakeSNotes(&data::KestruneDriverInstance());
                      program.arcnotes_decl = MakeArcnotes(&data::KestruneDriverInstance());
                      the_program = &program;
                    }});
  run.module.finalisers.insert(run.module.finalisers.begin(),
                               ModuleRoutine{0, [&](int32_t) { the_program = nullptr; }});
  RunInitialisers(run.module);
  if (CheckVersion(run.version_word, run.minor, run.release)) {
    // The engine is the caller's; the help set is bundled, selected by each window's identifier.
    program.errors.Init();
    program.ini.Init(kSettingsFile);
    Configure(program.snotes, *program.snotes_decl, program.errors);
    program.snotes_relations.Init(program.snotes);
    Configure(program.arcnotes, *program.arcnotes_decl, program.errors);
    program.arcnotes_relations.Init(program.arcnotes);
    if (run.main) run.main();
    program.ini.Kill();
    program.snotes_relations.Kill();
    program.arcnotes_relations.Kill();
    program.errors.Kill();
  }
  runtime::WaitForOtherThreads();
  RunFinalisers(run.module);
  return 0;
}

}  // namespace pellucor::app
