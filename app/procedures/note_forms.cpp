#include "app/procedures/note_forms.h"

#include <cstring>
#include <string>

#include "app/note.h"
#include "app/note_store.h"
#include "app/procedures/calendar.h"
#include "app/procedures/program.h"
#include "app/windows/note_forms.h"
#include "data/driver/driver.h"
#include "framework/resize/window_resizer.h"
#include "framework/window/window_manager.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {

namespace {

namespace nr = note_record;
using framework::Level;
using runtime::Event;

// The key that brings a control's last saved value back: Ctrl+'.
constexpr int32_t kDittoKey = 734;
// The window-wide strategy of the resizer for both forms.
constexpr uint8_t kResizeStrategy = 2;
// The form cannot insert: message 20.
constexpr uint16_t kCannotInsert = 20;

runtime::AnyRef Field(uint8_t* record, uint32_t offset, uint32_t size, runtime::TypeCode type) {
  return runtime::AnyRef{record + offset, size, type, 0};
}

// What both forms share: the program, the window, the resizer and the order of the life.
class NoteFormBase : public framework::WindowManager {
 protected:
  NoteFormBase(const char* name, runtime::WindowDescription description)
      : program_(TheProgram()), name_(name), window_(std::move(description)) {
    ERRORS = &program_.errors;
    VCRREQUEST = &program_.vcr_request;
  }

  // The steps after the registrations: the global request and response are cleared, the tables
  // opened, the request prepared (a form that must not run ends here, its window never shown),
  // then the window opens where the user left it.
  Level OpenAndPrepare() {
    program_.request = 0;
    program_.response = 0;
    if (const Level level = OpenTables(); level != Level::Proceed) return level;
    if (const Level level = PrepareRequest(); level != Level::Proceed) return level;
    window_.Open();
    runtime::SetProperty(0, runtime::Prop::kIcon, std::string(kAppIcon));
    (void)resizer_.Init(kResizeStrategy, framework::SizeLimit::kInitialSize,
                        framework::SizeLimit::kNone);
    RESIZE = &resizer_;
    program_.ini.FetchWindow(window_, name_);
    (void)resizer_.Resize();
    RegisterAlertKeys();
    return Level::Proceed;
  }
  virtual Level OpenTables() = 0;
  virtual void CloseTables() = 0;

  Level Kill() override {
    const Level level = WindowManager::Kill();
    if (window_.IsOpen()) {
      program_.ini.UpdateWindow(window_, name_);
      window_.Close();
    }
    CloseTables();
    program_.errors.PopProcedure();
    return level;
  }

  Level HandleWindowEvent() override {
    const Level level = WindowManager::HandleWindowEvent();
    // The window closes at the end of this event: its place is kept for the next time.
    if (level == Level::Proceed &&
        (runtime::EVENT() == Event::kCloseWindow || runtime::EVENT() == Event::kCloseDown)) {
      program_.ini.UpdateWindow(window_, name_);
    }
    return level;
  }

  void SetCaption(const std::string& caption) {
    caption_ = caption;
    runtime::SetProperty(0, runtime::Prop::kText, caption_);
  }

  Program& program_;
  std::string name_;
  runtime::Window window_;
  framework::WindowResizer resizer_;
  std::string caption_;  // the window's caption, 40 characters at most
};

class NoteForm : public NoteFormBase {
 public:
  NoteForm() : NoteFormBase("UpdateSNotes", DescribeNoteForm(TheProgram().snotes.Buffer())) {}

