// The driver entry: the nine steps every operation runs (listed atop driver.h).
#include <cctype>
#include <utility>

#include "data/driver/driver.h"
#include "data/driver/precondition.h"
#include "data/driver/trace.h"
#include "platform/clock.h"
#include "runtime/core/error_state.h"

namespace pellucor::data {
namespace {

namespace sb = state_bit;
namespace err = runtime::err;

DeferredBuildPoster& Poster() {
  static DeferredBuildPoster poster;
  return poster;
}

// Operations before which an idle block (neither open nor holding driver options) is made anew,
// so that they see the name the program holds now and the trace switches as they are now.
bool RenewsIdleBlock(Op op) {
  switch (op) {
    case Op::kOPEN:
    case Op::kSHARE:
    case Op::kCREATE:
    case Op::kCOPY:
    case Op::kREMOVE:
    case Op::kRENAME:
    case Op::kNAME:
    case Op::kBUILDfile:
    case Op::kBUILDkey:
    case Op::kSEND:
    case Op::kSET_PROPERTY:
    case Op::kGET_PROPERTY:
    case Op::kSETPROPERTYkey:
    case Op::kGETPROPERTYkey:
    case Op::kDO_PROPERTY:
    case Op::kDOPROPERTYkey:
    case Op::kDOPROPERTYblob:
      return true;
    default:
      return false;
  }
}

int32_t MakeBlock(FileDecl& file, std::unique_ptr<FileBlock>* slot) {
  if (file.driver == nullptr || !file.well_formed) return err::kInvalidRecordDeclaration;
  auto layout = DecodeRecordDescriptor(file.record_descriptor);
  if (!layout || layout->total_size != file.record_length) {
    return err::kInvalidRecordDeclaration;
  }
  auto block = std::make_unique<FileBlock>();
  block->decl = &file;
  block->driver = file.driver;
  block->name = file.CurrentName();
  block->attributes = BlockAttributes(file.attributes);
  block->record = file.RecordBuffer();
  block->record_length = file.record_length;
  block->layout = std::move(*layout);
  for (size_t i = 0; i < file.memos.size(); ++i) {
    MemoSlot memo;
    memo.decl = &file.memos[i];
    memo.buffer = &file.MemoBuffer(i);
    memo.flags = file.memos[i].flags;
    block->memos.push_back(memo);
  }
  for (const auto& key : file.keys) {
    KeySlot slot;
    slot.decl = key.get();
    slot.must_be_built = key->MustBeBuilt();
    block->keys.push_back(slot);
  }
  block->trace = ReadTraceSwitches(*file.driver, file);
  if (const int32_t e = file.driver->CreateState(*block, &block->driver_state); e != 0) return e;
  if (block->trace.on) AppendToTrace(*block, FormatDeclaration(*block));
  *slot = std::move(block);
  return 0;
}

bool IsRegister(const std::string& text) {
  std::string t;
  for (char c : text) {
    if (c != ' ') t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return t == "REGISTER";
}

// Step 5: the driver's handler, with what this layer does around it. A completion routine of a
// build is handed back in *completion, to be called once the whole call is over (it may well
// use the file again).
OpResult Run(FileDecl& file, FileBlock& block, Op op, OpArgs& args,
             std::function<void(int32_t)>* completion) {
  Driver& driver = *block.driver;
  switch (op) {
    case Op::kOPEN:
    case Op::kSHARE:
      if (block.name.empty()) return OpResult::Fail(err::kInvalidFilename);
      break;
    case Op::kCREATE:
      if (!(block.attributes & attr::kCreate)) return OpResult::Fail(err::kNoCreateAttribute);
      break;
    case Op::kSEND:
      if (IsRegister(args.text)) return OpResult::Text(std::string(driver.Name()));
      break;
    case Op::kInternalEntry: {
      OpResult r;
      r.pointer = &driver;
      return r;
    }
    case Op::kCLEAR:
      ClearRecord(block, args.mode);
      return {};
    case Op::kSETview:
    case Op::kRESETviewfile:
      // The VIEW engine executes views itself; on the file these only mark the sequence.
      return {};
    case Op::kHOLDfile:
      args.seconds = -1;
      break;
    case Op::kLOCKfile: {
      OpResult r = driver.Handle(block, op, args);
      while (r.error == err::kFileLocked) {
        platform::SleepMilliseconds(1000);
        r = driver.Handle(block, op, args);
      }
      return r;
    }
    case Op::kLOCKfilesec: {
      const int64_t deadline = platform::MonotonicHundredths() + 100 * int64_t{args.seconds};
      for (;;) {
        OpResult r = driver.Handle(block, op, args);
        if (r.error == 0 || platform::MonotonicHundredths() >= deadline) return r;
        platform::SleepMilliseconds(1000);
      }
    }
    case Op::kBUILDevent: {
      if (!block.deferred.pending) return {};
      DeferredBuild build = std::move(block.deferred);
      block.deferred = {};
      block.state |= sb::kBuildRunning;
      OpResult r = driver.Handle(block, build.op, build.args);
      block.state &= ~sb::kBuildRunning;
      if (r.error == 0) {
        // The table marks keys built by the operation's own code; a deferred build ran under
        // BUILDevent's, so its key is marked here.
        for (KeySlot& key : block.keys) {
          if (build.op == Op::kBUILDfile || (build.op != Op::kPACK && key.decl == build.args.key)) {
            key.built = true;
          }
        }
      }
      *completion = std::move(build.args.on_build_done);
      return r;
    }
    default:
      break;
  }
  if (IsDeferrableBuild(op) && (block.state & sb::kBuildsDeferred) && Poster()) {
    block.state &= ~sb::kBuildsDeferred;
    block.deferred.pending = true;
    block.deferred.op = op;
    block.deferred.args = args;
    Poster()(kDeferredBuildMessage, &file);
    return {};
  }
  OpResult r = driver.Handle(block, op, args);
  if (IsDeferrableBuild(op)) *completion = args.on_build_done;
  return r;
}

}  // namespace

int32_t Driver::CreateState(FileBlock&, std::unique_ptr<DriverFileState>* state) {
  state->reset();
  return 0;
}

DeferredBuildPoster SetDeferredBuildPoster(DeferredBuildPoster poster) {
  return std::exchange(Poster(), std::move(poster));
}

int32_t DeferBuilds(FileDecl& file) {
  std::unique_ptr<FileBlock>& slot = file.BlockSlot();
  if (!slot) {
    if (const int32_t e = MakeBlock(file, &slot); e != 0) return e;
  }
  slot->state |= sb::kBuildsDeferred;
  return 0;
}

bool TakeNewSequence(FileDecl& file) {
  FileBlock* block = file.Block();
  if (block == nullptr || !(block->state & sb::kNewSequence)) return false;
  block->state &= ~sb::kNewSequence;
  return true;
}

OpResult Dispatch(FileDecl& file, Op op) {
  OpArgs args;
  return Dispatch(file, op, args);
}

OpResult Dispatch(FileDecl& file, Op op, OpArgs& args) {
  if (op == Op::kQUERY_VIEW) return {};  // 1

  std::unique_ptr<FileBlock>& slot = file.BlockSlot();
  if (slot && RenewsIdleBlock(op) && !(slot->state & (sb::kOpen | sb::kOptionsSet))) {
    slot.reset();
  }
  if (!slot) {  // 2
    if (const int32_t e = MakeBlock(file, &slot); e != 0) {
      if (e != err::kSilent) runtime::PostError(e, &file);
      OpResult failed = OpResult::Fail(e);
      if (op == Op::kBOF || op == Op::kEOF) failed.value = 1;
      return failed;
    }
  }
  FileBlock& block = *slot;

  OpResult result;
  std::function<void(int32_t)> completion;
  int32_t error = CheckPreconditions(block, op, args);  // 3
  const bool refused = error != 0;
  if (!refused) {
    const bool traced = block.trace.on && args.trace == TraceRoute::kTraced;
    const int64_t start = traced ? platform::MonotonicHundredths() : 0;  // 4
    result = Run(file, block, op, args, &completion);                    // 5
    error = result.error;
    if (traced) {  // 6
      const int64_t taken = platform::MonotonicHundredths() - start;
      AppendToTrace(block, FormatTraceEntry(block, op, args, result, taken));
    }
  }
  UpdateState(block, op, args, error, refused);          // 7
  block.last_error = error == err::kSilent ? 0 : error;  // 8
  if (error == 0 && (block.status & status_bit::kClearErrors)) runtime::ClearError();
  if (error != 0 && error != err::kSilent) runtime::PostError(error, &file);  // 9
  result.error = error;
  if ((op == Op::kBOF || op == Op::kEOF) && error != 0) result.value = 1;
  if (block.status & status_bit::kDiscardBlock) slot.reset();
  if (completion) completion(error);
  return result;
}

std::vector<std::string> SplitDriverOptions(std::string_view driver_string) {
  std::vector<std::string> options;
  std::string current;
  bool quoted = false, started = false;
  auto finish = [&] {
    size_t b = current.find_first_not_of(' ');
    size_t e = current.find_last_not_of(' ');
    options.push_back(b == std::string::npos ? std::string() : current.substr(b, e - b + 1));
    current.clear();
  };
  for (char c : driver_string) {
    if (c == '"') quoted = !quoted;
    if (c == '/' && !quoted) {
      if (started) finish();
      started = true;
      continue;
    }
    if (started) current += c;
  }
  if (started) finish();
  std::erase_if(options, [](const std::string& o) { return o.empty(); });
  return options;
}

}  // namespace pellucor::data
