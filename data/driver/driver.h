// The driver interface: one entry (Dispatch) through which every file statement and every read a
// VIEW makes reaches the driver that serves the file.
//
// Dispatch runs, for every call:
//   1. QUERY_VIEW answers 0 at once (views are executed by the VIEW engine, never by a driver).
//   2. A file without a driver file block gets one: this layer fills it from the declaration and
//      reads the trace switches, then the driver's CreateState adds its own per-file state. A
//      failure returns the error and leaves the file without a block.
//   3. The precondition table (precondition.h) checks the state word; a refusal ends the call.
//   4. With the trace on, the start time is taken.
//   5. The driver's Handle runs (lock waits, deferred builds, SEND "REGISTER", the entry point
//      query (91) and the errors this layer decides are handled around it, see below).
//   6. With the trace on, one trace entry is written.
//   7. The state word is updated from the table; the block is discarded when the status says so.
//   8. The file's last error is set (0 for a silent failure); a success clears the error state
//      when the operation's entry asks for it.
//   9. A non-zero error other than -1 is posted to the error state with the file. BOF and EOF
//      answer 1 (true) whenever they fail.
//
// Writing a driver (the Kestrune and ASCII drivers do this):
//   - derive from Driver; Name() is what SEND "REGISTER" returns ("KESTRUNE"), ProfileSection()
//     the system profile section of the trace switches ("QNKESTRUNE"), DefaultTraceFile() the
//     trace file when "TraceFile" is not set ("KESTRUNE.LOG");
//   - CreateState makes the driver's per-file state (DriverFileState subclass) when the block is
//     created; a declaration the driver cannot serve fails here (47 beyond its limits, 8 for a
//     failed allocation);
//   - Handle carries out one operation and returns its OpResult. An operation the driver does not
//     implement returns Unsupported() (error 80). Handle never posts errors itself: it returns the
//     code, and Dispatch posts it (a driver-level description goes through
//     runtime::SetFileError with error 90). Handle may read and change block.state for the bits
//     the table does not manage, but the table's own bits are Dispatch's business.
//   - LOCKfile and LOCKfilesec reach Handle as single lock attempts (return 32 when another
//     program holds the lock); Dispatch repeats them. HOLDfile and HOLDfilesec arrive with
//     args.seconds -1 (no limit) or the limit; the driver records the request and the next read
//     carries it out.
//   - BUILDfile, BUILDkey, BUILDdyn, BUILDdynfilter and PACK reach Handle when they run: at once,
//     or from BUILDevent when builds are deferred (block.state has state_bit::kBuildRunning then).
//   - INVIEW and ENDVIEW reach Handle; the "in a view" bit is kept by Dispatch on success.
//   - CLEAR never reaches Handle: Dispatch clears the buffer itself (ClearRecord). Nor do
//     SETview and RESETviewfile, which on the file only mark the sequence (the VIEW engine
//     executes views itself).
//   - A failed read (GET, NEXT, PREVIOUS, REGET) ends a hold and a hold request in the state
//     word, as it ends a watch; a driver drops its own hold request on such a failure too.
//   - The completion routine of a build (args.on_build_done) is called once the call is over,
//     whether the build ran at once or from BUILDevent. Without a DeferredBuildPoster
//     installed, builds run at once even when deferred.
//   - OPEN, SHARE and CREATE arrive with args.mode holding the access mode byte; an empty name
//     (45) and CREATE without the CREATE attribute (54) never reach Handle.
//
// Threads: the run lock lets one program thread at a time call Dispatch; nothing here is locked.
// A THREAD file has one block (and one record buffer) per thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "data/driver/op_codes.h"

