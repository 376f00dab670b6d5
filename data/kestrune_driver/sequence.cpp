// Sequences (SET, NEXT, PREVIOUS, SKIP, BOF, EOF), positions, and the direct reads (GET, REGET).
//
// A SET only records where the sequence starts (one of nine states); the next NEXT or PREVIOUS
// finds the first entry and the state becomes "physical (0) or key (1) sequence in progress",
// with the current entry's key part in t.sequence_entry. t.cursor normally stands on that entry,
// so that a scan steps along the leaf without descending the tree again.
#include <algorithm>
#include <cstring>

#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;
using SK = SequenceKind;

enum class Dir { kForward, kBackward };

bool IsKeySequence(SK s) {
  return s == SK::kKeyInProgress || s == SK::kKeyFromEnd || s == SK::kKeyFromValueRecord ||
         s == SK::kKeyFromValue || s == SK::kKeyFromRecord;
}

pagefile::Cursor& CursorOf(OpenTable& t) {
  if (!t.cursor) t.cursor = std::make_unique<pagefile::Cursor>(t.file->pf.get());
  return *t.cursor;
}

// The value part of a key entry's key for the record buffer (no record number).
void ValueFromBuffer(FileBlock& block, OpenTable& t, int def_key, Bytes* out) {
  (void)kestrune::BuildKeyValue(t.key_context, static_cast<size_t>(def_key),
                                {block.record, block.record_length}, 0, out);
  if (t.definition.keys[static_cast<size_t>(def_key)].dup()) out->resize(out->size() - 4);
}

void EntryKey(OpenTable& t, int def_key, const Bytes& value, bool dup, uint32_t record,
              Bytes* out) {
  kestrune::KeyEntryKey(t.table, static_cast<uint8_t>(def_key), value,
                        dup ? kestrune::Duplicates::kDup : kestrune::Duplicates::kUnique, record,
                        out);
}

uint32_t RecordOfEntry(bool key_sequence, pagefile::Cursor& c) {
  if (key_sequence) return kestrune::ParseNumberData(c.data()).value_or(0);
  return kestrune::ParseKey(c.key()).record;
}

// The key entry of a record for key def_key (from the stored version), or false.
bool KeyEntryOfRecord(FileBlock& block, OpenTable& t, int def_key, uint32_t record, Bytes* out) {
  Bytes stored;
  if (!LoadStored(t, record, &stored)) return false;
  ToProgramForm(t, block, stored);
  stored.resize(block.record_length, 0);
  return KeyEntryFor(t, static_cast<size_t>(def_key), stored, record, out);
}

