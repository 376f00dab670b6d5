// The file manager: one object per data file, through which every procedure opens, reads and
// writes the file. It owns opening and closing (lazy opening, a read-only fallback when another
// station keeps writers out, creating a missing file, rebuilding damaged keys), reading with
// held records, inserting with automatic numbering, updating with detection of changes made by
// another station, deleting, and saving and restoring the record buffer.
//
// Every record operation exists twice: the handling form shows a failure through the error
// manager and returns the resulting Level; the Try form only records the message number
// (LASTERROR of the calling thread's INFO row, with the runtime's error state saved in the error
// manager) and returns a Level without showing anything, and ReportLast shows it later.
//
// Every failure leaves the record buffer as it was; the messages of severity 3 (10 "File
// Creation Error", 23 "File Access Error", 26 "Key was not built") and message 39 ("File Usage
// Error") end the program through the error manager.
//
// Use (a generated file class overrides BindFields to describe its keys):
//
//   class NotesFile : public FileManager {
//     void BindFields() override { AddKey(FILE->Key(0), "sno:SNOT"); ... }
//   };
//   notes.Init(*decl, errors);  notes.CREATE = true;  notes.Open();  ...  notes.Close();
//
// Threads: the manager is shared; what differs per thread (the usage count, the open flag, the
// end-of-file flag, the pending auto-number, the last error) lives in the calling thread's INFO
// row (one row for a file without THREAD). The run lock lets one thread at a time in.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declaration.h"
#include "data/driver/op_codes.h"
#include "framework/error/level.h"

namespace pellucor::framework {

class ErrorManager;
class RelationManager;
class StoredRecordReader;

// The numbers of the messages the file and relation managers raise.
namespace msg {
inline constexpr uint16_t kRecordRetrievalError = 1;
inline constexpr uint16_t kAccessDenied = 2;
inline constexpr uint16_t kRecordInsertError = 4;
inline constexpr uint16_t kChangedByAnotherStation = 6;
inline constexpr uint16_t kChangedByAnotherStationForm = 7;
inline constexpr uint16_t kConfirmDelete = 9;
inline constexpr uint16_t kFileCreationError = 10;
inline constexpr uint16_t kRecordNotDeleted = 11;
inline constexpr uint16_t kDuplicateKey = 13;
inline constexpr uint16_t kTransactionCancelled = 21;
inline constexpr uint16_t kFileAccessError = 23;
inline constexpr uint16_t kRecordNotUpdated = 25;
inline constexpr uint16_t kKeyNotBuilt = 26;
inline constexpr uint16_t kInvalidKey = 27;
inline constexpr uint16_t kRecordNotRead = 28;
inline constexpr uint16_t kIntegrityDelete = 30;
inline constexpr uint16_t kIntegrityUpdate = 31;
inline constexpr uint16_t kAutoIncrementError = 32;
inline constexpr uint16_t kRecordDeleteError = 33;
inline constexpr uint16_t kFileUsageError = 39;
}  // namespace msg

// The length of a position text (GetPosition): the position, padded with blanks.
inline constexpr size_t kPositionSize = 512;

// How Update reports: 0 records only (TryUpdate), 1 shows failures, 2 shows them as a form does
// (a change by another station then says that its version is now shown).
enum class UpdateMode : uint8_t { kTry = 0, kHandle = 1, kForm = 2 };

// Whether the last component of a key is numbered automatically.
enum class KeyNumbering : uint8_t { kNone, kAutoIncrement };

// The per-thread state row (INFO).
struct FileInfo {
  int32_t ID = 0;            // the program thread for a THREAD file, else 1
  bool USED = false;         // the file is really open
  uint16_t OPENED = 0;       // Open calls not yet matched by Close
  bool ATEOF = false;        // the last read ran off the end
  bool AUTOINCDONE = false;  // a record was added by ReserveAutoNumber and awaits completion
  uint8_t LASTERROR = 0;     // the message number the last failure recorded
  // The record pointer of the record ReserveAutoNumber added: completing and releasing it go by
  // this pointer, so that reading other records meanwhile never sends the completed record
  // over the wrong one.
  uint32_t primed_record = 0;
  // A hold asked for through HoldNext: the next read takes it (seconds to wait, -1 no limit).
  bool hold_next = false;
  int32_t hold_seconds = -1;
};

// One component of a key row.
struct KeyComponent {
  int32_t FIELD = 0;      // the field's number in the record (from 1)
  std::string FIELDNAME;  // the field's label ("SNO:TOPIC")
  bool ASCEND = true;
};

// One key row (KEYS).
struct KeyRow {
  const data::KeyDecl* KEY = nullptr;
  std::string PDESCRIPTION;  // the key's description, shown in message 13 (80 bytes at most)
  std::vector<KeyComponent> FIELDS;
  bool AUTOINC = false;  // the last component is numbered automatically
  bool DUPS = false;
  bool NOCASE = false;
};

// A saved copy of the record buffer and of every memo and blob (BUFFERS).
struct SavedBuffer {
  uint16_t ID = 0;
  std::vector<uint8_t> BUFFER;
  std::vector<std::vector<uint8_t>> memos;
};

// A saved file state (SAVED).
struct SavedFileState {
  uint16_t BUFFER = 0;  // the id of the saved buffer in BUFFERS
  uint16_t ID = 0;
  bool WHELD = false;
  bool WWATCH = false;
  bool AUTOINCDONE = false;
  std::string POS;  // the record's position (blank: there was no current record)
  uint8_t KEY = 0;  // the key the position was taken by (0: the record position)
  uint32_t primed_record = 0;
  // The record's pointer: a record an OPT key leaves out has a position in that key's order but
  // no entry to read it back by, so restoring falls back to the pointer.
  uint32_t pointer = 0;
};

class FileManager {
 public:
  FileManager();
  virtual ~FileManager();
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;

