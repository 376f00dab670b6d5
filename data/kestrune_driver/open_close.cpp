// OPEN, SHARE, CREATE and CLOSE of a table.
//
// OPEN of a file or of a table that is not there fails with 2 ("File Not Found"), so that a file
// manager with its create switch set goes on to CREATE. CREATE makes the file when it is missing
// and the table inside it: a table of that name that already exists is emptied and defined
// anew, but the other tables of the file are kept (truncating the file would lose them).
#include <algorithm>

#include "data/kestrune/names.h"
#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "data/kestrune_driver/table_schema.h"
#include "platform/clock.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;

SharingClass SharingOf(uint8_t mode) {
  switch (mode & access_mode::kShareMask) {
    case access_mode::kDenyWrite:
      return SharingClass::kSingleWriter;
    case access_mode::kDenyAll:
    case access_mode::kDenyRead:
      return SharingClass::kExclusive;
    default:
      return SharingClass::kShared;
  }
}

// Every entry of a table (its number leads every key part but the name directory's).
void EraseTableEntries(pagefile::PageFile& pf, kestrune::TableNumber table) {
  Bytes prefix(4);
  kestrune::PutBigEndian32(table, prefix.data());
  ErasePrefix(pf, prefix);
}

bool LookUpTable(pagefile::PageFile& pf, const std::string& name, kestrune::TableNumber* table) {
  Bytes key, data;
  kestrune::NameDirectoryKey(name, &key);
  if (!pf.Get(key, &data)) return false;
  const auto number = kestrune::ParseNumberData(data);
  if (!number) return false;
  *table = *number;
  return true;
}

void MakeTable(OpenTable& t, const std::string& name, uint8_t oem_flag) {
  pagefile::PageFile& pf = *t.file->pf;
  kestrune::TableNumber old = 0;
  if (LookUpTable(pf, name, &old)) EraseTableEntries(pf, old);
  t.table = pf.NextNumber();
  Bytes key, data;
  kestrune::NameDirectoryKey(name, &key);
  kestrune::NumberData(t.table, &data);
  pf.Put(key, data);
  const auto blocks = kestrune::DefinitionBlocks(kestrune::EncodeDefinition(t.definition));
  for (size_t i = 0; i < blocks.size(); ++i) {
    kestrune::DefinitionKey(t.table, static_cast<uint16_t>(i), &key);
    pf.Put(key, blocks[i]);
  }
  const auto tables = runtime::CurrentCharTables().Serialize();
  data.assign(1, oem_flag);
  data.insert(data.end(), tables.begin(), tables.end());
  kestrune::CharTablesKey(t.table, &key);
  pf.Put(key, data);
  t.tables = runtime::CurrentCharTables();
}

// Reads the stored definition and character tables of t.table and compares. 0, 47 or 36.
int32_t LoadTable(OpenTable& t) {
  pagefile::PageFile& pf = *t.file->pf;
  Bytes stream, key, data;
  for (uint16_t block = 0;; ++block) {
    kestrune::DefinitionKey(t.table, block, &key);
    if (!pf.Get(key, &data)) break;
    stream.insert(stream.end(), data.begin(), data.end());
    if (data.size() < kestrune::kDefinitionBlockSize) break;
  }
  kestrune::TableDefinition stored;
  if (!kestrune::ParseDefinition(stream, &stored)) return err::kInvalidDataFile;
  if (!kestrune::CompareDefinitions(stored, t.definition).empty()) {
    runtime::SetFileError("47", kestrune::CompareDefinitions(stored, t.definition));
    return err::kInvalidRecordDeclaration;
  }
  kestrune::CharTablesKey(t.table, &key);
  if (!pf.Get(key, &data) || data.size() < 1 + runtime::kCharTablesSize ||
      !runtime::CharTables::Deserialize({data.data() + 1, runtime::kCharTablesSize}, &t.tables)) {
    return err::kInvalidDataFile;
  }
  return 0;
}

}  // namespace

OpenTable::~OpenTable() {
  DetachTable(*this);
}

void DetachTable(OpenTable& t) {
  if (!t.file) return;
  ReleaseHold(t);
  if (t.locked) {
    ReleaseNumberLock(*t.file, t.table);
    t.locked = false;
  }
  if (t.stream_active) {
    t.stream_active = false;
    --t.file->streams;
    if (!t.file->CommitsDeferred()) (void)CommitNow(*t.file);
    ReleaseRangeIfIdle(*t.file);
  }
  t.cursor.reset();
  ReleasePhysicalFile(t.file);
  t.file.reset();
  t.flags &= table_flag::kFullBuild;
  t.current = 0;
}

OpResult OpenTableOp(const KestruneSettings& settings, FileBlock& block, Op op, OpArgs& args) {
  OpenTable& t = TableOf(block);
  const bool create = op == Op::kCREATE;
  auto fail = [&](int32_t e) {
    DetachTable(t);
    block.status |= status_bit::kDiscardBlock;
    return OpResult::Fail(e);
  };
  const kestrune::KestruneName name = kestrune::SplitName(block.name);
  if (name.path.empty()) return fail(err::kInvalidFilename);
  const auto mode = static_cast<uint8_t>(args.mode);
  PhysicalOpen open;
  open.path = name.path;
  open.sharing = SharingOf(mode);
  open.may_write = create || ModeIsWritable(mode);
  open.create = create ? pagefile::CreateMode::kOpenOrCreate : pagefile::CreateMode::kOpenExisting;
  if ((block.attributes & attr::kEncrypt) && block.decl->owner && !block.decl->owner->empty()) {
    open.owner = *block.decl->owner;
  }
  int32_t error = 0;
  t.file = AcquirePhysicalFile(open, settings, &error);
  if (!t.file) return fail(error);
  t.table_name = name.table;
  t.reported_name = kestrune::ReportedName(name);
  t.oem = (block.attributes & attr::kOem) != 0;
  t.text_form = t.oem ? kestrune::TextForm::kOem : kestrune::TextForm::kAnsi;

  if (const int32_t e = BeginOperation(*t.file, create ? OpKind::kWrite : OpKind::kRead); e != 0) {
    return fail(e);
  }
  int32_t e = 0;
  if (create) {
    MakeTable(t, name.table, t.oem ? 1 : 0);
  } else if (!LookUpTable(*t.file->pf, name.table, &t.table)) {
    e = err::kFileNotFound;
  } else {
    e = LoadTable(t);
  }
  const int32_t end = EndOperation(*t.file, nullptr);
  if (e == 0) e = end;
  if (e != 0) return fail(e);
  t.key_context.definition = &t.definition;
  t.key_context.tables = &t.tables;
  t.key_context.text_form = t.text_form;
  t.flags = (t.flags & table_flag::kFullBuild) | table_flag::kOpen;  // SEND may precede OPEN
  t.current = 0;
  t.sequence = SequenceKind::kNone;
  t.scratch.reserve(block.record_length);
  if (create) DetachTable(t);  // CREATE leaves the table closed
  return {};
}

OpResult CloseTableOp(FileBlock& block) {
  OpenTable& t = TableOf(block);
  int32_t e = 0;
  if (t.file && t.stream_active) {
    t.stream_active = false;
    --t.file->streams;
    if (!t.file->CommitsDeferred()) e = CommitNow(*t.file);
    ReleaseRangeIfIdle(*t.file);
  }
  DetachTable(t);
  return OpResult::Fail(e);
}

}  // namespace pellucor::data::kdriver