// Positions the cursor on the entry a NEXT (PREVIOUS) would read, without changing the sequence
// state. *record: the record it names. 0, or 33 past the end.
enum class Verify { kRecordExists, kCallerReads };
int32_t FindTarget(FileBlock& block, OpenTable& t, Dir dir, uint32_t* record,
                   Verify verify = Verify::kRecordExists) {
  pagefile::Cursor& c = CursorOf(t);
  const bool key_seq = IsKeySequence(t.sequence);
  const uint8_t kind = key_seq ? static_cast<uint8_t>(t.sequence_key_index) : kestrune::kKindData;
  Bytes& prefix = t.prefix_buf;
  kestrune::KindPrefix(t.table, kind, &prefix);
  const bool fwd = dir == Dir::kForward;
  const bool dup = key_seq && t.definition.keys[static_cast<size_t>(t.sequence_key_index)].dup();
  bool ok = false;
  Bytes& seek = t.seek_buf;
  switch (t.sequence) {
    case SK::kPhysicalInProgress:
    case SK::kKeyInProgress:
      if (c.Valid() && std::equal(c.key().begin(), c.key().end(), t.sequence_entry.begin(),
                                  t.sequence_entry.end())) {
        ok = fwd ? c.Next() : c.Prev();
      } else {
        ok = c.Seek(t.sequence_entry,
                    fwd ? pagefile::SeekBias::kAfter : pagefile::SeekBias::kBefore);
      }
      break;
    case SK::kPhysicalFromEnd:
    case SK::kKeyFromEnd:
      if (fwd) {
        ok = c.Seek(prefix, pagefile::SeekBias::kAtOrAfter);
      } else {
        seek = prefix;
        ++seek.back();
        ok = c.Seek(seek, pagefile::SeekBias::kBefore);
      }
      break;
    case SK::kPhysicalFromRecord:
      kestrune::DataKey(t.table, t.start_record, &seek);
      ok = c.Seek(seek, fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore);
      break;
    case SK::kPhysicalFromKey: {
      // The record the key value finds, then physical order from it.
      const int def_key = t.sequence_key_index;
      const bool kdup = t.definition.keys[static_cast<size_t>(def_key)].dup();
      EntryKey(t, def_key, t.start_value, kdup, fwd ? 0 : 0xFFFFFFFFu, &seek);
      Bytes kprefix;
      kestrune::KindPrefix(t.table, static_cast<uint8_t>(def_key), &kprefix);
      if (!c.Seek(seek, fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore) ||
          !HasPrefix(c.key(), kprefix)) {
        return err::kRecordNotAvailable;
      }
      const uint32_t rec = kestrune::ParseNumberData(c.data()).value_or(0);
      kestrune::DataKey(t.table, rec, &seek);
      ok = c.Seek(seek, fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore);
      break;
    }
    case SK::kKeyFromValue:
      EntryKey(t, t.sequence_key_index, t.start_value, dup, fwd ? 0 : 0xFFFFFFFFu, &seek);
      ok = c.Seek(seek, fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore);
      break;
    case SK::kKeyFromValueRecord:
      // start_value holds a whole entry key (value and, for a DUP key, the record number).
      ok = c.Seek(t.start_value,
                  fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore);
      break;
    case SK::kKeyFromRecord:
      if (!KeyEntryOfRecord(block, t, t.sequence_key_index, t.start_record, &seek)) {
        return err::kRecordNotAvailable;
      }
      ok = c.Seek(seek, fwd ? pagefile::SeekBias::kAtOrAfter : pagefile::SeekBias::kAtOrBefore);
      break;
    case SK::kNone:
      return err::kRecordNotAvailable;
  }
  // Skip key entries whose record is gone.
  while (ok && HasPrefix(c.key(), prefix)) {
    *record = RecordOfEntry(key_seq, c);
    // A reader finds a missing record itself (ReadNext); saving the lookup keeps a key scan at
    // one descent per record.
    if (!key_seq || verify == Verify::kCallerReads) return 0;
    kestrune::DataKey(t.table, *record, &seek);
    if (*record != 0 && t.file->pf->Contains(seek)) return 0;
    ok = fwd ? c.Next() : c.Prev();
  }
  return err::kRecordNotAvailable;
}

void EnterProgress(OpenTable& t) {
  pagefile::Cursor& c = CursorOf(t);
  t.sequence_entry.assign(c.key().begin(), c.key().end());
  t.sequence = IsKeySequence(t.sequence) ? SK::kKeyInProgress : SK::kPhysicalInProgress;
}

