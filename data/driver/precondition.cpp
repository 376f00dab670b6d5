#include "data/driver/precondition.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "runtime/core/error_state.h"

namespace pellucor::data {
namespace {

namespace sb = state_bit;

using Table = std::array<OpEntry, kOpCount>;

// One row of the table is shared by several operations, as the rows below list them.
void Row(Table& t, std::initializer_list<Op> ops, OpEntry entry) {
  for (Op op : ops) t[static_cast<size_t>(op)] = entry;
}

Table MakeTable() {
  Table t{};  // "(0)", NAME, "(35)", "(39)", GET_PROPERTY, QUERY_VIEW, GETPROPERTYkey, Internal
  using enum Op;
  //                                                     flags req    forb   set     clr     fail
  Row(t, {kADD}, {0x1, 0x41, 0x0, 0x2, 0x1400, 0x0});
  Row(t, {kBOF, kEOF}, {0x0, 0x21, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kBUILDfile, kBUILDevent}, {0x1, 0xC0, 0x4, 0x0, 0x0, 0x2022});
  Row(t, {kAPPEND, kDUPLICATE}, {0x1, 0x41, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kBUILDdyn, kBUILDdynfilter}, {0x1, 0x1, 0x4, 0x100, 0x0, 0x0});
  Row(t, {kBUILDkey}, {0x1, 0xC0, 0x4, 0x0, 0x0, 0x0});
  Row(t, {kCLOSE}, {0x3, 0x1, 0x4, 0x0, 0x101, 0x0});
  Row(t, {kCOMMIT, kROLLBACK}, {0x1, 0x5, 0x0, 0x0, 0x4, 0x0});
  Row(t, {kCOPY, kCREATE, kREMOVE, kRENAME}, {0x3, 0x0, 0x1, 0x0, 0x0, 0x0});
  Row(t, {kDELETE}, {0x1, 0x43, 0x0, 0x0, 0x2, 0x0});
  Row(t, {kEMPTY}, {0x1, 0xC1, 0x4, 0x0, 0x0, 0x0});
  Row(t, {kGETfilekey, kGETkeyptr}, {0x1, 0x101, 0x0, 0x2, 0xA00, 0x2});
  Row(t, {kGETfileptr, kGETfileptrlen}, {0x1, 0x1, 0x0, 0x2, 0xA00, 0x2});
  Row(t, {kHOLDfile, kHOLDfilesec}, {0x1, 0x1, 0x0, 0x800, 0x0, 0x0});
  Row(t, {kLOCKfile, kLOCKfilesec}, {0x1, 0x1, 0x10, 0x90, 0x0, 0x0});
  Row(t, {kLOGOUT}, {0x1, 0x1, 0x4, 0x4, 0x0, 0x0});
  Row(t, {kNEXT, kPREVIOUS}, {0x5, 0x21, 0x0, 0x2, 0xA00, 0x2022});
  Row(t, {kOPEN, kSHARE}, {0x1, 0x0, 0x1, 0x1, 0x0, 0x0});
  Row(t, {kPACK}, {0x1, 0xC0, 0x4, 0x0, 0x22, 0x2022});
  Row(t, {kPOINTERfile, kBLOB_SIZE}, {0x0, 0x3, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kPOINTERkey}, {0x0, 0x103, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kFLUSH}, {0x1, 0x1, 0x0, 0x0, 0x8, 0x0});
  Row(t, {kPUT}, {0x1, 0x43, 0x0, 0x0, 0x1400, 0x0});
  Row(t, {kRECORDSfile, kNOMEMO, kCLEAR, kCOUNTRECORDS}, {0x0, 0x1, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kRECORDSkey, kQUERY_KEY}, {0x0, 0x101, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kRELEASE}, {0x1, 0x1, 0x0, 0x0, 0x1000, 0x0});
  Row(t, {kSETfile, kSETfileptr, kRESETfile, kRESETviewfile}, {0x5, 0x1, 0x0, 0x2020, 0x0, 0x2020});
  Row(t, {kSETfilekey, kSETkey, kSETkeykey, kSETkeyptr, kSETkeykeyptr, kRESETkey},
      {0x5, 0x101, 0x0, 0x2020, 0x0, 0x2020});
  Row(t, {kSKIP}, {0x5, 0x21, 0x0, 0x0, 0x2, 0x2022});
  Row(t, {kUNLOCK}, {0x1, 0x11, 0x4, 0x0, 0x10, 0x0});
  Row(t, {kADDfilelen}, {0x1, 0x1, 0x0, 0x0, 0x1400, 0x0});
  Row(t, {kBYTES, kNULL, kSETNULL, kSETNONULL, kBLOB_YIELD, kBLOB_TAKE, kBLOB_SET_PROP, kBUFFER},
      {0x1, 0x1, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kPUTfileptr, kPUTfileptrlen}, {0x1, 0x41, 0x0, 0x0, 0x1400, 0x2});
  Row(t, {kSTREAM}, {0x1, 0x1, 0x8, 0x8, 0x0, 0x0});
  Row(t, {kDUPLICATEkey}, {0x1, 0x101, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kWATCH}, {0x1, 0x1, 0x0, 0x200, 0x0, 0x0});
  Row(t, {kAPPENDlen}, {0x1, 0x41, 0x0, 0x0, 0x1400, 0x0});
  Row(t, {kSEND, kSET_PROPERTY, kSETPROPERTYkey, kDO_PROPERTY, kDOPROPERTYkey, kDOPROPERTYblob},
      {0x1, 0x0, 0x0, 0x10000, 0x0, 0x0});
  Row(t, {kPOSITIONfile}, {0x1, 0x3, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kPOSITIONkey}, {0x1, 0x103, 0x0, 0x0, 0x0, 0x0});
  Row(t, {kREGETfile}, {0x1, 0x1, 0x0, 0x2, 0xA00, 0x0});
  Row(t, {kREGETkey}, {0x1, 0x101, 0x0, 0x2, 0xA00, 0x0});
  Row(t, {kBLOB_GET_PROP}, {0x1, 0x1, 0x0, 0x10000, 0x0, 0x0});
  Row(t, {kSETview}, {0x5, 0x1, 0x0, 0x20, 0x0, 0x20});
  Row(t, {kINVIEW}, {0x1, 0x1, 0x100, 0x100, 0x0, 0x0});
  Row(t, {kENDVIEW}, {0x1, 0x1, 0x0, 0x0, 0x100, 0x0});
  Row(t, {kInternal94}, {0x1, 0x0, 0x1, 0x0, 0x0, 0x0});
  return t;
}

const Table& TheTable() {
  static const Table table = MakeTable();
  return table;
}

// The operations that may run while a build is running.
bool AllowedDuringBuild(Op op) {
  return op == Op::kCLOSE || op == Op::kNAME || op == Op::kGET_PROPERTY || op == Op::kBUILDevent ||
         op == Op::kGETPROPERTYkey;
}

bool TakesPosition(Op op) {
  return op == Op::kRESETfile || op == Op::kRESETkey || op == Op::kREGETfile || op == Op::kREGETkey;
}

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

}  // namespace

const OpEntry& EntryFor(Op op) {
  const auto code = static_cast<size_t>(op);
  return TheTable()[code < kOpCount ? code : 0];
}

int32_t CheckPreconditions(FileBlock& block, Op op, const OpArgs& args) {
  namespace err = runtime::err;
  const OpEntry& e = EntryFor(op);
  const uint32_t state = block.state;

  if (args.key != nullptr && args.key->file != block.decl) return err::kInvalidKeyFile;
  // A key operation without a key cannot be carried out; refusing it here keeps every driver from
  // having to guard against it.
  if ((e.required & sb::kInView) && args.key == nullptr) return err::kInvalidKeyFile;

  const uint32_t missing = e.required & ~state & ~sb::kInView;
  if (missing == 0) {
    if (e.required & sb::kInView) {
      const KeySlot* slot = block.SlotOf(args.key);
      if (slot != nullptr && slot->must_be_built && !slot->built) return err::kKeyMustBeRebuilt;
    }
    if ((state & sb::kBuildRunning) && !AllowedDuringBuild(op)) return err::kBuildInProgress;
    const uint32_t present = state & e.forbidden;
    if (present & sb::kOpen) return err::kFileAlreadyOpen;
    if (present & sb::kLogout) return err::kLogoutActive;
    if (present != 0) return err::kSilent;
  } else {
    if (missing & sb::kOpen) return err::kFileNotOpen;
    if (!(state & sb::kOpen)) return 0;
    if (missing & (sb::kCurrent | sb::kSequence)) return err::kRecordNotAvailable;
    if (missing & sb::kExclusive) return err::kExclusiveRequired;
    if (missing & sb::kWritable) return err::kAccessDenied;
    return err::kSilent;
  }
  if (TakesPosition(op) && IsBlank(args.position)) return err::kRecordNotFound;
  return 0;
}

void UpdateState(FileBlock& block, Op op, const OpArgs& args, int32_t error,
                 bool refused_by_check) {
  const OpEntry& e = EntryFor(op);
  uint32_t& state = block.state;
  block.status = 0;
  if (error != 0) {
    // A refusal never discards the block of an open file: the driver still holds the file open,
    // and dropping its state would leave the file open with nobody to close it (CLOSE while a
    // LOGOUT is active, COPY or OPEN while a build runs).
    const bool keep = refused_by_check && (state & sb::kOpen);
    const bool discarding_op =
        (e.flags & status_bit::kDiscardBlock) || op == Op::kOPEN || op == Op::kSHARE;
    if (error == runtime::err::kFileNotOpen ||
        (discarding_op && error != runtime::err::kFileAlreadyOpen && !keep)) {
      block.status |= status_bit::kDiscardBlock;
    }
    state &= ~e.cleared_on_failure;
    state &= ~(sb::kWatchRequested | sb::kWatched);
    // A failed read ends a hold as it ends a watch: the read that was to carry out the request
    // has been made, and the previous record is no longer current.
    if (IsRecordRead(op)) state &= ~(sb::kHoldRequested | sb::kHeld);
    return;
  }
  if ((e.cleared_on_success & sb::kWatchRequested) && (state & sb::kWatchRequested)) {
    state |= sb::kWatched;
  }
  if ((e.cleared_on_success & sb::kHoldRequested) && (state & sb::kHoldRequested)) {
    state |= sb::kHeld;
  }
  state |= e.set_on_success & ~sb::kInView;
  state &= ~(e.cleared_on_success & ~sb::kInView);
  if (args.key != nullptr) {
    if (KeySlot* slot = block.SlotOf(args.key); slot != nullptr && slot->must_be_built) {
      if (e.set_on_success & sb::kInView) slot->built = true;
      if (e.cleared_on_success & sb::kInView) slot->built = false;
    }
  }
  if (op == Op::kCLOSE) {
    for (KeySlot& slot : block.keys) slot.built = false;
  }
  // A rebuilt INDEX can be used: BUILDkey builds the key passed, BUILDfile every key. Without
  // this an INDEX could never be used, since only the dynamic builds mark a key built above.
  if (op == Op::kBUILDkey || op == Op::kBUILDfile) {
    for (KeySlot& slot : block.keys) {
      if (op == Op::kBUILDfile || slot.decl == args.key) slot.built = true;
    }
  }
  switch (op) {
    case Op::kINVIEW:
      state |= sb::kInView;
      break;
    case Op::kENDVIEW:
      state &= ~sb::kInView;
      break;
    case Op::kOPEN:
    case Op::kSHARE: {
      const auto mode = static_cast<uint8_t>(args.mode);
      block.access_mode = mode;
      state &= ~(sb::kWritable | sb::kExclusive);
      if (ModeIsWritable(mode)) state |= sb::kWritable;
      if (ModeIsExclusive(mode)) state |= sb::kExclusive;
      break;
    }
    case Op::kUNLOCK:
      // LOCK made the file exclusive for as long as it is locked; afterwards only the open's own
      // sharing makes it so, or a shared file would still pass the exclusive-access check.
      if (!ModeIsExclusive(block.access_mode)) state &= ~sb::kExclusive;
      break;
    default:
      break;
  }
  block.status |= e.flags;
  if (block.status & status_bit::kRecordLastOp) block.last_op = op;
}

}  // namespace pellucor::data
