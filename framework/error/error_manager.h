// The error manager: the one place where the framework turns a numbered condition into a message
// for the user and into a Level that tells the caller how to go on. Framework objects hold a
// pointer to the application's single manager and raise conditions by number; they never build
// message boxes themselves.
//
// The manager keeps a table of messages (number, severity, title, text with "%" placeholders),
// fills the placeholders from the context the caller set (file name, field name, extra text, the
// runtime's error state saved at raising, the running procedure's name) and then acts by the
// message's severity: nothing, a Yes/No question, an OK notice, or the fatal stop.
//
// Message boxes go through the runtime's MESSAGE, so the manager works against any window engine.
//
// Threads: one manager serves every program thread; nothing is locked because the run lock lets
// one thread at a time run program code. REQUIRES: callers hold the run lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/error/level.h"

namespace pellucor::framework {

// The runtime's code for a driver-specific failure: "%ErrorText" then shows the driver's own text.
inline constexpr int32_t kDriverErrorCode = 90;
// A substituted message text never grows beyond this many characters.
inline constexpr size_t kMaxMessageText = 2000;
// FIELDNAME, FILENAME, MESSAGETEXT and the saved error texts hold at most this many bytes.
inline constexpr size_t kMaxContextText = 255;
// The fatal stop ends the process with this exit code: a program stopped by a fatal condition
// must not tell its caller that it ended well.
inline constexpr int32_t kFatalExitCode = 1;
// The text the fatal stop appends to the message (two leading spaces).
inline constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

// One row of the message table. TITLE and MESSAGE point into the message block the row was
// loaded from, which must stay alive as long as the manager holds the row.
struct ErrorEntry {
  uint16_t ID = 0;
  std::string_view MESSAGE;
  std::string_view TITLE;
  Level FATALITY = Level::Proceed;  // the severity; values above 5 are kept as they were loaded
};

// One row of the procedure-name stack.
struct ProcedureName {
  int32_t thread = 0;  // the program thread (runtime THREAD()) that pushed the name
  std::string name;
};

class ErrorManager {
 public:
  ErrorManager() = default;
  virtual ~ErrorManager() = default;
  ErrorManager(const ErrorManager&) = delete;
  ErrorManager& operator=(const ErrorManager&) = delete;

  // --- Virtual operations, in the order of the class's operation table ---

  // Appends every entry of a message block to ERRORS, in block order; nothing is sorted and
  // duplicate numbers stay (a later entry overrides an earlier one with the same number). The
  // block's layout is in standard_messages.h. REQUIRES: `block` outlives the manager. Returns
  // false when the block ends inside an entry: the complete entries before it are loaded, the
  // broken one and anything after it are not.
  virtual bool LoadMessages(const uint8_t* block, size_t length);
  // Severity 0: shows nothing. Returns Proceed.
  virtual Level OnProceed();
  // Severity 3: a box with the message, "  Press OK to end this application", the entry's title,
  // the information icon and OK; then the runtime's halt with the title as the halt text.
  // Returns Fatal only when the halt returns (it does not in a running program).
  virtual Level OnFatal();
  // Severity 5: an OK notice with the information icon. Returns Notified.
  virtual Level OnNotify();
  // Severities 6 and above: handled as a program error. Returns Fatal.
  virtual Level OnOther();
  // Severity 2: handled as fatal. Returns Fatal.
  virtual Level OnProgramError();
  // Severities 1 and 4: a Yes/No question, default Yes, exclamation icon. Returns Proceed for
  // Yes, Cancelled otherwise.
  virtual Level OnAskUser();

  // --- Other operations ---

  // Creates ERRORS, loads the framework's standard block through LoadMessages, creates PROCNAMES.
  void Init();
  // Disposes of both tables.
  void Kill();

  // The texts for "%Field" and "%File", cut to 255 bytes. They keep their value until set again.
  void SetField(std::string_view name);
  void SetFile(std::string_view name);
  // Copies the runtime's error code, error text, driver error code and driver error text into
  // SAVEERRORCODE, SAVEERROR, SAVEFILEERRORCODE and SAVEFILEERROR.
  void SaveErrors();
  // SaveErrors, then Dispatch(id).
  Level Raise(uint16_t id);
  // Stores `text` (cut to 255 bytes) for "%Message", then Raise(id).
  Level RaiseMessage(uint16_t id, std::string_view text);
  // Selects the entry and calls the handler for its severity. A number with no entry is shown as
  // a notice that names the number (never as whatever message was selected before) and returns
  // Notified.
  Level Dispatch(uint16_t id);
  // Selects the entry, substitutes, and shows the text in a box with the entry's title, the
  // exclamation icon, the button set `buttons` (the runtime's codes, summed) and the default
  // button; returns the button pressed. A number with no entry asks nothing and returns 0.
  int32_t Ask(uint16_t id, int32_t buttons, int32_t default_button);
  // Pushes (calling thread, name) onto PROCNAMES.
  void PushProcedure(std::string_view name);
  // Pops the calling thread's latest name, if it has one; other threads' names stay.
  void PopProcedure();
  // Positions ERRORS on the last row with that number: Proceed when found, Notified when not (the
  // position is then left where it was).
  Level SelectMessage(uint16_t id);
  // The selected entry's text with its placeholders replaced, at most 2,000 characters. Empty
  // when no entry is selected.
  std::string Substitute();

  // The selected entry, or nullptr when none is.
  [[nodiscard]] const ErrorEntry* SelectedEntry() const;
  // The calling thread's current procedure name ("%Procedure"), empty when it has none.
  [[nodiscard]] std::string CurrentProcedure() const;

  // --- Fields, in order ---

  std::vector<ErrorEntry> ERRORS;  // every loaded message, in load order
  std::string FIELDNAME;           // "%Field"
  std::string FILENAME;            // "%File"
  std::string MESSAGETEXT;         // "%Message"
  std::vector<ProcedureName> PROCNAMES;
  std::string SAVEERROR;          // the runtime's error text when raised
  int32_t SAVEERRORCODE = 0;      // the runtime's error code when raised
  std::string SAVEFILEERROR;      // the driver's own error text
  std::string SAVEFILEERRORCODE;  // the driver's own error code, as text

 private:
  // The text of row `row` (or `text` for the stand-in) with every placeholder replaced;
  // "%Previous" brings in the earlier row with the same number, itself substituted.
  [[nodiscard]] std::string Expand(std::string_view text, size_t row) const;

  static constexpr size_t kNone = static_cast<size_t>(-1);
  static constexpr size_t kUnknown = kNone - 1;
  // The row ERRORS stands on: an index into ERRORS, kUnknown while the stand-in notice for a
  // number without an entry is selected, kNone for none.
  size_t selected_ = kNone;
  std::string unknown_text_;  // the stand-in notice's text, which names the missing number
  ErrorEntry unknown_entry_;
};

}  // namespace pellucor::framework