// The decoder of key `def_key` when a caller's entry test may be made on its entries: the key
// reads back into its fields, and a NOCASE key's upper-casing is the one UPPER applies now.
const kestrune::KeyDecoder* EntryDecoder(OpenTable& t, int def_key) {
  if (def_key < 0) return nullptr;
  const auto k = static_cast<size_t>(def_key);
  if (t.key_decoders.size() != t.definition.keys.size()) {
    t.key_decoders.assign(t.definition.keys.size(), std::nullopt);
  }
  if (!t.key_decoders[k]) {
    kestrune::KeyDecoder d = kestrune::MakeKeyDecoder(t.key_context, k);
    if (d.usable && t.definition.keys[k].nocase()) {
      // UPPER of a text read back must give that text again.
      for (int ch = 0; ch < 256 && d.usable; ++ch) {
        const uint8_t u = t.tables.upper[static_cast<size_t>(ch)];
        d.usable = t.tables.upper[u] == u;
      }
    }
    t.key_decoders[k] = d;
  }
  const kestrune::KeyDecoder& d = *t.key_decoders[k];
  if (!d.usable) return nullptr;
  if (t.definition.keys[k].nocase() && t.tables.upper != runtime::CurrentCharTables().upper) {
    return nullptr;  // the environment changed case tables since the table was made
  }
  return &d;
}

// Copies the key's fields between the record buffer and t.entry_saved.
void SwapKeyFields(FileBlock& block, OpenTable& t, int def_key, bool save) {
  if (save) t.entry_saved.clear();
  size_t at = 0;
  for (const kestrune::KeyComponent& c :
       t.definition.keys[static_cast<size_t>(def_key)].components) {
    const kestrune::FieldDef& f = t.definition.fields[c.field_index];
    uint8_t* field = block.record + f.offset;
    if (save) {
      t.entry_saved.insert(t.entry_saved.end(), field, field + f.size);
    } else {
      std::memcpy(field, t.entry_saved.data() + at, f.size);
    }
    at += f.size;
  }
}

int32_t ReadNext(FileBlock& block, OpenTable& t, Dir dir, const EntryTest* test) {
  const uint32_t requests = t.flags & (table_flag::kHoldRequested | table_flag::kWatchRequested);
  const kestrune::KeyDecoder* decoder = test && test->accept && IsKeySequence(t.sequence)
                                            ? EntryDecoder(t, t.sequence_key_index)
                                            : nullptr;
  bool fields_written = false;
  for (;;) {
    uint32_t record = 0;
    if (const int32_t e = FindTarget(block, t, dir, &record, Verify::kCallerReads); e != 0) {
      if (fields_written) SwapKeyFields(block, t, t.sequence_key_index, false);
      ReleaseHold(t);
      t.current = 0;
      t.flags &= ~(table_flag::kHoldRequested | table_flag::kWatchRequested | table_flag::kWatched);
      t.sequence = SK::kNone;
      return e;
    }
    if (decoder) {
      if (!fields_written) SwapKeyFields(block, t, t.sequence_key_index, true);
      fields_written = true;
      const auto key = CursorOf(t).key();
      kestrune::DecodeKeyValue(t.key_context, *decoder, static_cast<size_t>(t.sequence_key_index),
                               key.subspan(kestrune::kTablePrefixSize),
                               {block.record, block.record_length});
      if (!test->accept()) {
        // Passed over without reading its record; a hold or watch waits for the next one.
        EnterProgress(t);
        t.flags |= requests;
        continue;
      }
    }
    const int32_t e = ReadRecord(block, t, record);
    if (e == err::kRecordNotFound && IsKeySequence(t.sequence)) {
      // A key entry whose record is gone is skipped; the requests wait for the next record.
      EnterProgress(t);
      t.flags |= requests;
      continue;
    }
    if (e == 0) EnterProgress(t);
    if (e != 0 && fields_written) SwapKeyFields(block, t, t.sequence_key_index, false);
    return e;
  }
}

// Position texts: the current entry's key part, taken back by RESET and REGET. A caller may
// hand it back blank-padded to its position field: only the entry's own length is read.
size_t PositionLength(const OpenTable& t, int def_key) {
  if (def_key < 0) return kestrune::kTablePrefixSize + 4;
  return kestrune::kTablePrefixSize +
         kestrune::KeyValueLength(t.definition, static_cast<size_t>(def_key));
}

