// The window manager: every interactive procedure is a class derived from it. It runs the
// procedure's life (Init, the event loop in Ask, Kill), hands every event of the window to a fixed
// family of handlers and to the browses and file-drop lists the procedure registered, and carries
// out the record-form protocol: a form is called with a request (insert, change, delete), prepares
// the record, decides on close whether changes must be saved or may be lost, writes the record
// through its primary file's relation manager and returns a response to its caller.
//
// A procedure overrides a few operations (typically Init, Kill, HandleAccepted, FillNewRecord)
// and calls the base from its override:
//
//   class NoteForm : public WindowManager {
//     Level Init() override {
//       if (Level l = WindowManager::Init(); l != Level::Proceed) return l;
//       ERRORS->PushProcedure("NoteForm");  notes.Open();  window_.Open();
//       PRIMARY = &notes;  OKCONTROL = 20;  FIRSTFIELD = 4;
//       return PrepareRequest();
//     }
//     Level Kill() override { ... WindowManager::Kill(); notes.Close(); ERRORS->PopProcedure(); }
//   };
//   NoteForm form;  form.REQUEST = request::kInsert;  uint8_t response = form.Run();
//
// Threads: a window manager belongs to the thread that runs its procedure; nothing is shared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/error/level.h"
#include "framework/window/window_parts.h"
#include "runtime/values/accessor.h"

namespace pellucor::framework {

class ErrorManager;
class FileManager;
class RelationManager;
class WindowResizer;

// REQUEST and ORIGINALREQUEST: what a form was called to do; anything else (0) is not a form.
namespace request {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kInsert = 1;
inline constexpr uint8_t kChange = 2;
inline constexpr uint8_t kDelete = 3;
// What a browse's print button leaves for the report it runs: work on the highlighted record.
inline constexpr uint8_t kProcess = 4;
}  // namespace request

// RESPONSE: what the procedure answers its caller.
namespace response {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kCompleted = 1;
inline constexpr uint8_t kCancelled = 2;
}  // namespace response

// The toolbar's history button: it recalls the focused control's ditto value.
inline constexpr int32_t kToolbarHistoryButton = 2011;

// A button that ends the window with a response when it is accepted (BUTTONS).
struct ButtonResponse {
  int32_t control = 0;
  uint8_t response = 0;
};

// A file whose buffer the form saves at the start and restores on insert-another (FILES).
struct FileBuffer {
  FileManager* file = nullptr;  // not owned
  uint16_t saved = 0;           // the id of its saved copy, 0 while none is saved
};

// A control that keeps a "ditto" value: the value its field had when a record was last saved
// (HISTORY).
struct HistoryRow {
  int32_t control = 0;
  runtime::AnyRef field;  // the variable the control shows
  std::string saved;      // the field's bytes as last saved; empty until then
};

class WindowManager {
 public:
  WindowManager() = default;
  virtual ~WindowManager() = default;
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // --- Virtual operations, in the order of the class's operation table ---

  // The event loop: each event goes to HandleEvent. Fatal ends the loop (the procedure then
  // closes its window), Notified skips the runtime's default action for the event, Proceed lets
  // it happen. Ends when the window closes. A dead window is not run again.
  virtual Level Ask();
  // The base part of every procedure's Init (see above).
  virtual Level Init();
  // The base part of every procedure's Kill: lets go of every registered part and saved buffer.
  // Notified when already dead.
  virtual Level Kill();
  // Translates the window's texts, resets it and marks it set up.
  virtual void SetupWindow();
  // Fills in the defaults of a new record; may set RESPONSE to cancelled to refuse the insert.
  virtual void FillNewRecord();
  // Prepares a form for REQUEST once its window is open. Fatal: the form ends without being shown
  // (it refused the insert, or it was a delete that is already done).
  virtual Level PrepareRequest();
  // Resets every browse and file-drop list, then redisplays the window.
  virtual void Reset(bool force);
  // Copies `control`'s ditto value back into its field and redisplays it.
  virtual void RecallDitto(int32_t control);
  // Init; Ask when Init proceeded; Kill. Returns RESPONSE (cancelled when still none).
  virtual uint8_t Run();
  // Runs procedure `number` with `request` (a browse calls its form through this). The base has
  // no procedures to run: cancelled.
  virtual uint8_t RunProcedure(uint16_t number, uint8_t request);
  virtual void RegisterAlertKeys();
  // Ends the window with `response`.
  virtual void FinishWith(uint8_t response);
  virtual Level HandleAccepted();
  virtual Level HandleCompleted();
  // Proceed lets the window close; Notified keeps it open.
  virtual Level HandleCloseEvent();
  virtual Level HandleEvent();
  virtual Level HandleFieldEvent();
  virtual Level HandleNewSelection();
  virtual Level HandleRejected();
  virtual Level HandleSelected();
  virtual Level HandleWindowEvent();
  virtual void UpdateBrowses();

