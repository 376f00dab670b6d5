// The desktop program's global objects and its road from start to end: start-up in its fixed
// order (module initialisers by priority, the version check, the engine, help, the error and INI
// managers, the note files), the `Main` procedure, and the orderly shutdown (step by step back,
// then the module's finalisers), ending with exit code 0 however `Main` was closed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "framework/ini/ini_manager.h"

namespace pellucor::app {

// The settings file in the data directory.
inline constexpr std::string_view kSettingsFile = "KNB4.INI";
// The help set the windows' help identifiers select pages of.
inline constexpr std::string_view kHelpFile = "notes.hlp";
// The application icon every window of the program carries.
inline constexpr std::string_view kAppIcon = "~pelkin.ico";

// The notes table's manager: its three keys in the note store's order.
class SNotesFile : public framework::FileManager {
 public:
  void BindFields() override;
};
// The archive table's manager: its two keys.
class ArcnotesFile : public framework::FileManager {
 public:
  void BindFields() override;
};

// The version information the About window shows; filled only when it asks (FillVersion).
struct VersionInfo {
  bool set = false;
  int32_t build = 0;
  double version = 0;
  std::string build_date;  // STRING(10)
  std::string name;        // STRING(30)
};

// The program's global objects, from start-up to shutdown.
struct Program {
  framework::ErrorManager errors;
  framework::IniManager ini;
  uint8_t request = 0;   // left by a caller for the next procedure it runs
  uint8_t response = 0;  // left by a procedure for its caller
  int32_t vcr_request = 0;
  std::string query_text;  // the filter last taken from the main browse, for the note reports
  std::unique_ptr<data::FileDecl> snotes_decl;
  std::unique_ptr<data::FileDecl> arcnotes_decl;
  SNotesFile snotes;
  framework::RelationManager snotes_relations;
  ArcnotesFile arcnotes;
  framework::RelationManager arcnotes_relations;
  VersionInfo version;
};

// The running program's globals. REQUIRES: between StartUp and ShutDown.
[[nodiscard]] Program& TheProgram();

// Fills the version information (build 372, version 3.0, the build date, "pelkit").
void FillVersion(VersionInfo& version);

// The version check between the program and its runtime. The program's word (its top bit masked
// off) must be 0x105 and its minor number at most 2; otherwise a message box with the error icon
// says why and the check fails.
inline constexpr uint16_t kProgramVersionWord = 0x105;
inline constexpr uint8_t kProgramMinor = 2;
inline constexpr uint8_t kProgramRelease = 0;
[[nodiscard]] bool CheckVersion(uint16_t word, uint8_t minor, uint8_t release);

// A module initialiser or finaliser with its priority (1 to 255 for initialisers, from 0 for
// finalisers). Initialisers run highest priority first, in table order within a priority;
// finalisers from priority 0 upward, walking the table from its end, each with the argument 1.
struct ModuleRoutine {
  uint8_t priority = 1;
  std::function<void(int32_t)> routine;
};
struct Module {
  std::vector<ModuleRoutine> initialisers;
  std::vector<ModuleRoutine> finalisers;
};
void RunInitialisers(const Module& module);
void RunFinalisers(const Module& module);

// What the program runs between start-up and shutdown, and the version words it passes (tests
// pass other words).
struct ProgramRun {
  std::function<void()> main;  // the Main procedure
  uint16_t version_word = kProgramVersionWord;
  uint8_t minor = kProgramMinor;
  uint8_t release = kProgramRelease;
  Module module;  // the program's own module; the globals' set-up is added to it
};

// Start-up, `main`, shutdown. The engine has been started by the caller (BeginProgram). Returns
// the process's exit code: 0, also when the version check failed and nothing ran.
int RunProgram(ProgramRun run);

}  // namespace pellucor::app
