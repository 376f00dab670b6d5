// The record-form protocol: a form called to insert, change or delete a record prepares it,
// writes it when the user completes the form, and decides on close whether changes must be saved
// or may be lost.
#include <cstring>

#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

using runtime::Event;

namespace {

inline constexpr uint16_t kRecordAdded = 3;
inline constexpr uint16_t kChangesWillBeLost = 8;
inline constexpr uint16_t kRecordUpdateError = 34;
inline constexpr uint16_t kSaveRecord = 35;

constexpr int32_t kYesNoCancel =
    runtime::button::kYes + runtime::button::kNo + runtime::button::kCancel;

bool IsBlank(const std::string& s) {
  return s.find_first_not_of(' ') == std::string::npos;
}

// The cursor shows that the program is busy while a record is written.
class WaitCursor {
 public:
  WaitCursor() { runtime::SETCURSOR(runtime::CursorKind::kWait); }
  ~WaitCursor() { runtime::SETCURSOR(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

Level WindowManager::PrepareRequest() {
  FileManager* primary = PrimaryFile();
  if (primary == nullptr) return Level::Proceed;
  if (const Level level = primary->EnsureOpen(); level != Level::Proceed) return Level::Fatal;
  for (FileBuffer& f : FILES) {
    if (f.saved == 0) f.saved = f.file->SnapshotBuffer();
  }
  if (REQUEST == request::kInsert && INSERTACTION != 0) {
    RESPONSE = response::kCompleted;
    FillNewRecord();
    if (RESPONSE == response::kCancelled) return Level::Fatal;
    RESPONSE = response::kCancelled;  // until the form completes
  } else if (REQUEST == request::kDelete && (DELETEACTION == 2 || DELETEACTION == 4)) {
    // Deleted at once; the form is never shown.
    const Level level =
        PRIMARY->Delete(DELETEACTION == 2 ? DeleteConfirm::kAsk : DeleteConfirm::kNoAsk);
    RESPONSE = level == Level::Proceed ? response::kCompleted : response::kCancelled;
    return Level::Fatal;
  }
  SAVED = primary->SnapshotBuffer();
  return Level::Proceed;
}

Level WindowManager::HandleCompleted() {
  for (HistoryRow& row : HISTORY) {
    if (row.field.address == nullptr) continue;
    row.saved.assign(static_cast<const char*>(row.field.address), row.field.size);
  }
  switch (REQUEST) {
    case request::kInsert:
      return CompleteInsert();
    case request::kChange:
      return CompleteChange();
    case request::kDelete:
      return CompleteDelete();
    default:
      return Level::Proceed;
  }
}

Level WindowManager::CompleteInsert() {
  if (PrimaryFile()->Insert() != Level::Proceed) {
    StayOnFirstField();
    return Level::Proceed;
  }
  switch (INSERTACTION) {
    case 2:
      FinishWith(response::kCompleted);
      return Level::Proceed;
    case 4:
      if (ERRORS->Raise(kRecordAdded) != Level::Proceed) {
        FinishWith(response::kCompleted);
        return Level::Proceed;
      }
      return InsertAnother();
    case 3:
      return InsertAnother();
    default:
      return Level::Proceed;  // stays in the form
  }
}

Level WindowManager::InsertAnother() {
  FileManager* primary = PrimaryFile();
  LASTINSERTEDPOSITION = primary->GetPosition();
  for (FileBuffer& f : FILES) {
    if (f.saved != 0) f.file->RestoreSnapshot(f.saved);
    f.saved = f.file->SnapshotBuffer();
  }
  if (SAVED != 0) primary->RestoreSnapshot(SAVED);
  SAVED = 0;
  if (primary->HASAUTOINC && primary->ReserveAutoNumber() != Level::Proceed) {
    runtime::PostEvent(Event::kCloseWindow);
  }
  FillNewRecord();
  RESPONSE = response::kCancelled;
  SAVED = primary->SnapshotBuffer();
  runtime::DISPLAY();
  if (FIRSTFIELD != 0) runtime::SELECT(FIRSTFIELD);
  return Level::Proceed;
}

Level WindowManager::CompleteChange() {
  RESPONSE = response::kCancelled;
  for (;;) {
    Level level = Level::Proceed;
    {
      WaitCursor busy;
      if (!PrimaryFile()->SnapshotUnchanged(SAVED)) {
        level = PRIMARY->Update(HISTORYKEY != 0 ? UpdateMode::kForm : UpdateMode::kHandle);
      }
    }
    if (level == Level::Proceed) break;
    if (level == Level::Notified) {
      // Another station changed the record: the form now shows its version.
      runtime::DISPLAY();
      StayOnFirstField();
      return Level::Proceed;
    }
    if (!AskRetry(kRecordUpdateError)) return Level::Proceed;
  }
  // A toolbar navigation left pending ends the form all the same: the browse that ran it moves
  // on to the requested record and runs the form there again.
  RESPONSE = response::kCompleted;
  runtime::PostEvent(Event::kCloseWindow);
  return Level::Proceed;
}

Level WindowManager::CompleteDelete() {
  RESPONSE = response::kCancelled;
  Level level;
  {
    WaitCursor busy;
    level = PRIMARY->Delete(DELETEACTION == 2 ? DeleteConfirm::kAsk : DeleteConfirm::kNoAsk);
  }
  if (level == Level::Proceed) {
    FinishWith(response::kCompleted);
  } else {
    // The user declined the delete, or it failed and the relation manager has already shown why
    // and asked whether to try again: the form stays, and OK tries once more.
    runtime::DISPLAY();
    StayOnFirstField();
  }
  return Level::Proceed;
}

bool WindowManager::AskRetry(uint16_t id) {
  const int32_t answer = ERRORS->Ask(id, kYesNoCancel, runtime::button::kCancel);
  if (answer == runtime::button::kYes) return true;
  if (answer == runtime::button::kNo) {
    // The user gives the changes up: closing must not ask to save them again.
    give_up_changes_ = true;
    runtime::PostEvent(Event::kCloseWindow);
  } else {
    runtime::DISPLAY();
    StayOnFirstField();
  }
  return false;
}

void WindowManager::StayOnFirstField() {
  if (FIRSTFIELD != 0) runtime::SELECT(FIRSTFIELD);
}

Level WindowManager::HandleCloseEvent() {
  if (RESPONSE == response::kCompleted || PRIMARY == nullptr) return Level::Proceed;
  FileManager* primary = PrimaryFile();
  const bool editing = REQUEST == request::kInsert || REQUEST == request::kChange;
  if (editing && CANCELACTION != 0 && !give_up_changes_ && SAVED != 0 &&
      !primary->SnapshotUnchanged(SAVED)) {
    if ((CANCELACTION & 1) != 0 && (CANCELACTION & 2) != 0) {
      const int32_t answer = ERRORS->Ask(kSaveRecord, kYesNoCancel, runtime::button::kCancel);
      if (answer == runtime::button::kYes) {
        runtime::PostEvent(Event::kAccepted, OKCONTROL);  // completing the form saves it
        return Level::Notified;
      }
      if (answer != runtime::button::kNo) {
        StayOnFirstField();
        return Level::Notified;
      }
    } else if ((CANCELACTION & 1) != 0) {
      runtime::PostEvent(Event::kAccepted, OKCONTROL);
      return Level::Notified;
    } else if (ERRORS->Raise(kChangesWillBeLost) != Level::Proceed) {
      StayOnFirstField();
      return Level::Notified;
    }
  }
  if (ORIGINALREQUEST == request::kInsert && RESPONSE == response::kCancelled &&
      PRIMARY->CancelAutoNumber() != Level::Proceed) {
    StayOnFirstField();
    return Level::Notified;
  }
  if (!IsBlank(LASTINSERTEDPOSITION)) {
    // Records were added with insert-another: the caller sees the last one as current.
    RESPONSE = response::kCompleted;
    (void)primary->ResetPosition(LASTINSERTEDPOSITION);
  }
  return Level::Proceed;
}

}  // namespace pellucor::framework