  // --- Virtual operations, in the order of the class's operation table ---

  // The record validation hook, run before every insert and update: a generated class checks
  // the record here. Anything but Proceed refuses the write. The default accepts every record.
  virtual Level ValidateRecord();
  // Removes the record ReserveAutoNumber added and that was never completed (through `through`,
  // the file's relation manager, when given, so that nothing is left pointing at it).
  virtual Level ReleaseAutoNumber(RelationManager* through);
  virtual Level Close();
  // True when the record buffer and every memo and blob equal the saved copy `id`.
  virtual bool SnapshotUnchanged(uint16_t id);
  // Reads the record whose `key` value equals the key fields in the buffer; records failures.
  virtual Level TryFetch(const data::KeyDecl* key);
  virtual Level Insert();
  virtual Level Next();
  virtual Level Open();
  virtual Level Previous();
  virtual Level ReserveAutoNumber();
  // The key-and-field description hook: a generated class adds its keys here (AddKey). Init
  // calls it.
  virtual void BindFields();
  virtual Level Fetch(const data::KeyDecl* key);
  virtual Level ReportError(uint16_t id);
  virtual Level ReportLast();
  virtual Level ReportWithText(uint16_t id, std::string_view text);
  virtual Level Delete();
  virtual Level TryInsert();
  virtual Level TryNext();
  virtual Level TryOpen();
  virtual Level TryPrevious();
  virtual Level TryReserveAutoNumber();
  virtual Level TryUpdate();
  virtual Level Update(UpdateMode mode);
  virtual Level TryDelete();
  // Makes sure a lazily opened file is really open; every record operation starts with it.
  virtual Level EnsureOpen();
  virtual void Kill();

  // --- Other operations ---

  // Binds the manager to its file and the application's error manager, sets the defaults
  // (OPENMODE 0x22, LOCKRECOVER 10, nothing else on) and calls BindFields. REQUIRES: both
  // outlive the manager's use.
  void Init(data::FileDecl& file, ErrorManager& errors);
  // Adds a key row: its components come from the key's declaration, DUPS and NOCASE from its
  // flags. An auto-numbered key makes HASAUTOINC true.
  void AddKey(const data::KeyDecl* key, std::string_view description,
              KeyNumbering numbering = KeyNumbering::kNone);

  // Records message `id` (saving the runtime's error state) without showing it.
  void NoteError(uint16_t id);

  // Pushes a copy of the record buffer and of every memo and blob; returns its id.
  uint16_t SnapshotBuffer();
  // Copies saved copy `id` back and removes it. An unknown id changes nothing.
  void RestoreSnapshot(uint16_t id);
  // Removes saved copy `id` without restoring it.
  void DropSnapshot(uint16_t id);
  // Saves the buffer, the position, the held and watched state and AUTOINCDONE; returns its id.
  uint16_t SaveFileState();
  // Re-reads the saved record by its position (held and watched again as it was) and restores
  // the buffer and the rest; removes the saved state.
  void RestoreFileState(uint16_t id);

