// Writing: inserting (completing a primed auto-number), updating with detection of changes by
// another station, deleting, and naming the key a failed insert duplicates.
#include "data/driver/driver.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "runtime/core/error_state.h"

namespace pellucor::framework {

namespace err = runtime::err;

Level FileManager::Insert() {
  return InsertServer(Handling::kShow);
}

Level FileManager::TryInsert() {
  return InsertServer(Handling::kRecord);
}

Level FileManager::Update(UpdateMode mode) {
  return UpdateServer(mode);
}

Level FileManager::TryUpdate() {
  return UpdateServer(UpdateMode::kTry);
}

Level FileManager::Delete() {
  return DeleteServer(Handling::kShow);
}

Level FileManager::TryDelete() {
  return DeleteServer(Handling::kRecord);
}

const KeyRow* FileManager::DuplicatedKey(uint32_t except_record) {
  for (const KeyRow& key : KEYS) {
    // Keys that allow duplicates cannot refuse a record; an INDEX is not kept up by writes.
    if (key.DUPS || key.KEY == nullptr || key.KEY->MustBeBuilt()) continue;
    const uint16_t saved = SnapshotBuffer();
    data::OpArgs args;
    args.key = key.KEY;
    const bool found = data::Dispatch(*FILE, data::Op::kGETfilekey, args).error == 0 &&
                       CurrentPointer() != except_record;
    RestoreSnapshot(saved);
    if (found) return &key;
  }
  return nullptr;
}

Level FileManager::InsertServer(Handling handling) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  if (ValidateRecord() != Level::Proceed) return Level::Notified;
  FileInfo& info = Info();
  // Numbering now adds the whole record as it is: nothing is left to complete.
  auto number_and_add = [&] {
    const Level level = ReserveServer(handling);
    if (level == Level::Proceed) {
      info.AUTOINCDONE = false;
      info.primed_record = 0;
    }
    return level;
  };
  if (HASAUTOINC && !info.AUTOINCDONE) return number_and_add();
  int32_t e = 0;
  uint32_t written = 0;
  if (HASAUTOINC) {
    // The primed record is rewritten by its pointer: whatever was read since, the completed
    // record lands on the one that was numbered for it.
    data::OpArgs put;
    put.pointer = written = info.primed_record;
    e = data::Dispatch(*FILE, data::Op::kPUTfileptr, put).error;
  } else {
    e = data::Dispatch(*FILE, data::Op::kADD).error;
  }
  if (e == 0) {
    info.AUTOINCDONE = false;
    info.primed_record = 0;
    return Level::Proceed;
  }
  if (written != 0 && e == err::kRecordNotFound) {
    // The numbered record is gone (another station deleted it): number the record afresh,
    // which adds it whole, rather than fail on every later try.
    info.AUTOINCDONE = false;
    info.primed_record = 0;
    return number_and_add();
  }
  if (e == err::kDuplicateKey) {
    NoteError(msg::kDuplicateKey);
    if (handling == Handling::kRecord) return Level::Notified;
    if (const KeyRow* key = DuplicatedKey(written); key != nullptr) {
      ERRORS->MESSAGETEXT = key->PDESCRIPTION;
      (void)ERRORS->Dispatch(msg::kDuplicateKey);
    }
    return Level::Notified;
  }
  NoteError(msg::kRecordInsertError);
  return Finish(handling);
}

Level FileManager::UpdateServer(UpdateMode mode) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  // A refused record is not a conflict with another station: the caller asks whether to try
  // again (1) rather than redisplaying.
  if (ValidateRecord() != Level::Proceed) return Level::AskUser;
  const uint32_t pointer = CurrentPointer();
  const bool watched = StateHas(data::state_bit::kWatched);
  const int32_t e = data::Dispatch(*FILE, data::Op::kPUT).error;
  if (e == 0) return Level::Proceed;
  const bool show = mode != UpdateMode::kTry;
  if (e == err::kRecordChanged) {
    NoteError(mode == UpdateMode::kForm ? msg::kChangedByAnotherStationForm
                                        : msg::kChangedByAnotherStation);
    if (show) (void)ReportLast();
    // The buffer takes the other station's version (watched again, so that a third change is
    // caught as well); the caller's own entries are what the form's history recalls.
    if (pointer != 0) {
      if (watched) (void)data::Dispatch(*FILE, data::Op::kWATCH);
      data::OpArgs get;
      get.pointer = pointer;
      (void)data::Dispatch(*FILE, data::Op::kGETfileptr, get);
    }
    return Level::Notified;
  }
  NoteError(msg::kRecordNotUpdated);
  return show ? ReportLast() : Level::Notified;
}

Level FileManager::DeleteServer(Handling handling) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  const uint32_t pointer = CurrentPointer();
  if (data::Dispatch(*FILE, data::Op::kDELETE).error == 0) {
    FileInfo& info = Info();
    // Deleting the primed record itself leaves nothing to complete.
    if (info.AUTOINCDONE && pointer == info.primed_record) {
      info.AUTOINCDONE = false;
      info.primed_record = 0;
    }
    return Level::Proceed;
  }
  NoteError(msg::kRecordNotDeleted);
  return Finish(handling);
}

}  // namespace pellucor::framework
