// The driver's entry: which operations run in which bracket, holds and their waits, locks and
// streams. The groups of operations live in their own files (operations.h).
#include "data/kestrune_driver/kestrune_driver.h"

#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "data/kestrune_driver/table_schema.h"
#include "platform/clock.h"
#include "runtime/core/error_state.h"

namespace pellucor::data {
namespace {

namespace err = runtime::err;
using kdriver::OpenTable;
using kdriver::OpKind;
namespace table_flag = kdriver::table_flag;

bool IsChangingRecordOp(Op op) {
  switch (op) {
    case Op::kADD:
    case Op::kAPPEND:
    case Op::kADDfilelen:
    case Op::kAPPENDlen:
    case Op::kPUT:
    case Op::kPUTfileptr:
    case Op::kPUTfileptrlen:
    case Op::kDELETE:
    case Op::kEMPTY:
    case Op::kBUILDfile:
    case Op::kBUILDkey:
    case Op::kPACK:
      return true;
    default:
      return false;
  }
}

bool IsReadingOp(Op op) {
  switch (op) {
    case Op::kGETfilekey:
    case Op::kGETfileptr:
    case Op::kGETfileptrlen:
    case Op::kGETkeyptr:
    case Op::kNEXT:
    case Op::kPREVIOUS:
    case Op::kREGETfile:
    case Op::kREGETkey:
    case Op::kSKIP:
    case Op::kBOF:
    case Op::kEOF:
    case Op::kRECORDSfile:
    case Op::kRECORDSkey:
    case Op::kCOUNTRECORDS:
    case Op::kDUPLICATE:
    case Op::kDUPLICATEkey:
    case Op::kBYTES:
    case Op::kPOSITIONkey:
      return true;
    default:
      return false;
  }
}

// A read that may have to wait for a hold: tried again while another program holds the record,
// until the hold's time limit (if any) has passed. The bracket is left between tries so that
// the holder can get in to release it.
OpResult RunRead(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  t.hold_wait_started = false;
  for (;;) {
    OpResult r;
    if (const int32_t e = kdriver::BeginOperation(*t.file, OpKind::kRead); e != 0) {
      return OpResult::Fail(e);
    }
    switch (op) {
      case Op::kRECORDSfile:
        r = OpResult::Value(kdriver::ReadCounter(t, kestrune::kDataCounter).count);
        break;
      case Op::kRECORDSkey: {
        const int k = kdriver::DefinitionKeyOf(block, t, args.key);
        if (const kdriver::DynamicIndex* d = kdriver::DynamicIndexOf(t, args.key); k < 0 && d) {
          r = OpResult::Value(static_cast<int64_t>(d->entries.size()));
          break;
        }
        r = k < 0 ? OpResult::Fail(err::kInvalidKeyFile)
                  : OpResult::Value(kdriver::ReadCounter(t, static_cast<uint8_t>(k)).count);
        break;
      }
      case Op::kCOUNTRECORDS: {
        const int64_t count = kdriver::ReadCounter(t, kestrune::kDataCounter).count;
        r = OpResult::Value(count > int64_t{args.count} ? 1 : 0);
        break;
      }
      case Op::kBYTES:
        if (block.state & state_bit::kCurrent) {
          r = OpResult::Value(static_cast<int64_t>(t.last_record_bytes));
        } else {
          uint64_t size = 0;
          (void)t.file->pf->file()->Size(&size);
          r = OpResult::Value(static_cast<int64_t>(size));
        }
        break;
      case Op::kDUPLICATE:
      case Op::kDUPLICATEkey:
        r = OpResult::Value(
            kdriver::DuplicatesUniqueKey(t, {block.record, block.record_length}, t.current,
                                         op == Op::kDUPLICATEkey ? args.key : nullptr)
                ? 1
                : 0);
        break;
      default:
        r = kdriver::SequenceOp(block, t, op, args);
        break;
    }
    const int32_t end = kdriver::EndOperation(*t.file, &t);
    if (r.error == 0 && end != 0) r.error = end;
    if (r.error != err::kRecordHeld || !(t.flags & table_flag::kHoldRequested)) return r;
    // While this program holds the whole slot range (a stream or transaction with changes not
    // yet committed) the holder may be waiting for that range to finish its own change: waiting
    // here could never end, so the hold fails at once.
    if (t.file->range_held && t.file->OthersMayWrite()) {
      t.flags &= ~table_flag::kHoldRequested;
      return r;
    }
    const int64_t now = platform::MonotonicHundredths();
    if (!t.hold_wait_started) {
      t.hold_wait_started = true;
      t.hold_started = now;
    }
    if (t.hold_seconds >= 0 && now - t.hold_started >= 100 * int64_t{t.hold_seconds}) {
      t.flags &= ~table_flag::kHoldRequested;
      return r;
    }
    platform::SleepMilliseconds(20);
  }
}

OpResult RunWrite(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  if (const int32_t e = kdriver::BeginOperation(*t.file, OpKind::kWrite); e != 0) {
    return OpResult::Fail(e);
  }
  if (kdriver::TransactionActive()) kdriver::JoinTransaction(t);
  OpResult r;
  switch (op) {
    case Op::kADD:
    case Op::kAPPEND:
    case Op::kADDfilelen:
    case Op::kAPPENDlen:
      r.error = kdriver::AddRecord(block, t, op, args.length);
      break;
    case Op::kPUT:
      r.error = kdriver::PutRecord(block, t, t.current, 0);
      break;
    case Op::kPUTfileptr:
    case Op::kPUTfileptrlen:
      r.error =
          kdriver::PutRecord(block, t, args.pointer, op == Op::kPUTfileptrlen ? args.length : 0);
      if (r.error == 0) t.current = args.pointer;
      break;
    case Op::kDELETE:
      r.error = kdriver::DeleteRecord(block, t);
      break;
    default:
      r = kdriver::BuildOp(block, t, op, args);
      break;
  }
  if (r.error != 0 && !t.file->CommitsDeferred() && t.file->pf->HasChanges()) {
    // A refused change leaves nothing behind (a record number taken, entries checked).
    t.file->pf->DropChanges();
  }
  const int32_t end = kdriver::EndOperation(*t.file, &t);
  if (r.error == 0 && end != 0) r.error = end;
  return r;
}

}  // namespace

KestruneDriver::KestruneDriver() = default;
KestruneDriver::~KestruneDriver() = default;

KestruneDriver& KestruneDriverInstance() {
  static KestruneDriver driver;
  return driver;
}

int32_t KestruneDriver::CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state) {
  auto t = std::make_unique<OpenTable>();
  if (const int32_t e = kdriver::DefinitionFromDeclaration(block, &t->definition, &t->key_numbers);
      e != 0) {
    return e;
  }
  *state = std::move(t);
  return 0;
}