  // The current record's position by PRIMARYKEY (or by record when it is 0), blank padded to
  // kPositionSize; all blanks when there is no current record.
  [[nodiscard]] std::string GetPosition();
  // Re-reads the record at a position GetPosition gave. Notified (recording message 1) when it is
  // gone or cannot be read.
  Level ResetPosition(const std::string& position);
  // Asks that the next record read through Next, Previous or Fetch be held, waiting at most
  // `seconds` for another station to let it go (-1: no limit). With SKIPHELDRECORDS, Next and
  // Previous then step over records that stay held elsewhere.
  void HoldNext(int32_t seconds);

  // The calling thread's record buffer (one per thread for a THREAD file).
  [[nodiscard]] uint8_t* Buffer();
  [[nodiscard]] uint32_t BufferSize() const;
  // The file's name as messages show it ("%File").
  [[nodiscard]] std::string FileName() const;
  // The calling thread's INFO row (made on first use). Selecting it names the file in the error
  // manager, so that every message about it says which file it is.
  FileInfo& Info();
  // The decoded record layout (field types and offsets).
  [[nodiscard]] const data::RecordLayout& Layout() const { return layout_; }
  // The record pointer of the current record, 0 when there is none.
  [[nodiscard]] uint32_t CurrentPointer();
  // Reads record `pointer` as it is stored, without touching the buffer or the current record
  // (what the relation manager compares link values with). Returns 0 or the driver's error.
  [[nodiscard]] int32_t ReadStored(uint32_t pointer, std::vector<uint8_t>* record);

  // --- Fields, in order ---

  FileManager* ALIASEDFILE = nullptr;  // the manager of the file this one is an alias of
  // The record buffer is the declaration's (per thread for a THREAD file): see Buffer().
  std::vector<SavedBuffer> BUFFERS;
  bool CREATE = false;
  ErrorManager* ERRORS = nullptr;  // not owned: the application's error manager
  data::FileDecl* FILE = nullptr;  // not owned: the file's declaration
  // The variable that holds the file's name at run time, or null when the name is fixed.
  const std::string* FILENAME = nullptr;
  std::string FILENAMEVALUE;  // the fixed name (at most 256 bytes)
  bool HASAUTOINC = false;
  // A deque: a row stays where it is while another thread's row is added (a message box lets
  // other threads run while one waits for an answer).
  std::deque<FileInfo> INFO;
  std::vector<KeyRow> KEYS;
  bool LAZYOPEN = false;
  int16_t LOCKRECOVER = 10;
  uint8_t OPENMODE = 0x22;
  uint8_t PRIMARYKEY = 0;  // the key (from 1) positions are taken by; 0: the record position
  std::vector<SavedFileState> SAVED;
  bool SKIPHELDRECORDS = false;

 protected:
  enum class Handling : uint8_t { kRecord, kShow };

  // The steps of opening (at most two attempts; see file_manager_open.cpp).
  Level OpenFile(Handling handling);

 private:
  Level OpenServer(Handling handling);
  Level ReadServer(data::Op direction, Handling handling);
  Level FetchServer(const data::KeyDecl* key, Handling handling);
  Level InsertServer(Handling handling);
  Level UpdateServer(UpdateMode mode);
  Level DeleteServer(Handling handling);
  Level ReserveServer(Handling handling);

  // OPEN, then CREATE under the file's creation lock when it is missing.
  int32_t DriverOpen(uint8_t mode);
  int32_t CreateMissing(uint8_t mode);
  int32_t RebuildKeys();
  void CloseFile();
  // Shows the recorded message (when handling) or only returns Notified.
  Level Finish(Handling handling);
  // Reads the next/previous record, stepping over held ones when asked to. Returns the driver's
  // error (0, 33, 43, ...).
  int32_t ReadRecord(data::Op direction);
  // The key the last failed add duplicates, found by reading (the driver's own check skips the
  // current record, which may be the very one duplicated). nullptr when none is found.
  const KeyRow* DuplicatedKey(uint32_t except_record);
  // The number an auto-numbered key gives the record in the buffer (see auto_number.cpp).
  int32_t NextNumber(const KeyRow& key, double* number);
  int32_t AddNumbered();
  bool AutoNumberDuplicated();
  uint16_t NextSnapshotId() const;
  uint16_t NextStateId() const;
  bool StateHas(uint32_t bit);

  data::RecordLayout layout_;
  std::unique_ptr<StoredRecordReader> stored_;
};

}  // namespace pellucor::framework
