// The ASCII driver's entry: opening and closing, the sequence, and the operations on whole files.
#include "data/ascii/ascii_driver.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "data/ascii/ascii_state.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"

namespace pellucor::data {
namespace {

using ascii::AsciiFileState;
namespace sw = ascii::switch_bit;
namespace err = runtime::err;

int32_t SystemFailure(const platform::Status& status) {
  return err::kSystemBase + status.error;
}

// An open that fails answers the file errors the callers act on (2: create the file when
// allowed; 5: try again after "Recover="; 32: another program has it), and 300 plus the system
// error for the rest.
int32_t OpenFailure(const platform::Status& status) {
  namespace se = platform::syserr;
  switch (status.error) {
    case se::kFileNotFound:
    case se::kPathNotFound:
    case se::kTooManyOpenFiles:
    case se::kAccessDenied:
    case se::kInsufficientMemory:
      return status.error;
    case se::kSharingViolation:
      return err::kFileLocked;
    default:
      return SystemFailure(status);
  }
}

// The record pointer of the line at `offset`, in the 4 bytes a position holds.
constexpr uint64_t kMaxPointer = 0xFFFFFFFFu;

std::string PositionText(uint64_t pointer) {
  std::string text(4, '\0');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((pointer >> (8 * i)) & 0xFF);
  return text;
}

// The record pointer a position holds, or 0 when it holds none.
uint64_t PointerOf(const std::string& position) {
  if (position.size() < 4) return 0;
  uint64_t pointer = 0;
  for (int i = 0; i < 4; ++i) pointer |= uint64_t{static_cast<uint8_t>(position[i])} << (8 * i);
  return pointer;
}

// The read buffer an open starts with: larger for opens that keep others from writing.
size_t DefaultBufferSize(uint8_t mode, uint32_t record_length) {
  const size_t base = ModeIsExclusive(mode) ? 1024 : 512;
  return std::max<size_t>(base, size_t{2} * record_length);
}

bool DeniesOthers(uint8_t mode) {
  const uint8_t share = mode & access_mode::kShareMask;
  return share == access_mode::kDenyAll || share == access_mode::kDenyWrite ||
         share == access_mode::kDenyRead;
}

class Handler {
 public:
  Handler(AsciiDriver& driver, FileBlock& block, AsciiFileState& state)
      : driver_(driver), block_(block), state_(state) {}

  OpResult Run(Op op, OpArgs& args);

 private:
  OpResult Open(const OpArgs& args);
  OpResult Close();
  OpResult Create();
  OpResult Copy(const std::string& to);
  OpResult Remove();
  OpResult Rename(const std::string& to);
  OpResult Send(const std::string& text);
  OpResult Lock();
  OpResult Unlock();
  OpResult Empty();
  OpResult Bytes();
  OpResult Eof();
  bool IsOpen() const { return state_.file != nullptr; }
  const std::string& Path() const { return block_.name; }