OpResult KestruneDriver::Handle(FileBlock& block, Op op, OpArgs& args) {
  OpenTable& t = kdriver::TableOf(block);
  switch (op) {
    case Op::kOPEN:
    case Op::kSHARE:
    case Op::kCREATE:
      if (op == Op::kSHARE && args.mode == 0)
        args.mode = access_mode::kReadWrite | access_mode::kDenyNone;
      return kdriver::OpenTableOp(settings_, block, op, args);
    case Op::kCOPY:
    case Op::kREMOVE:
    case Op::kRENAME:
      return kdriver::FileOp(settings_, block, op, args);
    case Op::kNAME:
      return OpResult::Text(t.file ? t.reported_name : block.name);
    case Op::kSEND:
      return kdriver::SendOp(block, op, args);
    case Op::kGET_PROPERTY:
    case Op::kSET_PROPERTY:
    case Op::kGETPROPERTYkey:
    case Op::kSETPROPERTYkey:
    case Op::kDO_PROPERTY:
    case Op::kDOPROPERTYkey:
    case Op::kDOPROPERTYblob:
      return kdriver::PropertyOp(block, op, args);
    default:
      break;
  }
  if (!t.file) return OpResult::Fail(err::kFileNotOpen);
  if (IsChangingRecordOp(op)) return RunWrite(block, t, op, args);
  if (IsReadingOp(op)) return RunRead(block, t, op, args);
  switch (op) {
    case Op::kCLOSE:
      return kdriver::CloseTableOp(block);
    case Op::kBUILDdyn:
    case Op::kBUILDdynfilter: {
      // Reads the data only: the entries are the open table's own.
      if (const int32_t e = kdriver::BeginOperation(*t.file, OpKind::kRead); e != 0) {
        return OpResult::Fail(e);
      }
      OpResult r = kdriver::BuildDynamicOp(block, t, op, args);
      const int32_t end = kdriver::EndOperation(*t.file, &t);
      if (r.error == 0 && end != 0) r.error = end;
      return r;
    }
    case Op::kSETfile:
    case Op::kSETfilekey:
    case Op::kSETfileptr:
    case Op::kSETkey:
    case Op::kSETkeykey:
    case Op::kSETkeyptr:
    case Op::kSETkeykeyptr:
    case Op::kRESETfile:
    case Op::kRESETkey:
    case Op::kPOSITIONfile:
    case Op::kPOINTERfile:
    case Op::kPOINTERkey:
      return kdriver::SequenceOp(block, t, op, args);
    case Op::kHOLDfile:
    case Op::kHOLDfilesec:
      t.flags |= table_flag::kHoldRequested;
      t.hold_seconds = op == Op::kHOLDfile ? -1 : args.seconds;
      return {};
    case Op::kWATCH:
      t.flags |= table_flag::kWatchRequested;
      return {};
    case Op::kRELEASE:
      kdriver::ReleaseHold(t);
      return {};
    case Op::kNOMEMO:
      t.nomemo_next = true;
      return {};
    case Op::kLOCKfile:
    case Op::kLOCKfilesec:
      if (!t.locked) {
        if (!kdriver::TryNumberLock(*t.file, t.table)) return OpResult::Fail(err::kFileLocked);
        t.locked = true;
      }
      return {};
    case Op::kUNLOCK:
      if (t.locked) {
        kdriver::ReleaseNumberLock(*t.file, t.table);
        t.locked = false;
      }
      return {};
    case Op::kSTREAM:
      if (!t.stream_active) {
        t.stream_active = true;
        t.deferred_ops = 0;
        ++t.file->streams;
      }
      return {};
    case Op::kFLUSH: {
      int32_t e = 0;
      if (t.stream_active) {
        t.stream_active = false;
        --t.file->streams;
      }
      if (!t.file->CommitsDeferred()) e = kdriver::CommitNow(*t.file);
      kdriver::ReleaseRangeIfIdle(*t.file);
      t.deferred_ops = 0;
      return OpResult::Fail(e);
    }
    case Op::kLOGOUT:
      return kdriver::LogoutOp(block, t);
    case Op::kCOMMIT:
    case Op::kROLLBACK:
      return kdriver::CommitOp(block, t, op);
    case Op::kQUERY_KEY:
      for (size_t k = 0; k < block.keys.size(); ++k) {
        if (block.keys[k].decl == args.key) return OpResult::Value(static_cast<int64_t>(k + 1));
      }
      return OpResult::Value(0);
    case Op::kINVIEW:
    case Op::kENDVIEW:
    case Op::kBUFFER:
      return {};
    case Op::kBLOB_YIELD:
    case Op::kBLOB_TAKE:
    case Op::kBLOB_SIZE:
    case Op::kBLOB_GET_PROP:
    case Op::kBLOB_SET_PROP:
      return kdriver::BlobOp(block, t, op, args);
    default:
      break;
  }
  return Unsupported();
}

}  // namespace pellucor::data
