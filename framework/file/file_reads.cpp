// Reading: the next and previous record of the current order, a record by key value, and held
// records (stepped over with SKIPHELDRECORDS).
#include "data/driver/driver.h"
#include "framework/file/file_manager.h"
#include "runtime/core/error_state.h"

namespace pellucor::framework {

namespace err = runtime::err;

namespace {

void RequestHold(data::FileDecl& file, int32_t seconds) {
  data::OpArgs hold;
  hold.seconds = seconds;
  (void)data::Dispatch(file, seconds < 0 ? data::Op::kHOLDfile : data::Op::kHOLDfilesec, hold);
}

}  // namespace

Level FileManager::Next() {
  return ReadServer(data::Op::kNEXT, Handling::kShow);
}

Level FileManager::TryNext() {
  return ReadServer(data::Op::kNEXT, Handling::kRecord);
}

Level FileManager::Previous() {
  return ReadServer(data::Op::kPREVIOUS, Handling::kShow);
}

Level FileManager::TryPrevious() {
  return ReadServer(data::Op::kPREVIOUS, Handling::kRecord);
}

Level FileManager::Fetch(const data::KeyDecl* key) {
  return FetchServer(key, Handling::kShow);
}

Level FileManager::TryFetch(const data::KeyDecl* key) {
  return FetchServer(key, Handling::kRecord);
}

int32_t FileManager::ReadRecord(data::Op direction) {
  FileInfo& info = Info();
  const bool hold = info.hold_next;
  const int32_t seconds = info.hold_seconds;
  info.hold_next = false;
  if (!hold || !SKIPHELDRECORDS) {
    if (hold) RequestHold(*FILE, seconds);
    return data::Dispatch(*FILE, direction).error;
  }
  // A held read that fails ends the sequence, so stepping over a held record cannot go through
  // the sequence read itself: each record is read unheld and then taken by its pointer, and a
  // record that stays held elsewhere (or that is gone by then) is passed over.
  for (;;) {
    if (const int32_t e = data::Dispatch(*FILE, direction).error; e != 0) return e;
    const bool watched = StateHas(data::state_bit::kWatched);
    data::OpArgs get;
    get.pointer = CurrentPointer();
    RequestHold(*FILE, seconds);
    if (watched) (void)data::Dispatch(*FILE, data::Op::kWATCH);
    const int32_t e = data::Dispatch(*FILE, data::Op::kGETfileptr, get).error;
    if (e != err::kRecordHeld && e != err::kRecordNotFound) return e;
  }
}

Level FileManager::ReadServer(data::Op direction, Handling handling) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  FileInfo& info = Info();
  info.ATEOF = false;
  const int32_t e = ReadRecord(direction);
  if (e == 0) return Level::Proceed;
  if (e == err::kRecordNotAvailable) {
    info.ATEOF = true;
    return Level::Notified;
  }
  if (e == err::kRecordHeld) {
    NoteError(msg::kRecordNotRead);
    return Finish(handling);
  }
  NoteError(msg::kRecordRetrievalError);
  return handling == Handling::kShow ? ReportLast() : Level::Fatal;
}

Level FileManager::FetchServer(const data::KeyDecl* key, Handling handling) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  FileInfo& info = Info();
  if (info.hold_next) {
    info.hold_next = false;
    RequestHold(*FILE, info.hold_seconds);
  }
  data::OpArgs args;
  args.key = key;
  const int32_t e = data::Dispatch(*FILE, data::Op::kGETfilekey, args).error;
  if (e == 0) return Level::Proceed;
  if (e == err::kRecordNotFound || e == err::kRecordNotAvailable) {
    // Looking a value up and not finding it is an answer, not a fault: nothing is shown.
    NoteError(msg::kRecordRetrievalError);
    return Level::Notified;
  }
  NoteError(e == err::kRecordHeld ? msg::kRecordNotRead : msg::kRecordRetrievalError);
  return Finish(handling);
}

}  // namespace pellucor::framework