bool ParsePosition(const OpenTable& t, int def_key, const std::string& position, Bytes* out) {
  const size_t n = PositionLength(t, def_key);
  if (position.size() < n) return false;
  out->assign(position.begin(), position.begin() + static_cast<ptrdiff_t>(n));
  Bytes prefix;
  kestrune::KindPrefix(t.table, def_key < 0 ? kestrune::kKindData : static_cast<uint8_t>(def_key),
                       &prefix);
  return HasPrefix(*out, prefix);
}

int32_t GetByKey(FileBlock& block, OpenTable& t, int def_key) {
  const bool dup = t.definition.keys[static_cast<size_t>(def_key)].dup();
  Bytes value, seek;
  ValueFromBuffer(block, t, def_key, &value);
  EntryKey(t, def_key, value, dup, 0, &seek);
  pagefile::Cursor c(t.file->pf.get());
  Bytes data_key;
  for (bool ok = c.Seek(seek, pagefile::SeekBias::kAtOrAfter); ok; ok = c.Next()) {
    // The entry must carry exactly the value (a DUP key: any record number after it).
    const auto key = c.key();
    const size_t value_end = kestrune::kTablePrefixSize + value.size();
    if (key.size() < value_end ||
        !std::equal(seek.begin(), seek.begin() + static_cast<ptrdiff_t>(value_end), key.begin())) {
      break;
    }
    const uint32_t record = kestrune::ParseNumberData(c.data()).value_or(0);
    kestrune::DataKey(t.table, record, &data_key);
    if (record != 0 && t.file->pf->Contains(data_key)) return ReadRecord(block, t, record);
  }
  ReleaseHold(t);
  t.current = 0;
  return err::kRecordNotFound;
}

}  // namespace

int DefinitionKeyOf(const FileBlock& block, const OpenTable& t, const KeyDecl* key) {
  for (size_t k = 0; k < block.keys.size(); ++k) {
    if (block.keys[k].decl == key) {
      return t.key_numbers[k] == 0xFF ? -1 : t.key_numbers[k];
    }
  }
  return -1;
}