  Level Init() override {
    program_.errors.PushProcedure(name_);
    REQUEST = program_.request;
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    namespace f = note_form;
    uint8_t* r = program_.snotes.Buffer();
    FIRSTFIELD = f::kTopic;
    AddFile(program_.snotes);
    HISTORYKEY = kDittoKey;
    AddHistory(f::kTopic, Field(r, nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString));
    AddHistory(f::kDone, Field(r, nr::kDoneOffset, 1, runtime::TypeCode::kString));
    AddHistory(f::kReminderDate, Field(r, nr::kReminderDateOffset, 4, runtime::TypeCode::kDate));
    AddHistory(f::kMemo,
               Field(r, nr::kMainMemoOffset, nr::kMainMemoSize, runtime::TypeCode::kString));
    AddHistory(f::kArchive, Field(r, nr::kReminderOffset, 1, runtime::TypeCode::kString));
    AddHistory(f::kNoteDate, Field(r, nr::kNoteDateOffset, 4, runtime::TypeCode::kDate));
    AddButton(f::kCancel, framework::response::kCancelled);
    PRIMARY = &program_.snotes_relations;
    OKCONTROL = f::kOk;
    return OpenAndPrepare();
  }

  Level Ask() override {
    if (REQUEST == framework::request::kInsert) SetCaption("Adding a Notes Record");
    if (REQUEST == framework::request::kChange) SetCaption("Changing a Notes Record");
    return WindowManager::Ask();
  }

  Level HandleSelected() override {
    const int32_t control = runtime::SelectedControl();
    if ((control == note_form::kTopic || control == note_form::kNoteDate) && NoteDate() == 0) {
      SetNoteDate(runtime::TODAY());
      runtime::DISPLAY();
    }
    return WindowManager::HandleSelected();
  }

  Level HandleAccepted() override {
    const Level level = WindowManager::HandleAccepted();
    const int32_t control = runtime::AcceptedControl();
    if (control == note_form::kCalendar) {
      runtime::UPDATE();
      uint8_t* r = program_.snotes.Buffer();
      WriteStoredDate(Calendar(ReadStoredDate(r + nr::kReminderDateOffset)),
                      r + nr::kReminderDateOffset);
      runtime::DISPLAY(note_form::kReminderDate);
    } else if (control == note_form::kOk) {
      Confirm();
    }
    return level;
  }

  Level HandleWindowEvent() override {
    const Level level = NoteFormBase::HandleWindowEvent();
    // The note whose copy this form added to the archive leaves the notes table as the window
    // closes. Only a note the form wrote, and only once its copy exists: a cancelled form keeps
    // its note where it was.
    if (level == Level::Proceed && runtime::EVENT() == Event::kCloseWindow &&
        program_.snotes.Buffer()[nr::kReminderOffset] == 'Y' && archived_ == 'Y' &&
        RESPONSE == framework::response::kCompleted) {
      (void)data::Dispatch(*program_.snotes_decl, data::Op::kDELETE);
    }
    return level;
  }

 private:
  Level OpenTables() override {
    if (const Level level = program_.arcnotes_relations.Open(); level != Level::Proceed) {
      return level;
    }
    archive_open_ = true;
    if (const Level level = program_.snotes_relations.Open(); level != Level::Proceed) {
      return level;
    }
    notes_open_ = true;
    return Level::Proceed;
  }
  void CloseTables() override {
    if (notes_open_) (void)program_.snotes_relations.Close();
    if (archive_open_) (void)program_.arcnotes_relations.Close();
    notes_open_ = archive_open_ = false;
  }

  void FillNewRecord() override {
    // A new note: blank texts, no dates, not done, not archived.
    Note blank;
    EncodeNote(blank, program_.snotes.Buffer());
  }

  int32_t NoteDate() { return ReadStoredDate(program_.snotes.Buffer() + nr::kNoteDateOffset); }
  void SetNoteDate(int32_t day) {
    WriteStoredDate(day, program_.snotes.Buffer() + nr::kNoteDateOffset);
  }

