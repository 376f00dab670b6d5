// What the Kestrune driver keeps per physical file and per open table. Private to
// data/kestrune_driver/.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/driver/driver.h"
#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/key_value.h"
#include "data/kestrune/table_definition.h"
#include "data/pagefile/page_file.h"
#include "runtime/core/char_tables.h"

namespace pellucor::data::kdriver {

using kestrune::Bytes;

// Lock offsets, relative to kLockBase.
inline constexpr uint64_t kLockBase = uint64_t{1} << 31;
inline constexpr uint32_t kReaderSlots = 1023;
inline constexpr uint64_t kWriterByte = 1023;
inline constexpr uint64_t kNumberLockBase = 1025;

enum class SharingClass : uint8_t { kShared, kSingleWriter, kExclusive };

// One open file on disk, shared by every table of this process that is open in it.
struct PhysicalFile {
  std::string path;      // full path
  std::string list_key;  // full path, lower-cased: how the process-wide list finds it
  SharingClass sharing = SharingClass::kShared;
  bool may_write = false;
  std::unique_ptr<pagefile::PageFile> pf;
  int users = 0;

  // Switches of the operation in progress.
  bool header_checked = false;  // the header was checked in this operation
  bool slot_held = false;       // a reader slot is held for this operation
  bool range_held = false;      // all reader slots are held (a writer inside)
  uint32_t slot = 0;            // the reader slot to try next

  // Commits held back: by tables whose STREAM is active, by a LOGOUT transaction, by a build.
  int streams = 0;
  bool in_transaction = false;
  bool build_running = false;
  // The number locks (holds and table locks) this process holds, by number, with a use count:
  // an OFD lock cannot be taken twice by one open.
  std::vector<std::pair<uint32_t, int>> number_locks;

  bool ReadersElsewhere() const { return sharing != SharingClass::kExclusive; }
  // Whether somebody else may write the file while it is open here.
  bool OthersMayWrite() const { return sharing == SharingClass::kShared; }
  bool CommitsDeferred() const { return streams > 0 || in_transaction || build_running; }
};

// The memo of a table as read with the record (for PUT's comparison and the watch copy).
struct MemoImage {
  Bytes bytes;
};

enum class SequenceKind : uint8_t {
  kPhysicalInProgress = 0,
  kKeyInProgress = 1,
  kPhysicalFromEnd = 2,     // SETfile
  kPhysicalFromRecord = 3,  // SETfileptr, RESETfile
  kPhysicalFromKey = 4,     // SETfilekey
  kKeyFromEnd = 5,          // SETkey
  kKeyFromValueRecord = 6,  // SETkeykeyptr, RESETkey
  kKeyFromValue = 7,        // SETkeykey
  kKeyFromRecord = 8,       // SETkeyptr
  kNone = 9,
};

// Table flags (what the table holds besides the file block's state word).
namespace table_flag {
inline constexpr uint32_t kOpen = 0x1;
inline constexpr uint32_t kHoldRequested = 0x2;
inline constexpr uint32_t kHeld = 0x4;
inline constexpr uint32_t kWatchRequested = 0x8;
inline constexpr uint32_t kWatched = 0x10;
inline constexpr uint32_t kMemosNotRead = 0x40;
inline constexpr uint32_t kFullBuild = 0x100;
}  // namespace table_flag

// A dynamic index built by BUILDdyn or BUILDdynfilter. Its entries live in memory for as long as
// the table is open: CLOSE drops them with the table, and writes do not maintain them (like an
// INDEX, it shows the data as it was when it was built).
struct DynamicIndex {
  const KeyDecl* key = nullptr;
  std::string components;                // the component text it was built from
  kestrune::TableDefinition definition;  // the table's fields and this index as its only key
  kestrune::KeyContext context;          // points into definition
  // (key value with the record number appended, record number), sorted by key value.
  std::vector<std::pair<Bytes, kestrune::RecordNumber>> entries;
};

// One FILE that is open (or being opened): lives in the driver file block.
struct OpenTable : DriverFileState {
  ~OpenTable() override;

  std::shared_ptr<PhysicalFile> file;
  kestrune::TableNumber table = 0;
  std::string table_name;                // upper-cased
  std::string reported_name;             // what NAME returns
  kestrune::TableDefinition definition;  // built from the declaration
  runtime::CharTables tables;            // the table's stored character tables
  kestrune::TextForm text_form = kestrune::TextForm::kAnsi;
  kestrune::KeyContext key_context;
  std::vector<uint8_t> key_numbers;  // per declared key: its key number in the file
  bool oem = false;

  Bytes scratch;  // the stored version of a record
  Bytes watch_copy;
  std::vector<Bytes> watch_memos;
  bool watch_memos_valid = false;

  kestrune::RecordNumber current = 0;  // 0: none
  uint32_t flags = 0;                  // table_flag bits
  int32_t hold_seconds = -1;
  int64_t hold_started = 0;  // hundredths
  bool hold_wait_started = false;
  bool nomemo_next = false;

  SequenceKind sequence = SequenceKind::kNone;
  const KeyDecl* sequence_key = nullptr;  // key sequences
  int sequence_key_index = -1;
  Bytes sequence_entry;  // the current entry's key part (data or key entry)
  Bytes start_value;     // the value or position a SET recorded
  kestrune::RecordNumber start_record = 0;
  std::unique_ptr<pagefile::Cursor> cursor;
  size_t last_record_bytes = 0;  // BYTES after a read

  uint32_t deferred_ops = 0;  // operations whose commit the stream deferred
  bool stream_active = false;
  bool locked = false;  // holds the table lock
  // Blob contents taken (BLOB_TAKE) or read for the current record, per memo; dropped after the
  // record operations.
  std::vector<std::optional<Bytes>> blobs;

  // Reused buffers: key building per operation without allocating.
  Bytes key_buf;
  Bytes key_buf2;
  Bytes value_buf;
  Bytes data_buf;
  Bytes prefix_buf;
  Bytes seek_buf;
  Bytes stored_buf;
  Bytes old_record_buf;
  Bytes old_key_buf;

  // Per key of the stored definition, made at the first read with an entry test: whether and
  // how the key's entries are read back into the fields (kestrune::KeyDecoder).
  std::vector<std::optional<kestrune::KeyDecoder>> key_decoders;
  Bytes entry_saved;  // the key's fields as they were before an entry test wrote into them

  std::vector<std::unique_ptr<DynamicIndex>> dynamic;
  // Component texts given with SETPROPERTYkey "COMPONENTS", used by a BUILDdyn without a text.
  std::vector<std::pair<const KeyDecl*, std::string>> dynamic_defaults;
  // The sequence through a dynamic index: the index (nullptr: none), the entry a NEXT reads and
  // one past the entry a PREVIOUS reads.
  const DynamicIndex* dynamic_sequence = nullptr;
  size_t dynamic_forward = 0;
  size_t dynamic_backward = 0;
};

}  // namespace pellucor::data::kdriver