  AsciiDriver& driver_;
  FileBlock& block_;
  AsciiFileState& state_;
};

OpResult Handler::Run(Op op, OpArgs& args) {
  using enum Op;
  // Every operation on the lines needs the file open; the precondition table sees to that, but a
  // block whose open failed half way must never reach a null file.
  switch (op) {
    case kOPEN:
    case kSHARE:
      return Open(args);
    case kCREATE:
      return Create();
    case kCOPY:
      return Copy(args.text);
    case kREMOVE:
      return Remove();
    case kRENAME:
      return Rename(args.text);
    case kNAME:
      return OpResult::Text(block_.name);
    case kSEND:
      return Send(args.text);
    case kGET_PROPERTY:
      return Send(args.text.substr(0, args.text.find('=')));
    case kSET_PROPERTY:
      return Send(args.text + "=" + args.value);
    case kGETPROPERTYkey:
    case kSETPROPERTYkey:
      return OpResult::Text({});  // a text file has no keys and so no key properties
    case kQUERY_KEY:
    case kQUERY_VIEW:
    case kCOUNTRECORDS:
      return OpResult::Value(0);
    case kINVIEW:
    case kENDVIEW:
      return {};
    default:
      break;
  }
  const bool line_op = op == kCLOSE || op == kSETfile || op == kSETfileptr || op == kNEXT ||
                       op == kGETfileptrlen || op == kREGETfile || op == kRESETfile ||
                       op == kPOSITIONfile || op == kPOINTERfile || op == kEOF || op == kADD ||
                       op == kADDfilelen || op == kAPPEND || op == kAPPENDlen || op == kPUT ||
                       op == kPUTfileptr || op == kPUTfileptrlen || op == kEMPTY || op == kBYTES ||
                       op == kLOCKfile || op == kLOCKfilesec || op == kUNLOCK || op == kFLUSH;
  if (!line_op) return Driver::Unsupported();
  if (!IsOpen()) return OpResult::Fail(op == kCLOSE ? 0 : err::kFileNotOpen);

  switch (op) {
    case kCLOSE:
      return Close();
    case kSETfile:
      state_.next_position = 0;
      state_.switches &= ~sw::kCurrent;
      return {};
    case kSETfileptr:
      state_.next_position = args.pointer == 0 ? 0 : uint64_t{args.pointer} - 1;
      state_.switches &= ~sw::kCurrent;
      return {};
    case kRESETfile: {
      const uint64_t pointer = PointerOf(args.position);
      if (pointer == 0) return OpResult::Fail(err::kRecordNotFound);
      state_.next_position = pointer - 1;
      state_.switches &= ~sw::kCurrent;
      return {};
    }
    case kNEXT:
      return OpResult::Fail(
          ascii::ReadRecordAt(block_, state_, state_.next_position, block_.record_length));
    case kGETfileptrlen:
      if (args.pointer == 0) return OpResult::Fail(err::kRecordNotAvailable);
      return OpResult::Fail(
          ascii::ReadRecordAt(block_, state_, uint64_t{args.pointer} - 1, args.length));
    case kREGETfile: {
      const uint64_t pointer = PointerOf(args.position);
      if (pointer == 0) return OpResult::Fail(err::kRecordNotFound);
      return OpResult::Fail(ascii::ReadRecordAt(block_, state_, pointer - 1, block_.record_length));
    }
    case kPOSITIONfile:
    case kPOINTERfile: {
      if (!(state_.switches & sw::kCurrent)) return OpResult::Fail(err::kRecordNotAvailable);
      const uint64_t pointer = state_.current_start + 1;
      if (op == kPOINTERfile) return OpResult::Value(static_cast<int64_t>(pointer));
      // A position holds 4 bytes: a line that starts beyond 4 GiB cannot be named by one.
      if (pointer > kMaxPointer) return OpResult::Fail(err::kRecordNotFound);
      return OpResult::Text(PositionText(pointer));
    }
    case kEOF:
      return Eof();
    case kADD:
    case kAPPEND:
      return OpResult::Fail(ascii::AppendRecord(block_, state_, block_.record_length));
    case kADDfilelen:
    case kAPPENDlen:
      return OpResult::Fail(ascii::AppendRecord(block_, state_, args.length));
    case kPUT:
      if (!(state_.switches & sw::kCurrent)) return OpResult::Fail(err::kRecordNotAvailable);
      return OpResult::Fail(ascii::PutRecordAt(block_, state_, state_.current_start,
                                               block_.record_length,
                                               ascii::AfterPut::kKeepSequence));
    case kPUTfileptr:
    case kPUTfileptrlen: {
      if (state_.switches & sw::kReadOnly) return OpResult::Fail(err::kAccessDenied);
      if (const int32_t e = ascii::RefreshSize(state_); e != 0) return OpResult::Fail(e);
      if (args.pointer == 0 || uint64_t{args.pointer} - 1 > state_.file_size) {
        return OpResult::Fail(err::kRecordNotAvailable);
      }
      const uint32_t length = op == kPUTfileptr ? block_.record_length : args.length;
      return OpResult::Fail(ascii::PutRecordAt(block_, state_, uint64_t{args.pointer} - 1, length,
                                               ascii::AfterPut::kFollowLine));
    }
    case kEMPTY:
      return Empty();
    case kBYTES:
      return Bytes();
    case kLOCKfile:
    case kLOCKfilesec:
      return Lock();
    case kUNLOCK:
      return Unlock();
    case kFLUSH:
      if (const platform::Status s = state_.file->file().Flush(); !s.ok()) {
        return OpResult::Fail(SystemFailure(s));
      }
      return {};
    default:
      return Driver::Unsupported();
  }
}

OpResult Handler::Open(const OpArgs& args) {
  const auto mode = static_cast<uint8_t>(args.mode);
  platform::Access access;
  platform::Share share;
  if (args.mode < 0 || args.mode > 0xFF || !platform::DecodeAccessMode(mode, &access, &share)) {
    return OpResult::Fail(err::kSystemBase + platform::syserr::kInvalidParameter);
  }
  std::unique_ptr<platform::File> file;
  if (const platform::Status s =
          driver_.env()->Open(Path(), access, share, platform::Disposition::kOpenExisting, &file);
      !s.ok()) {
    return OpResult::Fail(OpenFailure(s));
  }
  uint64_t size = 0;
  if (const platform::Status s = file->Size(&size); !s.ok()) {
    return OpResult::Fail(SystemFailure(s));
  }
  const uint32_t record_length = block_.record_length;
  std::vector<std::string> sent = std::move(state_.sent_while_closed);
  state_ = AsciiFileState{};
  state_.file = std::make_unique<ascii::LineFile>(std::move(file));
  state_.file_size = size;
  state_.buffer_size = DefaultBufferSize(mode, record_length);
  if (DeniesOthers(mode)) state_.switches |= sw::kQuickScan;
  // The driver string's options in their order, then those sent while the file was closed.
  if (block_.decl != nullptr && block_.decl->driver_string) {
    for (const std::string& option : SplitDriverOptions(*block_.decl->driver_string)) {
      (void)ascii::ApplyOption(state_, option, record_length);
    }
  }
  for (const std::string& option : sent) (void)ascii::ApplyOption(state_, option, record_length);
  state_.file->SetBufferSize(state_.buffer_size);
  if (!ModeIsWritable(mode)) state_.switches |= sw::kReadOnly;
  if ((mode & access_mode::kShareMask) == access_mode::kDenyNone) state_.switches |= sw::kShared;
  return {};
}

OpResult Handler::Close() {
  int32_t error = 0;
  while (state_.file->lock_depth() > 0) {
    if (const int32_t e = state_.file->ReleaseLock(); e != 0 && error == 0) error = e;
  }
  state_.file.reset();  // closing the descriptor drops every lock it still held
  state_.switches = 0;
  return OpResult::Fail(error);
}

OpResult Handler::Create() {
  std::unique_ptr<platform::File> file;
  const platform::Status s =
      driver_.env()->Open(Path(), platform::Access::kReadWrite, platform::Share::kDenyAll,
                          platform::Disposition::kCreateAlways, &file);
  if (!s.ok()) return OpResult::Fail(OpenFailure(s));
  return {};
}

OpResult Handler::Copy(const std::string& to) {
  if (to.empty()) return OpResult::Fail(err::kInvalidFilename);
  platform::Env& env = *driver_.env();
  std::unique_ptr<platform::File> from;
  if (const platform::Status s =
          env.Open(Path(), platform::Access::kRead, platform::Share::kDenyWrite,
                   platform::Disposition::kOpenExisting, &from);
      !s.ok()) {
    return OpResult::Fail(OpenFailure(s));
  }
  // Copying a file onto itself would empty it before a byte was read.
  std::error_code ec;
  if (std::filesystem::equivalent(Path(), to, ec) && !ec) {
    return OpResult::Fail(err::kSystemBase + platform::syserr::kSharingViolation);
  }
  std::unique_ptr<platform::File> out;
  if (const platform::Status s = env.Open(to, platform::Access::kWrite, platform::Share::kDenyAll,
                                          platform::Disposition::kCreateAlways, &out);
      !s.ok()) {
    return OpResult::Fail(OpenFailure(s));
  }
  std::vector<uint8_t> chunk(64 * 1024);
  uint64_t offset = 0;
  for (;;) {
    size_t got = 0;
    if (const platform::Status s = from->Read(offset, chunk.data(), chunk.size(), &got); !s.ok()) {
      return OpResult::Fail(SystemFailure(s));
    }
    if (got == 0) break;
    if (const platform::Status s = out->Write(offset, chunk.data(), got); !s.ok()) {
      return OpResult::Fail(SystemFailure(s));
    }
    offset += got;
  }
  if (const platform::Status s = out->Flush(); !s.ok()) return OpResult::Fail(SystemFailure(s));
  return {};
}

OpResult Handler::Remove() {
  if (const platform::Status s = driver_.env()->Remove(Path()); !s.ok()) {
    return OpResult::Fail(OpenFailure(s));
  }
  return {};
}

OpResult Handler::Rename(const std::string& to) {
  if (to.empty()) return OpResult::Fail(err::kInvalidFilename);
  platform::Env& env = *driver_.env();
  if (!env.Exists(Path())) return OpResult::Fail(err::kFileNotFound);
  // Renaming never replaces another file: that file's lines would be lost without a word.
  std::error_code ec;
  const bool same = std::filesystem::equivalent(Path(), to, ec) && !ec;
  if (!same && env.Exists(to)) {
    return OpResult::Fail(err::kSystemBase + platform::syserr::kFileExists);
  }
  if (const platform::Status s = env.Rename(Path(), to); !s.ok()) {
    return OpResult::Fail(OpenFailure(s));
  }
  return {};
}

OpResult Handler::Send(const std::string& text) {
  std::string answer = ascii::ApplyOption(state_, text, block_.record_length);
  if (!IsOpen() && text.find('=') != std::string::npos) state_.sent_while_closed.push_back(text);
  return OpResult::Text(std::move(answer));
}

OpResult Handler::Lock() {
  // A conflict answers 32, so that LOCKfile waits and LOCKfilesec tries again.
  return OpResult::Fail(state_.file->TakeLock());
}

OpResult Handler::Unlock() {
  if (state_.file->lock_depth() == 0) return {};
  return OpResult::Fail(state_.file->ReleaseLock());
}

OpResult Handler::Empty() {
  if (state_.switches & sw::kReadOnly) return OpResult::Fail(err::kAccessDenied);
  if (state_.switches & sw::kShared) {
    if (const int32_t e = state_.file->TakeLock(); e != 0) {
      return OpResult::Fail(e == err::kFileLocked ? err::kAccessDenied : e);
    }
  }
  const platform::Status s = state_.file->file().Truncate(0);
  if (state_.switches & sw::kShared) (void)state_.file->ReleaseLock();
  if (!s.ok()) return OpResult::Fail(SystemFailure(s));
  state_.file->Invalidate();
  state_.file_size = 0;
  state_.next_position = 0;
  state_.current_start = 0;
  state_.current_length = 0;
  state_.switches &= ~sw::kCurrent;
  state_.appended = true;  // nothing left to end the file
  state_.last_record_bytes = -1;
  return {};
}

OpResult Handler::Bytes() {
  if (state_.last_record_bytes >= 0) return OpResult::Value(state_.last_record_bytes);
  if (const int32_t e = ascii::RefreshSize(state_); e != 0) return OpResult::Fail(e);
  return OpResult::Value(static_cast<int64_t>(state_.file_size));
}

OpResult Handler::Eof() {
  bool at_end = true;
  if (const int32_t e = ascii::AtEndOfFile(state_, &at_end); e != 0) return OpResult::Fail(e);
  return OpResult::Value(at_end ? 1 : 0);
}

}  // namespace

int32_t AsciiDriver::CreateState(FileBlock& /*block*/, std::unique_ptr<DriverFileState>* state) {
  *state = std::make_unique<AsciiFileState>();
  return 0;
}

platform::Env* AsciiDriver::env() const {
  return settings_.env != nullptr ? settings_.env : platform::Env::Default();
}

OpResult AsciiDriver::Handle(FileBlock& block, Op op, OpArgs& args) {
  auto* state = block.StateAs<AsciiFileState>();
  if (state == nullptr) return OpResult::Fail(err::kFileNotOpen);
  return Handler(*this, block, *state).Run(op, args);
}

AsciiDriver& AsciiDriverInstance() {
  static AsciiDriver driver;
  return driver;
}

}  // namespace pellucor::data