  // "OK": the note date defaults to today, and a ticked "Archive" adds the archive copy once.
  void Confirm() {
    runtime::UPDATE();
    if (NoteDate() == 0) {
      SetNoteDate(runtime::TODAY());
      runtime::DISPLAY();
    }
    const uint8_t* note = program_.snotes.Buffer();
    if (note[nr::kReminderOffset] != 'Y' || archived_ != 'N') return;
    data::FileDecl& archive = *program_.arcnotes_decl;
    data::OpArgs open;
    open.mode = 0x22;
    (void)data::Dispatch(archive, data::Op::kOPEN, open);  // already open here: not reported
    std::memcpy(program_.arcnotes.Buffer(), note, nr::kSize);
    if (data::Dispatch(archive, data::Op::kADD).error == 0) {
      archived_ = 'Y';
      return;
    }
    // Without its copy the note must stay in the notes table: the flag stays "N".
    const std::string why = TrimRight(runtime::ErrorText());
    if (runtime::MESSAGE(why + "||End the program now?", "Archive Error",
                         runtime::MessageIcon::kError, runtime::button::kYes + runtime::button::kNo,
                         runtime::button::kNo) == runtime::button::kYes) {
      runtime::HALT(0, why);
    }
  }

  char archived_ = 'N';
  bool notes_open_ = false;
  bool archive_open_ = false;
};

class ArchiveForm : public NoteFormBase {
 public:
  ArchiveForm()
      : NoteFormBase("UpdateSNotes1", DescribeArchiveForm(TheProgram().arcnotes.Buffer())) {}

  Level Init() override {
    program_.errors.PushProcedure(name_);
    REQUEST = program_.request;
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    namespace f = archive_form;
    uint8_t* r = program_.arcnotes.Buffer();
    FIRSTFIELD = f::kTopic;
    AddFile(program_.arcnotes);
    HISTORYKEY = kDittoKey;
    AddHistory(f::kTopic, Field(r, nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString));
    AddHistory(f::kNoteDate, Field(r, nr::kNoteDateOffset, 4, runtime::TypeCode::kDate));
    AddHistory(f::kReminderDate, Field(r, nr::kReminderDateOffset, 4, runtime::TypeCode::kDate));
    AddHistory(f::kMemo,
               Field(r, nr::kMainMemoOffset, nr::kMainMemoSize, runtime::TypeCode::kString));
    AddButton(f::kCancel, framework::response::kCancelled);
    PRIMARY = &program_.arcnotes_relations;
    OKCONTROL = f::kOk;
    if (REQUEST == framework::request::kInsert) {
      // Nothing to prepare, nothing to show: Ask refuses the insert.
      program_.request = 0;
      program_.response = 0;
      return Level::Proceed;
    }
    return OpenAndPrepare();
  }

  Level Ask() override {
    if (REQUEST == framework::request::kInsert) {
      (void)program_.errors.Raise(kCannotInsert);
      return Level::Proceed;
    }
    if (REQUEST == framework::request::kChange) SetCaption("Changing a Notes Record");
    return WindowManager::Ask();
  }

  Level HandleAccepted() override {
    const Level level = WindowManager::HandleAccepted();
    if (runtime::AcceptedControl() == archive_form::kOk) {
      runtime::UPDATE();
      uint8_t* date = program_.arcnotes.Buffer() + nr::kNoteDateOffset;
      if (ReadStoredDate(date) == 0) {
        WriteStoredDate(runtime::TODAY(), date);
        runtime::DISPLAY();
      }
    }
    return level;
  }

 private:
  Level OpenTables() override {
    const Level level = program_.arcnotes_relations.Open();
    open_ = level == Level::Proceed;
    return level;
  }
  void CloseTables() override {
    if (open_) (void)program_.arcnotes_relations.Close();
    open_ = false;
  }

  bool open_ = false;
};

uint8_t RunForm(framework::WindowManager& form) {
  const uint8_t response = form.Run();
  TheProgram().response = response;
  return response;
}

}  // namespace

uint8_t UpdateSNotes() {
  NoteForm form;
  return RunForm(form);
}

uint8_t UpdateSNotes1() {
  ArchiveForm form;
  return RunForm(form);
}

}  // namespace pellucor::app
