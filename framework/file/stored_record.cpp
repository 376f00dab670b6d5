#include "framework/file/stored_record.h"

#include "data/driver/driver.h"

namespace pellucor::framework {

namespace {

// The second declaration is a copy of the first, field for field, so that the driver finds the
// same stored definition; its keys point back at the copy.
std::unique_ptr<data::FileDecl> CopyOf(const data::FileDecl& file) {
  auto copy = std::make_unique<data::FileDecl>();
  copy->driver = file.driver;
  copy->label = file.label;
  copy->prefix = file.prefix;
  copy->name_storage = file.name_storage;
  copy->name_variable = file.name_variable;
  copy->name_length = file.name_length;
  copy->driver_string = file.driver_string;
  copy->owner = file.owner;
  copy->attributes = file.attributes;
  copy->record_length = file.record_length;
  copy->record_descriptor = file.record_descriptor;
  for (const auto& key : file.keys) {
    auto k = std::make_unique<data::KeyDecl>(*key);
    k->file = copy.get();
    copy->keys.push_back(std::move(k));
  }
  copy->memos = file.memos;
  copy->well_formed = file.well_formed;
  return copy;
}

bool IsOpen(data::FileDecl& file) {
  const data::FileBlock* block = file.Block();
  return block != nullptr && (block->state & data::state_bit::kOpen) != 0;
}

}  // namespace

StoredRecordReader::StoredRecordReader(const data::FileDecl& file) : shadow_(CopyOf(file)) {}

StoredRecordReader::~StoredRecordReader() {
  Close();
}

int32_t StoredRecordReader::Read(uint32_t pointer, std::vector<uint8_t>* record) {
  if (!IsOpen(*shadow_)) {
    data::OpArgs open;
    // Reading only, and denying nobody: the look must never keep anyone out.
    open.mode = data::access_mode::kReadOnly | data::access_mode::kDenyNone;
    if (const int32_t e = data::Dispatch(*shadow_, data::Op::kOPEN, open).error; e != 0) return e;
  }
  data::OpArgs get;
  get.pointer = pointer;
  // The memos are not wanted: only record fields link records.
  (void)data::Dispatch(*shadow_, data::Op::kNOMEMO);
  if (const int32_t e = data::Dispatch(*shadow_, data::Op::kGETfileptr, get).error; e != 0) {
    return e;
  }
  const uint8_t* bytes = shadow_->RecordBuffer();
  record->assign(bytes, bytes + shadow_->record_length);
  return 0;
}

void StoredRecordReader::Close() {
  if (shadow_ && IsOpen(*shadow_)) (void)data::Dispatch(*shadow_, data::Op::kCLOSE);
}

}  // namespace pellucor::framework