namespace pellucor::data {

// The state word of a file.
namespace state_bit {
inline constexpr uint32_t kOpen = 0x00001;
inline constexpr uint32_t kCurrent = 0x00002;  // a record is current (read or added)
inline constexpr uint32_t kLogout = 0x00004;   // a LOGOUT transaction is active
inline constexpr uint32_t kStream = 0x00008;
inline constexpr uint32_t kLocked = 0x00010;    // locked by this program
inline constexpr uint32_t kSequence = 0x00020;  // a sequence has been set (SET or RESET)
inline constexpr uint32_t kWritable = 0x00040;
inline constexpr uint32_t kExclusive = 0x00080;  // denying writes to others, or locked
inline constexpr uint32_t kInView = 0x00100;     // between INVIEW and ENDVIEW
inline constexpr uint32_t kWatchRequested = 0x00200;
inline constexpr uint32_t kWatched = 0x00400;
inline constexpr uint32_t kHoldRequested = 0x00800;
inline constexpr uint32_t kHeld = 0x01000;
inline constexpr uint32_t kNewSequence = 0x02000;  // views reading this file must start again
inline constexpr uint32_t kBuildRunning = 0x04000;
inline constexpr uint32_t kBuildsDeferred = 0x08000;
inline constexpr uint32_t kOptionsSet = 0x10000;  // driver options have been set
}  // namespace state_bit

// The status of one operation: the entry's flags, plus the discard bit set by failures.
namespace status_bit {
inline constexpr uint32_t kClearErrors = 0x1;   // clear the error state after a success
inline constexpr uint32_t kDiscardBlock = 0x2;  // discard the driver file block afterwards
inline constexpr uint32_t kRecordLastOp = 0x4;  // remember as the file's last operation
}  // namespace status_bit

// The access mode byte of OPEN and SHARE.
namespace access_mode {
inline constexpr uint8_t kReadOnly = 0x00;
inline constexpr uint8_t kWriteOnly = 0x01;
inline constexpr uint8_t kReadWrite = 0x02;
inline constexpr uint8_t kAccessMask = 0x03;
inline constexpr uint8_t kCompat = 0x00;
inline constexpr uint8_t kDenyAll = 0x10;
inline constexpr uint8_t kDenyWrite = 0x20;
inline constexpr uint8_t kDenyRead = 0x30;
inline constexpr uint8_t kDenyNone = 0x40;
inline constexpr uint8_t kShareMask = 0x70;
}  // namespace access_mode

constexpr bool ModeIsWritable(uint8_t mode) {
  return (mode & access_mode::kAccessMask) != 0;
}
constexpr bool ModeIsExclusive(uint8_t mode) {
  const uint8_t share = mode & access_mode::kShareMask;
  return share == access_mode::kDenyAll || share == access_mode::kDenyWrite;
}

// The window message that carries a deferred build to the program's main window.
inline constexpr uint32_t kDeferredBuildMessage = 0x2420;

// The trace switches of a file, read from the driver's system profile section when its block is
// made.
struct TraceSwitches {
  bool on = false;
  std::string file;  // trace file name
  bool details = false;
};

// How a call reaches the trace. The VIEW engine traces its own file operations only when its
// "TraceIntoFiles" switch is on.
enum class TraceRoute : uint8_t { kTraced, kUntraced };

// The arguments of one operation. Which members an operation reads:
//   key                every `key` operation (SETkey, SETkeykey, GETfilekey, RECORDSkey,
//                      BUILDkey, BUILDdyn..., POSITIONkey, RESETkey, REGETkey, QUERY_KEY,
//                      DUPLICATEkey, key properties)
//   pointer            record pointers: GETfileptr(len), SETfileptr, PUTfileptr(len); a key-entry
//                      pointer for GETkeyptr, SETkeyptr and SETkeykeyptr
//   length             the `len` operations (ADDfilelen, APPENDlen, GETfileptrlen,
//                      PUTfileptrlen)
//   seconds            HOLDfilesec and LOCKfilesec (-1 for HOLDfile and LOCKfile)
//   count              SKIP (records to move, negative backwards), COUNTRECORDS (the number to
//                      compare with), BUFFER (rows to read ahead)
//   mode               OPEN, SHARE, CREATE: the access mode byte; CLEAR: 0 blank, 1 highest,
//                      -1 lowest
//   index              memo or blob number (BLOB_*), field number (NULL, SETNULL, SETNONULL),
//                      property index
//   text               SEND: the option text; COPY, RENAME: the new name; BUILDdyn,
//                      BUILDdynfilter: the component text; properties: the property name
//   value              SET_PROPERTY, SETPROPERTYkey: the value; BUILDdynfilter: the filter
//   position           RESETfile, RESETkey, REGETfile, REGETkey, RESETviewfile: a position text
//                      that POSITIONfile or POSITIONkey returned (all blanks: no position)
//   bytes              BLOB_TAKE: the contents to take
//   on_build_done      the completion routine of a build (called with its result)
//   entry_test         NEXT and PREVIOUS in a key sequence: see EntryTest
// A test that a read in a key sequence (NEXT, PREVIOUS) may make on each key entry before it
// reads the entry's record. A driver that can tell the key's component values from the entry
// writes them into their fields of the record buffer (the text of a NOCASE key upper-cased, as
// UPPER would make it) and calls `accept`; an entry refused is passed over without its record
// being read, and the read goes on with the next one. A driver that cannot, reads every record
// (the caller tests the record itself anyway). When the read succeeds the record buffer holds
// the record read; when it ends with 33 the key's fields hold what they held before.
// REQUIRES: `accept` reads only the key's component fields (a NOCASE text one through UPPER).
struct EntryTest {
  std::function<bool()> accept;
};

struct OpArgs {
  const KeyDecl* key = nullptr;
  uint32_t pointer = 0;
  uint32_t length = 0;
  int32_t seconds = -1;
  int32_t count = 0;
  int32_t mode = 0;
  int32_t index = 0;
  std::string text;
  std::string value;
  std::string position;
  std::vector<uint8_t> bytes;
  std::function<void(int32_t result)> on_build_done;
  const EntryTest* entry_test = nullptr;
  TraceRoute trace = TraceRoute::kTraced;
};

// The result of one operation. `error` is 0 for success, -1 for a silent failure, else the code.
// `value` holds counts, flags (BOF, EOF, DUPLICATE, NULL: 1 true), record pointers (POINTERfile,
// POINTERkey), sizes (BYTES, BLOB_SIZE) and indexes (QUERY_KEY); `text` holds the texts
// (NAME, SEND, GET_PROPERTY, POSITIONfile, POSITIONkey); `bytes` the contents of BLOB_YIELD.
struct OpResult {
  int32_t error = 0;
  int64_t value = 0;
  std::string text;
  std::vector<uint8_t> bytes;
  const void* pointer = nullptr;  // Internal 91: the serving Driver

