// The file manager's set-up, its per-thread rows, error reporting, saved buffers, file states
// and positions. Opening is in file_open.cpp, reading in file_reads.cpp, writing in
// file_writes.cpp, automatic numbering in auto_number.cpp.
#include "framework/file/file_manager.h"

#include <algorithm>
#include <cstring>

#include "data/driver/driver.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_registry.h"
#include "framework/file/stored_record.h"
#include "runtime/core/error_state.h"
#include "runtime/event/event.h"

namespace pellucor::framework {

namespace {

// How long restoring a file state waits to hold its record again before it reads it unheld.
constexpr int32_t kRestoreHoldSeconds = 5;
constexpr size_t kMaxDescription = 80;
constexpr size_t kMaxFileNameValue = 256;

std::string Cut(std::string_view text, size_t limit) {
  return std::string(text.substr(0, std::min(text.size(), limit)));
}

}  // namespace

FileManager::FileManager() = default;

FileManager::~FileManager() {
  UnregisterFileManager(*this);
}

void FileManager::Init(data::FileDecl& file, ErrorManager& errors) {
  FILE = &file;
  ERRORS = &errors;
  ALIASEDFILE = nullptr;
  BUFFERS.clear();
  CREATE = false;
  FILENAME = nullptr;
  FILENAMEVALUE =
      file.name_variable != nullptr ? std::string() : Cut(file.CurrentName(), kMaxFileNameValue);
  HASAUTOINC = false;
  INFO.clear();
  KEYS.clear();
  LAZYOPEN = false;
  LOCKRECOVER = 10;
  OPENMODE = data::access_mode::kReadWrite | data::access_mode::kDenyWrite;
  PRIMARYKEY = 0;
  SAVED.clear();
  SKIPHELDRECORDS = false;
  layout_ = data::DecodeRecordDescriptor(file.record_descriptor).value_or(data::RecordLayout{});
  BindFields();
}

void FileManager::Kill() {
  if (FILE != nullptr) {
    FileInfo& info = Info();
    if (info.USED) CloseFile();
  }
  if (stored_) stored_->Close();
  stored_.reset();
  UnregisterFileManager(*this);
  BUFFERS.clear();
  SAVED.clear();
  INFO.clear();
}

void FileManager::BindFields() {}

Level FileManager::ValidateRecord() {
  return Level::Proceed;
}

void FileManager::AddKey(const data::KeyDecl* key, std::string_view description,
                         KeyNumbering numbering) {
  KeyRow row;
  row.KEY = key;
  row.PDESCRIPTION = Cut(description, kMaxDescription);
  if (key != nullptr) {
    row.DUPS = (key->flags & data::key_flag::kDup) != 0;
    row.NOCASE = (key->flags & data::key_flag::kNoCase) != 0;
    for (const int32_t component : key->components) {
      KeyComponent c;
      c.FIELD = component < 0 ? -component : component;
      c.ASCEND = component > 0;
      if (c.FIELD >= 1 && static_cast<size_t>(c.FIELD) <= layout_.fields.size()) {
        c.FIELDNAME = layout_.fields[static_cast<size_t>(c.FIELD - 1)].label;
      }
      row.FIELDS.push_back(std::move(c));
    }
  }
  // Only a key with components can number its last one.
  row.AUTOINC = numbering == KeyNumbering::kAutoIncrement && !row.FIELDS.empty();
  if (row.AUTOINC) HASAUTOINC = true;
  KEYS.push_back(std::move(row));
}

// --- Rows, names, buffers ---

FileInfo& FileManager::Info() {
  const int32_t id = FILE != nullptr && FILE->IsThreaded() ? runtime::THREAD() : 1;
  if (ERRORS != nullptr) ERRORS->SetFile(FileName());
  for (FileInfo& row : INFO) {
    if (row.ID == id) return row;
  }
  FileInfo row;
  row.ID = id;
  INFO.push_back(row);
  return INFO.back();
}

std::string FileManager::FileName() const {
  if (FILENAME != nullptr) return *FILENAME;
  if (!FILENAMEVALUE.empty() || FILE == nullptr) return FILENAMEVALUE;
  return FILE->CurrentName();
}

uint8_t* FileManager::Buffer() {
  return FILE->RecordBuffer();
}

uint32_t FileManager::BufferSize() const {
  return FILE->record_length;
}

bool FileManager::StateHas(uint32_t bit) {
  const data::FileBlock* block = FILE->Block();
  return block != nullptr && (block->state & bit) != 0;
}

uint32_t FileManager::CurrentPointer() {
  if (!StateHas(data::state_bit::kCurrent)) return 0;
  return static_cast<uint32_t>(data::Dispatch(*FILE, data::Op::kPOINTERfile).value);
}

int32_t FileManager::ReadStored(uint32_t pointer, std::vector<uint8_t>* record) {
  if (!stored_) stored_ = std::make_unique<StoredRecordReader>(*FILE);
  return stored_->Read(pointer, record);
}

// --- Errors ---

void FileManager::NoteError(uint16_t id) {
  FileInfo& info = Info();
  ERRORS->SaveErrors();
  info.LASTERROR = static_cast<uint8_t>(id);
}

Level FileManager::ReportError(uint16_t id) {
  NoteError(id);
  return ReportLast();
}

Level FileManager::ReportLast() {
  const uint16_t id = Info().LASTERROR;
  return ERRORS->Dispatch(id);
}

Level FileManager::ReportWithText(uint16_t id, std::string_view text) {
  NoteError(id);
  ERRORS->MESSAGETEXT = Cut(text, kMaxContextText);
  return ERRORS->Dispatch(id);
}

Level FileManager::Finish(Handling handling) {
  return handling == Handling::kShow ? ReportLast() : Level::Notified;
}

// --- Saved buffers ---

uint16_t FileManager::NextSnapshotId() const {
  return BUFFERS.empty() ? uint16_t{1} : static_cast<uint16_t>(BUFFERS.back().ID + 1);
}

uint16_t FileManager::SnapshotBuffer() {
  SavedBuffer saved;
  saved.ID = NextSnapshotId();
  const uint8_t* record = Buffer();
  saved.BUFFER.assign(record, record + BufferSize());
  for (size_t i = 0; i < FILE->memos.size(); ++i) saved.memos.push_back(FILE->MemoBuffer(i));
  BUFFERS.push_back(std::move(saved));
  return BUFFERS.back().ID;
}

void FileManager::RestoreSnapshot(uint16_t id) {
  auto it = std::find_if(BUFFERS.begin(), BUFFERS.end(),
                         [&](const SavedBuffer& s) { return s.ID == id; });
  if (it == BUFFERS.end()) return;
  std::copy_n(it->BUFFER.begin(), std::min<size_t>(it->BUFFER.size(), BufferSize()), Buffer());
  for (size_t i = 0; i < it->memos.size() && i < FILE->memos.size(); ++i) {
    FILE->MemoBuffer(i) = it->memos[i];
  }
  BUFFERS.erase(it);
}

void FileManager::DropSnapshot(uint16_t id) {
  BUFFERS.erase(std::remove_if(BUFFERS.begin(), BUFFERS.end(),
                               [&](const SavedBuffer& s) { return s.ID == id; }),
                BUFFERS.end());
}

bool FileManager::SnapshotUnchanged(uint16_t id) {
  auto it = std::find_if(BUFFERS.begin(), BUFFERS.end(),
                         [&](const SavedBuffer& s) { return s.ID == id; });
  if (it == BUFFERS.end()) return false;
  if (it->BUFFER.size() != BufferSize() ||
      std::memcmp(it->BUFFER.data(), Buffer(), BufferSize()) != 0) {
    return false;
  }
  for (size_t i = 0; i < it->memos.size() && i < FILE->memos.size(); ++i) {
    if (it->memos[i] != FILE->MemoBuffer(i)) return false;
  }
  return true;
}

// --- Positions and file states ---

std::string FileManager::GetPosition() {
  std::string position;
  if (StateHas(data::state_bit::kCurrent)) {
    data::OpArgs args;
    data::Op op = data::Op::kPOSITIONfile;
    if (PRIMARYKEY != 0 && PRIMARYKEY <= KEYS.size()) {
      args.key = KEYS[PRIMARYKEY - 1].KEY;
      op = data::Op::kPOSITIONkey;
    }
    data::OpResult r = data::Dispatch(*FILE, op, args);
    if (r.error == 0) position = std::move(r.text);
  }
  // Padded, never cut: a position is read back only as long as the driver made it.
  if (position.size() < kPositionSize) position.resize(kPositionSize, ' ');
  return position;
}

namespace {

bool AllBlank(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

int32_t Reget(data::FileDecl& file, const data::KeyDecl* key, const std::string& position) {
  data::OpArgs args;
  args.key = key;
  args.position = position;
  return data::Dispatch(file, key != nullptr ? data::Op::kREGETkey : data::Op::kREGETfile, args)
      .error;
}

}  // namespace

Level FileManager::ResetPosition(const std::string& position) {
  if (EnsureOpen() != Level::Proceed) return Level::Fatal;
  const data::KeyDecl* key =
      PRIMARYKEY != 0 && PRIMARYKEY <= KEYS.size() ? KEYS[PRIMARYKEY - 1].KEY : nullptr;
  if (AllBlank(position) || Reget(*FILE, key, position) != 0) {
    NoteError(msg::kRecordRetrievalError);
    return Level::Notified;
  }
  return Level::Proceed;
}

void FileManager::HoldNext(int32_t seconds) {
  FileInfo& info = Info();
  info.hold_next = true;
  info.hold_seconds = seconds;
}

uint16_t FileManager::NextStateId() const {
  return SAVED.empty() ? uint16_t{1} : static_cast<uint16_t>(SAVED.back().ID + 1);
}

uint16_t FileManager::SaveFileState() {
  FileInfo& info = Info();
  SavedFileState state;
  state.ID = NextStateId();
  state.BUFFER = SnapshotBuffer();
  state.WHELD = StateHas(data::state_bit::kHeld);
  state.WWATCH = StateHas(data::state_bit::kWatched);
  state.AUTOINCDONE = info.AUTOINCDONE;
  state.primed_record = info.primed_record;
  state.KEY = PRIMARYKEY;
  state.POS = GetPosition();
  state.pointer = CurrentPointer();
  SAVED.push_back(std::move(state));
  return SAVED.back().ID;
}

void FileManager::RestoreFileState(uint16_t id) {
  auto it =
      std::find_if(SAVED.begin(), SAVED.end(), [&](const SavedFileState& s) { return s.ID == id; });
  if (it == SAVED.end()) return;
  const SavedFileState state = *it;
  SAVED.erase(it);
  FileInfo& info = Info();
  if (info.USED && !AllBlank(state.POS)) {
    const data::KeyDecl* key =
        state.KEY != 0 && state.KEY <= KEYS.size() ? KEYS[state.KEY - 1].KEY : nullptr;
    if (state.WWATCH) (void)data::Dispatch(*FILE, data::Op::kWATCH);
    int32_t e = 0;
    if (state.WHELD) {
      data::OpArgs hold;
      hold.seconds = kRestoreHoldSeconds;
      (void)data::Dispatch(*FILE, data::Op::kHOLDfilesec, hold);
      e = Reget(*FILE, key, state.POS);
    }
    // Not held (or no longer to be had): the record is current again all the same.
    if (!state.WHELD || e == runtime::err::kRecordHeld) {
      if (state.WWATCH && e != 0) (void)data::Dispatch(*FILE, data::Op::kWATCH);
      e = Reget(*FILE, key, state.POS);
    }
    if (e != 0 && e != runtime::err::kRecordHeld && state.pointer != 0) {
      data::OpArgs get;
      get.pointer = state.pointer;
      if (state.WWATCH) (void)data::Dispatch(*FILE, data::Op::kWATCH);
      (void)data::Dispatch(*FILE, data::Op::kGETfileptr, get);
    }
  }
  RestoreSnapshot(state.BUFFER);
  info.AUTOINCDONE = state.AUTOINCDONE;
  info.primed_record = state.primed_record;
}

}  // namespace pellucor::framework
