// Automatic numbering. The last component of an auto-numbered key gets the highest number in use
// plus one: over the whole key for a one-component key, within the group of records that share
// the leading components otherwise (numbering starts at 1 for every new group). The record is
// added at once, so that another station cannot take the same number: Insert later completes it
// in place, and ReleaseAutoNumber removes it when the user abandons the insert.
#include "data/driver/driver.h"
#include "framework/error/error_manager.h"
#include "framework/file/field_values.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "runtime/core/error_state.h"

namespace pellucor::framework {

namespace err = runtime::err;

namespace {

// Attempts before the user is asked whether to go on (another station may take each number).
constexpr int kAttemptsPerRound = 3;

}  // namespace

Level FileManager::ReserveAutoNumber() {
  return ReserveServer(Handling::kShow);
}

Level FileManager::TryReserveAutoNumber() {
  return ReserveServer(Handling::kRecord);
}

int32_t FileManager::NextNumber(const KeyRow& key, double* number) {
  const KeyComponent& last = key.FIELDS.back();
  uint8_t* record = Buffer();
  const std::vector<uint8_t> remembered(record, record + BufferSize());
  data::OpArgs args;
  args.key = key.KEY;
  int32_t e = 0;
  if (key.FIELDS.size() == 1) {
    e = data::Dispatch(*FILE, data::Op::kSETkey, args).error;
  } else {
    // Positioned at the group's highest possible number, the record next to it in the key's
    // order is the group's highest (or one of another group, or none at all).
    fields::Clear(layout_, record, last.FIELD, runtime::ClearMode::kHighest);
    e = data::Dispatch(*FILE, data::Op::kSETkeykey, args).error;
  }
  // The highest number is the last entry of an ascending component and the first of a
  // descending one.
  if (e == 0) {
    e = data::Dispatch(*FILE, last.ASCEND ? data::Op::kPREVIOUS : data::Op::kNEXT).error;
  }
  if (e == err::kRecordNotAvailable) {
    *number = 1;
    return 0;
  }
  if (e != 0) return e;
  for (size_t i = 0; i + 1 < key.FIELDS.size(); ++i) {
    const int32_t field = key.FIELDS[i].FIELD;
    if (!fields::SameValue(layout_, Buffer(), field, layout_, remembered.data(), field,
                           key.NOCASE)) {
      *number = 1;
      return 0;
    }
  }
  *number = fields::Access(layout_, Buffer(), last.FIELD)->GetReal() + 1;
  return 0;
}

int32_t FileManager::AddNumbered() {
  for (const KeyRow& key : KEYS) {
    if (!key.AUTOINC) continue;
    const uint16_t saved = SnapshotBuffer();
    double number = 0;
    const int32_t e = NextNumber(key, &number);
    if (e != 0) {
      // The read failed: the message about it needs the runtime's error state as it is now.
      NoteError(msg::kRecordRetrievalError);
      RestoreSnapshot(saved);
      return -1;
    }
    RestoreSnapshot(saved);
    fields::Access(layout_, Buffer(), key.FIELDS.back().FIELD)->SetReal(number);
  }
  return data::Dispatch(*FILE, data::Op::kADD).error;
}

bool FileManager::AutoNumberDuplicated() {
  for (const KeyRow& key : KEYS) {
    if (!key.AUTOINC || key.DUPS) continue;
    data::OpArgs args;
    args.key = key.KEY;
    if (data::Dispatch(*FILE, data::Op::kDUPLICATEkey, args).value != 0) return true;
  }
  return false;
}

Level FileManager::ReserveServer(Handling handling) {
  FileInfo& info = Info();
  if (!HASAUTOINC || info.AUTOINCDONE) return Level::Proceed;
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  const uint16_t original = SnapshotBuffer();
  const std::vector<uint8_t> before(Buffer(), Buffer() + BufferSize());
  auto put_back = [&] { RestoreSnapshot(original); };
  for (;;) {
    for (int attempt = 0; attempt < kAttemptsPerRound; ++attempt) {
      // Every attempt starts from the record as the caller gave it.
      std::copy(before.begin(), before.end(), Buffer());
      const int32_t e = AddNumbered();
      if (e == 0) {
        info.AUTOINCDONE = true;
        info.primed_record = CurrentPointer();
        DropSnapshot(original);
        return Level::Proceed;
      }
      if (e == -1) {
        put_back();
        return handling == Handling::kShow ? ReportLast() : Level::Notified;
      }
      if (e == err::kDuplicateKey && !AutoNumberDuplicated()) {
        // The record duplicates another key: no other number would help.
        NoteError(msg::kDuplicateKey);
        const KeyRow* key = handling == Handling::kShow ? DuplicatedKey(0) : nullptr;
        put_back();
        if (key != nullptr) {
          ERRORS->MESSAGETEXT = key->PDESCRIPTION;
          (void)ERRORS->Dispatch(msg::kDuplicateKey);
        }
        return Level::Notified;
      }
    }
    NoteError(msg::kAutoIncrementError);
    if (handling != Handling::kShow || ReportLast() != Level::Proceed) {
      put_back();
      return Level::Notified;
    }
  }
}

Level FileManager::ReleaseAutoNumber(RelationManager* through) {
  FileInfo& info = Info();
  if (!HASAUTOINC || !info.AUTOINCDONE) return Level::Proceed;
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  const uint16_t saved = SnapshotBuffer();
  data::OpArgs get;
  get.pointer = info.primed_record;
  const int32_t e = data::Dispatch(*FILE, data::Op::kGETfileptr, get).error;
  Level level = Level::Proceed;
  if (e == 0) {
    level = through != nullptr ? through->Delete(DeleteConfirm::kNoAsk) : Delete();
  } else if (e != err::kRecordNotFound) {
    NoteError(msg::kRecordNotDeleted);
    level = ReportLast();
  }
  // A primed record that is gone already needs nothing more.
  RestoreSnapshot(saved);
  if (level == Level::Proceed) {
    info.AUTOINCDONE = false;
    info.primed_record = 0;
  }
  return level;
}

}  // namespace pellucor::framework