  static OpResult Fail(int32_t code) {
    OpResult r;
    r.error = code;
    return r;
  }
  static OpResult Text(std::string text) {
    OpResult r;
    r.text = std::move(text);
    return r;
  }
  static OpResult Value(int64_t value) {
    OpResult r;
    r.value = value;
    return r;
  }
};

// What a driver keeps per file beyond this layer's block (open handles, sequence state, ...).
class DriverFileState {
 public:
  virtual ~DriverFileState() = default;
};

// The run-time state of one declared file, from its first operation until it is discarded.
// The dispatcher creates, discards and rebuilds it; drivers read it and keep their own state in
// driver_state.
struct KeySlot {
  const KeyDecl* decl = nullptr;
  bool must_be_built = false;  // INDEX or dynamic index
  bool built = false;
};
struct MemoSlot {
  const MemoDecl* decl = nullptr;
  std::vector<uint8_t>* buffer = nullptr;  // the calling thread's memo buffer
  uint32_t flags = 0;
};
struct DeferredBuild {
  bool pending = false;
  Op op = Op::kNone;
  OpArgs args;
};

struct FileBlock {
  FileDecl* decl = nullptr;
  Driver* driver = nullptr;
  std::string name;        // the name text when the block was made
  uint8_t attributes = 0;  // attr bits (the declaration's shifted down by one)
  uint8_t* record = nullptr;
  uint32_t record_length = 0;
  RecordLayout layout;  // decoded record descriptor
  std::vector<MemoSlot> memos;
  std::vector<KeySlot> keys;
  uint8_t access_mode = 0;  // of the last successful OPEN or SHARE
  uint32_t status = 0;      // of the operation in progress
  uint32_t state = 0;       // state_bit word
  Op last_op = Op::kNone;   // the last sequence operation (entries with status bit 0x4)
  int32_t last_error = 0;
  TraceSwitches trace;
  DeferredBuild deferred;
  std::unique_ptr<DriverFileState> driver_state;

  // The slot of a key of this file, or nullptr.
  KeySlot* SlotOf(const KeyDecl* key);
  template <typename T>
  T* StateAs() {
    return static_cast<T*>(driver_state.get());
  }
};

class Driver {
 public:
  virtual ~Driver() = default;
  // The name SEND "REGISTER" returns ("KESTRUNE", "ASCII").
  virtual std::string_view Name() const = 0;
  // The system profile section with the trace switches ("QNKESTRUNE", "QNASCII").
  virtual std::string_view ProfileSection() const = 0;
  virtual std::string_view DefaultTraceFile() const = 0;
  // Makes the driver's per-file state when a block is created. Returns 0, or the error that
  // leaves the file without a block. The default keeps no state.
  virtual int32_t CreateState(FileBlock& block, std::unique_ptr<DriverFileState>* state);
  // Carries out one operation (see the notes at the top of this file).
  virtual OpResult Handle(FileBlock& block, Op op, OpArgs& args) = 0;

  static OpResult Unsupported() { return OpResult::Fail(80); }
};

// The driver entry. REQUIRES: file.driver is set; the caller holds the run lock.
OpResult Dispatch(FileDecl& file, Op op, OpArgs& args);
OpResult Dispatch(FileDecl& file, Op op);

// The hook through which a deferred build reaches the program's main window: it posts message
// kDeferredBuildMessage with the file as its argument. The window engine installs it; when the
// message arrives it calls Dispatch(file, Op::kBUILDevent). Returns the previous hook.
using DeferredBuildPoster = std::function<void(uint32_t message, FileDecl* file)>;
DeferredBuildPoster SetDeferredBuildPoster(DeferredBuildPoster poster);

// Tells whether a SET or RESET was made on the file since the last call, and forgets it (state
// bit 0x2000). A view calls it before each read to notice that its sequence must start again,
// and after its own positioning of the file.
[[nodiscard]] bool TakeNewSequence(FileDecl& file);

// Defers the builds of a file to an event (sets state bit 0x8000), making its block when it has
// none. Returns 0 or the error of making the block. Call it once the file is open: OPEN makes
// the block of a file that is not open anew, which drops the deferral.
[[nodiscard]] int32_t DeferBuilds(FileDecl& file);

// Clears the record buffer field by field by type and then every memo: mode 0 blank, 1 highest,
// -1 lowest. A BLOB is emptied by mode 0, a BINARY memo is filled with lowest values by mode 0,
// every other memo is cleared with the mode. This is what CLEAR does (Dispatch calls it).
void ClearRecord(FileBlock& block, int32_t mode);

// The options of a driver string: each introduced by "/", a value in double quotes may hold "/".
// Returned trimmed, without the "/".
std::vector<std::string> SplitDriverOptions(std::string_view driver_string);

}  // namespace pellucor::data