  // --- Registration (during Init) ---

  void AddBrowse(WindowPart& browse) { BROWSES.push_back(&browse); }
  void AddFileDrop(WindowPart& list) { FILEDROPS.push_back(&list); }
  void AddButton(int32_t control, uint8_t response) { BUTTONS.push_back({control, response}); }
  // A file whose buffer PrepareRequest saves and insert-another restores.
  void AddFile(FileManager& file) { FILES.push_back({&file, 0}); }
  void AddHistory(int32_t control, runtime::AnyRef field);

  // --- Fields, in order ---

  bool AUTOREFRESH = true;
  bool AUTOTOOLBAR = true;
  std::vector<WindowPart*> BROWSES;  // not owned
  std::vector<ButtonResponse> BUTTONS;
  std::vector<WindowPart*> FILEDROPS;  // not owned
  uint8_t CANCELACTION = 3;            // bit 1: save the changes; bit 2: ask first
  uint8_t CHANGEACTION = 1;
  bool DEAD = false;
  uint8_t DELETEACTION = 2;
  ErrorManager* ERRORS = nullptr;  // not owned: the application's error manager
  std::vector<FileBuffer> FILES;
  int32_t FIRSTFIELD = 0;
  bool FORCEDRESET = false;
  bool RESETONGAINFOCUS = false;
  std::vector<HistoryRow> HISTORY;
  int32_t HISTORYKEY = 0;
  uint8_t INITED = 0;  // bit 1: set up; bit 2: the first sizing has happened
  uint8_t INSERTACTION = 2;
  std::string LASTINSERTEDPOSITION;  // blank: no record was added by insert-another
  int32_t OKCONTROL = 0;
  bool OPENED = false;
  uint8_t ORIGINALREQUEST = request::kNone;
  RelationManager* PRIMARY = nullptr;  // not owned; null for a window that is not a form
  uint8_t REQUEST = request::kNone;
  WindowResizer* RESIZE = nullptr;  // not owned
  uint8_t RESPONSE = response::kNone;
  uint16_t SAVED = 0;  // the saved copy of the primary buffer that changes are measured against
  WindowToolbar* TOOLBAR = nullptr;      // not owned
  TextTranslator* TRANSLATOR = nullptr;  // not owned
  int32_t* VCRREQUEST = nullptr;         // not owned: the toolbar's pending navigation (0: none)

 protected:
  // The primary file's own manager; null without PRIMARY.
  [[nodiscard]] FileManager* PrimaryFile() const;
  // Every browse and file-drop list, in that order.
  [[nodiscard]] std::vector<WindowPart*> Parts() const;

 private:
  Level CompleteInsert();
  Level InsertAnother();
  Level CompleteChange();
  Level CompleteDelete();
  // Asks `id` (33 or 34) after a failed write: Yes again, No ends the form cancelled, Cancel
  // keeps it. Returns true when the write should be tried again.
  bool AskRetry(uint16_t id);
  void StayOnFirstField();
  // The user chose to give up the form's changes after a failed write: the close asks nothing.
  bool give_up_changes_ = false;
};

}  // namespace pellucor::framework