OpResult SequenceOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  if (OpResult r; DynamicSequenceOp(block, t, op, args, &r)) return r;
  const int def_key = args.key ? DefinitionKeyOf(block, t, args.key) : -1;
  auto needs_key = [&]() { return def_key < 0; };
  switch (op) {
    case Op::kSETfile:
      t.sequence = SK::kPhysicalFromEnd;
      return {};
    case Op::kSETfileptr:
      t.sequence = SK::kPhysicalFromRecord;
      t.start_record = args.pointer;
      return {};
    case Op::kSETfilekey:
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      t.sequence = SK::kPhysicalFromKey;
      t.sequence_key_index = def_key;
      ValueFromBuffer(block, t, def_key, &t.start_value);
      return {};
    case Op::kSETkey:
    case Op::kSETkeykey:
    case Op::kSETkeyptr:
    case Op::kSETkeykeyptr: {
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      t.sequence_key_index = def_key;
      t.sequence_key = args.key;
      if (op == Op::kSETkey) {
        t.sequence = SK::kKeyFromEnd;
      } else if (op == Op::kSETkeykey) {
        t.sequence = SK::kKeyFromValue;
        ValueFromBuffer(block, t, def_key, &t.start_value);
      } else if (op == Op::kSETkeyptr) {
        t.sequence = SK::kKeyFromRecord;
        t.start_record = args.pointer;
      } else {
        t.sequence = SK::kKeyFromValueRecord;
        Bytes value;
        ValueFromBuffer(block, t, def_key, &value);
        EntryKey(t, def_key, value, t.definition.keys[static_cast<size_t>(def_key)].dup(),
                 args.pointer, &t.start_value);
      }
      return {};
    }
    case Op::kRESETfile: {
      Bytes pos;
      if (!ParsePosition(t, -1, args.position, &pos)) return OpResult::Fail(err::kRecordNotFound);
      t.sequence = SK::kPhysicalFromRecord;
      t.start_record = kestrune::ParseKey(pos).record;
      return {};
    }
    case Op::kRESETkey: {
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      Bytes pos;
      if (!ParsePosition(t, def_key, args.position, &pos)) {
        return OpResult::Fail(err::kRecordNotFound);
      }
      t.sequence = SK::kKeyFromValueRecord;
      t.sequence_key_index = def_key;
      t.sequence_key = args.key;
      t.start_value = std::move(pos);
      return {};
    }
    case Op::kNEXT:
      return OpResult::Fail(ReadNext(block, t, Dir::kForward, args.entry_test));
    case Op::kPREVIOUS:
      return OpResult::Fail(ReadNext(block, t, Dir::kBackward, args.entry_test));
    case Op::kSKIP: {
      const Dir dir = args.count >= 0 ? Dir::kForward : Dir::kBackward;
      const int64_t n = args.count >= 0 ? int64_t{args.count} : -int64_t{args.count};
      ReleaseHold(t);
      t.current = 0;
      for (int64_t i = 0; i < n; ++i) {
        uint32_t record = 0;
        if (const int32_t e = FindTarget(block, t, dir, &record); e != 0) {
          t.sequence = SK::kNone;
          return OpResult::Fail(e);
        }
        EnterProgress(t);
      }
      return {};
    }
    case Op::kBOF:
    case Op::kEOF: {
      // Probe without moving: save the sequence, look, restore.
      const SK saved = t.sequence;
      const Bytes entry = t.sequence_entry;
      uint32_t record = 0;
      const int32_t e =
          FindTarget(block, t, op == Op::kEOF ? Dir::kForward : Dir::kBackward, &record);
      t.sequence = saved;
      t.sequence_entry = entry;
      if (e != 0 && e != err::kRecordNotAvailable) return OpResult::Fail(e);
      return OpResult::Value(e != 0 ? 1 : 0);
    }
    case Op::kPOSITIONfile: {
      Bytes key;
      kestrune::DataKey(t.table, t.current, &key);
      return OpResult::Text(std::string(key.begin(), key.end()));
    }
    case Op::kPOSITIONkey: {
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      Bytes key;
      if (!KeyEntryFor(t, static_cast<size_t>(def_key), {block.record, block.record_length},
                       t.current, &key)) {
        // A record an OPT key leaves out still has a place in that order: where its entry would be.
        Bytes value;
        ValueFromBuffer(block, t, def_key, &value);
        EntryKey(t, def_key, value, t.definition.keys[static_cast<size_t>(def_key)].dup(),
                 t.current, &key);
      }
      return OpResult::Text(std::string(key.begin(), key.end()));
    }
    case Op::kREGETfile: {
      Bytes pos;
      if (!ParsePosition(t, -1, args.position, &pos)) return OpResult::Fail(err::kRecordNotFound);
      return OpResult::Fail(ReadRecord(block, t, kestrune::ParseKey(pos).record));
    }
    case Op::kREGETkey: {
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      Bytes pos, data;
      if (!ParsePosition(t, def_key, args.position, &pos) || !t.file->pf->Get(pos, &data)) {
        return OpResult::Fail(err::kRecordNotFound);
      }
      return OpResult::Fail(ReadRecord(block, t, kestrune::ParseNumberData(data).value_or(0)));
    }
    case Op::kGETfilekey:
      if (needs_key()) return OpResult::Fail(err::kInvalidKeyFile);
      return OpResult::Fail(GetByKey(block, t, def_key));
    case Op::kGETfileptr:
    case Op::kGETfileptrlen:
    case Op::kGETkeyptr:
      return OpResult::Fail(ReadRecord(block, t, args.pointer));
    case Op::kPOINTERfile:
    case Op::kPOINTERkey:
      return OpResult::Value(t.current);
    default:
      break;
  }
  return Driver::Unsupported();
}

}  // namespace pellucor::data::kdriver
