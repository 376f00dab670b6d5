#include "app/cli/store.h"

#include <chrono>
#include <map>
#include <thread>

#include "app/data_dir.h"
#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"

namespace pellucor::app::cli {
namespace {

namespace err = runtime::err;
using data::Dispatch;
using data::Op;
using data::OpArgs;

namespace am = data::access_mode;
constexpr int32_t kWriteMode = am::kReadWrite | am::kDenyNone;
constexpr int32_t kReadMode = am::kReadOnly | am::kDenyNone;
constexpr auto kSharingPause = std::chrono::milliseconds(50);
constexpr std::string_view kCreateLockName = "plk.lock";

// A listing and the physical scan that names its rows may see different states when another
// program writes in between; the pair is read again this often before giving up.
constexpr int kListAttempts = 4;

// Whether the data file refuses writing whatever other programs do: its permissions forbid it,
// or its file system is mounted read-only.
bool DataFileReadOnly() {
  const int32_t e = platform::Env::Default()->Writable(std::string(kDataFileName)).error;
  return e == platform::syserr::kAccessDenied || e == platform::syserr::kWriteProtect;
}

// Opens the table, trying again for a while when another program's sharing refuses it. A data
// file that cannot be written at all sets *read_only and fails at once: waiting would not help.
int32_t Opened(data::FileDecl& decl, int32_t mode, std::chrono::milliseconds patience,
               bool* read_only = nullptr) {
  const auto until = std::chrono::steady_clock::now() + patience;
  for (;;) {
    OpArgs args;
    args.mode = mode;
    const int32_t e = Dispatch(decl, Op::kOPEN, args).error;
    const bool write_protected = e == err::kSystemBase + platform::syserr::kWriteProtect;
    const bool refused = e == err::kAccessDenied || e == err::kFileLocked || write_protected;
    if (refused && read_only && DataFileReadOnly()) {
      *read_only = true;
      return e;
    }
    if (!refused || write_protected || std::chrono::steady_clock::now() >= until) return e;
    std::this_thread::sleep_for(kSharingPause);
  }
}

int32_t Created(data::FileDecl& decl) {
  OpArgs args;
  args.mode = kWriteMode;
  return Dispatch(decl, Op::kCREATE, args).error;
}

// The record's fields as one comparable text (the record exactly as stored, less padding
// differences a decode removes).
std::string Identity(const uint8_t* record) {
  std::string bytes(note_record::kSize, ' ');
  EncodeNote(DecodeNote(record), reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

}  // namespace

struct NoteStore::Slot {
  std::unique_ptr<data::FileDecl> decl;
  bool open = false;
  bool missing = false;  // reading, and the table is not there
};

NoteStore::NoteStore(StoreAccess access)
    : access_(access), notes_(std::make_unique<Slot>()), archive_(std::make_unique<Slot>()) {
  notes_->decl = MakeSNotes(&data::KestruneDriverInstance());
  archive_->decl = MakeArcnotes(&data::KestruneDriverInstance());
}

NoteStore::~NoteStore() {
  for (Slot* slot : {notes_.get(), archive_.get()}) {
    if (slot->open) (void)Dispatch(*slot->decl, Op::kCLOSE);
  }
}

data::FileDecl& NoteStore::Decl(Table table) {
  return *(table == Table::kNotes ? notes_ : archive_)->decl;
}

int32_t NoteStore::Fail(int32_t code, std::string_view doing) {
  if (code == err::kInvalidDataFile) {
    error_ = std::string(kDamagedDataFile);
    return code;
  }
  std::string text = TrimRight(runtime::ErrorText());
  if (text.empty()) text = runtime::ErrorTextFor(code);
  error_ = std::string(doing) + ": " + text + " (error " + std::to_string(code) + ")";
  if (code == err::kAccessDenied) {
    error_ += "; another program may have the data file open without sharing it for writing";
  }
  return code;
}

int32_t NoteStore::Ensure(Table table) {
  Slot& slot = *(table == Table::kNotes ? notes_ : archive_);
  if (slot.open) return 0;
  if (slot.missing) return -1;
  data::FileDecl& decl = *slot.decl;
  const std::string what = table == Table::kNotes ? "the notes table" : "the archive table";
  if (access_ == StoreAccess::kRead) {
    const int32_t e = Opened(decl, kReadMode, patience_);
    if (e == err::kFileNotFound) {
      slot.missing = true;
      return -1;
    }
    if (e != 0) return Fail(e, "cannot open " + what);
    slot.open = true;
    return 0;
  }
  bool read_only = false;
  int32_t e = Opened(decl, kWriteMode, patience_, &read_only);
  if (e == err::kFileNotFound) {
    // Another first run may be creating the table right now: decide under the lock.
    std::unique_ptr<platform::File> lock;
    platform::Env* env = platform::Env::Default();
    const platform::Status opened =
        env->Open(std::string(kCreateLockName), platform::Access::kReadWrite,
                  platform::Share::kDenyNone, platform::Disposition::kOpenAlways, &lock);
    if (!opened.ok() || !lock->Lock(0, 1, platform::LockWait::kWait).ok()) {
      const bool directory_read_only = opened.error == platform::syserr::kWriteProtect ||
                                       opened.error == platform::syserr::kAccessDenied;
      error_ = "cannot create " + what + ": " +
               (directory_read_only
                    ? std::string("the data directory is read-only")
                    : "the lock file " + std::string(kCreateLockName) + " cannot be used");
      return err::kAccessDenied;
    }
    e = Opened(decl, kWriteMode, patience_, &read_only);
    if (e == err::kFileNotFound) {
      if ((e = Created(decl)) != 0) return Fail(e, "cannot create " + what);
      e = Opened(decl, kWriteMode, patience_, &read_only);
    }
  }
  if (read_only) {
    error_ = std::string(kReadOnlyDataFile);
    return e;
  }
  if (e != 0) return Fail(e, "cannot open " + what);
  slot.open = true;
  return 0;
}

int32_t NoteStore::Add(Table table, const Note& note, uint32_t* id) {
  if (const int32_t e = Ensure(table); e != 0) return e;
  data::FileDecl& decl = Decl(table);
  EncodeNote(note, decl.RecordBuffer());
  if (const int32_t e = Dispatch(decl, Op::kADD).error; e != 0) return Fail(e, "cannot add");
  *id = static_cast<uint32_t>(Dispatch(decl, Op::kPOINTERfile).value);
  return 0;
}

int32_t NoteStore::Get(Table table, uint32_t id, Note* note) {
  if (const int32_t e = Ensure(table); e != 0) {
    if (e != -1) return e;
    error_ = "no note has the id " + std::to_string(id);
    return err::kRecordNotFound;
  }
  data::FileDecl& decl = Decl(table);
  OpArgs args;
  args.pointer = id;
  const int32_t e = id == 0 ? err::kRecordNotFound : Dispatch(decl, Op::kGETfileptr, args).error;
  if (e == err::kRecordNotFound || e == err::kRecordNotAvailable) {
    error_ = "no note has the id " + std::to_string(id);
    return err::kRecordNotFound;
  }
  if (e != 0) return Fail(e, "cannot read the note " + std::to_string(id));
  *note = DecodeNote(decl.RecordBuffer());
  note->id = id;
  return 0;
}

int32_t NoteStore::Put(Table table, const Note& note) {
  Note current;
  if (const int32_t e = Get(table, note.id, &current); e != 0) return e;
  data::FileDecl& decl = Decl(table);
  EncodeNote(note, decl.RecordBuffer());
  if (const int32_t e = Dispatch(decl, Op::kPUT).error; e != 0) {
    return Fail(e, "cannot change the note " + std::to_string(note.id));
  }
  return 0;
}

int32_t NoteStore::Delete(Table table, uint32_t id) {
  Note current;
  if (const int32_t e = Get(table, id, &current); e != 0) return e;
  if (const int32_t e = Dispatch(Decl(table), Op::kDELETE).error; e != 0) {
    return Fail(e, "cannot delete the note " + std::to_string(id));
  }
  return 0;
}

int32_t NoteStore::All(Table table, std::vector<Note>* notes) {
  notes->clear();
  if (const int32_t e = Ensure(table); e != 0) return e == -1 ? 0 : e;
  data::FileDecl& decl = Decl(table);
  if (const int32_t e = Dispatch(decl, Op::kSETfile).error; e != 0) {
    return Fail(e, "cannot read the notes");
  }
  for (;;) {
    const int32_t e = Dispatch(decl, Op::kNEXT).error;
    if (e == err::kRecordNotAvailable) break;
    if (e != 0) return Fail(e, "cannot read the notes");
    Note n = DecodeNote(decl.RecordBuffer());
    n.id = static_cast<uint32_t>(Dispatch(decl, Op::kPOINTERfile).value);
    notes->push_back(std::move(n));
  }
  runtime::ClearError();
  return 0;
}

int32_t NoteStore::List(const ListRequest& request, std::vector<Note>* notes) {
  notes->clear();
  if (const int32_t e = Ensure(request.table); e != 0) return e == -1 ? 0 : e;
  data::FileDecl& decl = Decl(request.table);
  const data::KeyDecl* key = decl.FindKey(request.key);
  if (!key) {
    error_ = "the data file has no key " + request.key;
    return err::kInvalidKeyFile;
  }
  std::string filter = request.filter;
  if (!request.where.empty()) {
    filter =
        filter.empty() ? "(" + request.where + ")" : "(" + filter + ") AND (" + request.where + ")";
  }
  for (int attempt = 0; attempt < kListAttempts; ++attempt) {
    // The rows through the view, exactly as the browse reads them.
    std::vector<std::string> rows;
    {
      data::view::ViewDecl vd;
      vd.primary = &decl;
      data::view::View view(std::move(vd));
      if (const int32_t e = view.Open(); e != 0) return Fail(e, "cannot read the notes");
      view.SetKey(key);
      view.SetFilter(filter);
      if (!request.added_order.empty()) {
        if (const int32_t e = view.AddOrderText(request.added_order); e != 0) {
          return Fail(e, "cannot order the notes");
        }
      }
      if (const int32_t e = view.Set(); e != 0) return Fail(e, "cannot read the notes");
      for (;;) {
        const int32_t e = view.Next();
        if (e == err::kRecordNotAvailable) break;
        if (e != 0) return Fail(e, "cannot read the notes");
        rows.push_back(Identity(decl.RecordBuffer()));
      }
      (void)view.Close();
    }
    // A row carries no record pointer: find each row's record among all of them. Records that
    // are equal field for field are interchangeable, so they take their pointers in turn.
    std::vector<Note> all;
    if (const int32_t e = All(request.table, &all); e != 0) return e;
    std::map<std::string, std::vector<uint32_t>> pointers;
    std::string bytes(note_record::kSize, ' ');
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
      EncodeNote(*it, reinterpret_cast<uint8_t*>(bytes.data()));
      pointers[bytes].push_back(it->id);
    }
    bool complete = true;
    for (const std::string& row : rows) {
      auto found = pointers.find(row);
      if (found == pointers.end() || found->second.empty()) {
        complete = false;
        break;
      }
      Note n = DecodeNote(reinterpret_cast<const uint8_t*>(row.data()));
      n.id = found->second.back();
      found->second.pop_back();
      notes->push_back(std::move(n));
    }
    runtime::ClearError();
    if (complete) return 0;
    notes->clear();
    std::this_thread::sleep_for(kSharingPause);
  }
  error_ = "the notes kept changing while they were read; try again";
  return err::kRecordChanged;
}

void BindFields(data::FileDecl& decl, uint8_t* record) {
  const auto layout = data::DecodeRecordDescriptor(decl.record_descriptor);
  if (!layout) return;
  for (const data::FieldInfo& info : layout->fields) {
    runtime::expr::BIND(info.label, info.type, record + info.offset, info.size, info.places);
  }
}

std::string CheckExpression(data::FileDecl& decl, uint8_t* record, std::string_view text) {
  runtime::expr::PUSHSCOPE(runtime::expr::OuterNames::kVisible);
  BindFields(decl, record);
  runtime::expr::CompileFailure why;
  runtime::ClearError();
  auto tree = runtime::expr::CompileExpression(text, &why);
  runtime::expr::POPSCOPE();
  if (tree) return {};
  if (why.kind == runtime::expr::CompileFailure::Kind::kUnknownName) {
    std::string posted = TrimRight(runtime::ErrorText());
    runtime::ClearError();
    return posted.empty() ? "No BIND on variable (" + why.name + ")" : posted;
  }
  runtime::ClearError();
  std::string reason(runtime::ErrorTableText(runtime::expr::err::kInvalidEvaluate));
  if (reason.empty()) reason = "Invalid expression for EVALUATE";
  if (why.kind == runtime::expr::CompileFailure::Kind::kTooDeep) {
    return reason + " (nested too deeply)";
  }
  return reason + " (at character " + std::to_string(why.offset + 1) + ")";
}

}  // namespace pellucor::app::cli
