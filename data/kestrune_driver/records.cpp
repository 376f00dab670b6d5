// Reading, adding, changing and deleting records, their key entries, counters and memos.
#include <algorithm>
#include <cstring>

#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;
using runtime::TypeCode;

bool IsStringField(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString;
}

kestrune::MemoForm FormOf(const MemoSlot& m) {
  if (m.flags & memo_flag::kBlob) return kestrune::MemoForm::kBlob;
  if (m.flags & memo_flag::kBinary) return kestrune::MemoForm::kBinary;
  return kestrune::MemoForm::kText;
}

// The memo's contents as stored: a text memo without trailing blanks, OEM text in an OEM table.
Bytes StoredMemo(const FileBlock& block, const OpenTable& t, size_t i) {
  const MemoSlot& m = block.memos[i];
  const std::vector<uint8_t>& buffer = *m.buffer;
  const kestrune::MemoForm form = FormOf(m);
  Bytes out;
  if (form == kestrune::MemoForm::kBlob) {
    if (i < t.blobs.size() && t.blobs[i]) return *t.blobs[i];
    out.assign(buffer.begin(), buffer.end());
    return out;
  }
  size_t n = buffer.size();
  if (form == kestrune::MemoForm::kText) {
    while (n > 0 && (buffer[n - 1] == ' ' || buffer[n - 1] == 0)) --n;
  }
  out.assign(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
  if (form == kestrune::MemoForm::kText && t.oem) {
    for (uint8_t& c : out) c = platform::AnsiToOem(c);
  }
  return out;
}

std::vector<Bytes> ReadStoredMemos(OpenTable& t, kestrune::RecordNumber record, size_t count) {
  std::vector<std::vector<Bytes>> chunks(count);
  Bytes prefix;
  kestrune::MemoRecordPrefix(t.table, record, &prefix);
  pagefile::Cursor c(t.file->pf.get());
  for (bool ok = c.Seek(prefix, pagefile::SeekBias::kAtOrAfter); ok; ok = c.Next()) {
    const auto key = c.key();
    if (!HasPrefix(key, prefix)) break;
    const kestrune::ParsedKey parsed = kestrune::ParseKey(key);
    if (parsed.kind != kestrune::EntryKind::kMemo || parsed.memo >= count) continue;
    chunks[parsed.memo].emplace_back(c.data().begin(), c.data().end());
  }
  std::vector<Bytes> out(count);
  for (size_t i = 0; i < count; ++i) {
    // A memo's form decides how its chunks join; the caller knows it, so join as binary here and
    // let the caller interpret a blob's size prefix.
    for (const Bytes& b : chunks[i]) out[i].insert(out[i].end(), b.begin(), b.end());
  }
  return out;
}

}  // namespace

void ToStoredForm(const OpenTable& t, const FileBlock& block, std::span<const uint8_t> record,
                  Bytes* out) {
  out->assign(record.begin(), record.end());
  if (!t.oem) return;
  for (const FieldInfo& f : block.layout.fields) {
    if (!IsStringField(f.type) || f.over != 0) continue;
    for (uint32_t i = 0; i < f.size; ++i) {
      (*out)[f.offset + i] = platform::AnsiToOem((*out)[f.offset + i]);
    }
  }
}

void ToProgramForm(const OpenTable& t, const FileBlock& block, std::span<uint8_t> record) {
  if (!t.oem) return;
  for (const FieldInfo& f : block.layout.fields) {
    if (!IsStringField(f.type) || f.over != 0) continue;
    for (uint32_t i = 0; i < f.size; ++i) {
      record[f.offset + i] = platform::OemToAnsi(record[f.offset + i]);
    }
  }
}

kestrune::Counter ReadCounter(OpenTable& t, uint8_t which) {
  kestrune::CounterKey(t.table, which, &t.key_buf2);
  if (!t.file->pf->Get(t.key_buf2, &t.data_buf)) return {};
  return kestrune::ParseCounterData(t.data_buf).value_or(kestrune::Counter{});
}

void WriteCounter(OpenTable& t, uint8_t which, const kestrune::Counter& c) {
  kestrune::CounterKey(t.table, which, &t.key_buf2);
  kestrune::CounterData(c, &t.data_buf);
  t.file->pf->Put(t.key_buf2, t.data_buf);
}

namespace {
void AdjustCounter(OpenTable& t, uint8_t which, int delta) {
  kestrune::Counter c = ReadCounter(t, which);
  c.count = static_cast<uint32_t>(static_cast<int64_t>(c.count) + delta);
  WriteCounter(t, which, c);
}
}  // namespace

bool KeyEntryFor(OpenTable& t, size_t def_key, std::span<const uint8_t> record,
                 kestrune::RecordNumber number, Bytes* out) {
  const kestrune::KeyBuild built =
      kestrune::BuildKeyValue(t.key_context, def_key, record, number, &t.value_buf);
  if (built == kestrune::KeyBuild::kOmitted) return false;
  const auto dup =
      t.definition.keys[def_key].dup() ? kestrune::Duplicates::kDup : kestrune::Duplicates::kUnique;
  // KeyEntryKey appends the record number itself for a DUP key: hand it the value without it.
  std::span<const uint8_t> value(t.value_buf);
  if (dup == kestrune::Duplicates::kDup) value = value.first(value.size() - 4);
  kestrune::KeyEntryKey(t.table, static_cast<uint8_t>(def_key), value, dup, number, out);
  return true;
}

// Whether a declared key is kept up to date by ADD, PUT and DELETE.
static bool Maintained(const FileBlock& block, size_t decl_key) {
  return !block.keys[decl_key].must_be_built;
}

bool DuplicatesUniqueKey(OpenTable& t, std::span<const uint8_t> record, kestrune::RecordNumber self,
                         const KeyDecl* only) {
  for (size_t k = 0; k < t.definition.keys.size(); ++k) {
    // Keys that must be built before use are not kept up to date, nor checked, by writes.
    if (t.definition.keys[k].dup() || (t.definition.keys[k].flags & kestrune::kKeyIndex)) continue;
    if (only != nullptr && t.definition.keys[k].label != only->label) continue;
    if (!KeyEntryFor(t, k, record, self, &t.key_buf)) continue;
    if (t.file->pf->Get(t.key_buf, &t.data_buf)) {
      const auto other = kestrune::ParseNumberData(t.data_buf);
      if (!other || *other != self) return true;
    }
  }
  return false;
}

bool LoadStored(OpenTable& t, kestrune::RecordNumber record, Bytes* out) {
  kestrune::DataKey(t.table, record, &t.key_buf2);
  if (!t.file->pf->Get(t.key_buf2, out)) return false;
  return true;
}

void ReleaseHold(OpenTable& t) {
  if ((t.flags & table_flag::kHeld) && t.current != 0) ReleaseNumberLock(*t.file, t.current);
  t.flags &= ~table_flag::kHeld;
}

void ReadMemos(FileBlock& block, OpenTable& t, kestrune::RecordNumber record) {
  if (block.memos.empty()) return;
  std::vector<Bytes> stored = ReadStoredMemos(t, record, block.memos.size());
  t.blobs.assign(block.memos.size(), std::nullopt);
  for (size_t i = 0; i < block.memos.size(); ++i) {
    MemoSlot& m = block.memos[i];
    std::vector<uint8_t>& buffer = *m.buffer;
    const kestrune::MemoForm form = FormOf(m);
    Bytes content = stored[i];
    if (form == kestrune::MemoForm::kBlob) {
      std::vector<Bytes> one{content};
      content = kestrune::JoinMemo(one, kestrune::MemoForm::kBlob).value_or(Bytes{});
      buffer.assign(content.begin(), content.end());
      continue;
    }
    if (form == kestrune::MemoForm::kText && t.oem) {
      for (uint8_t& c : content) c = platform::OemToAnsi(c);
    }
    const uint8_t fill = form == kestrune::MemoForm::kText ? ' ' : 0;
    std::fill(buffer.begin(), buffer.end(), fill);
    std::copy_n(content.begin(), std::min(content.size(), buffer.size()), buffer.begin());
  }
}

void EraseMemos(OpenTable& t, kestrune::RecordNumber record) {
  Bytes prefix;
  kestrune::MemoRecordPrefix(t.table, record, &prefix);
  ErasePrefix(*t.file->pf, prefix);
}

void WriteMemos(FileBlock& block, OpenTable& t, kestrune::RecordNumber record) {
  if (block.memos.empty()) return;
  EraseMemos(t, record);
  Bytes key;
  for (size_t i = 0; i < block.memos.size(); ++i) {
    const Bytes content = StoredMemo(block, t, i);
    const auto chunks = kestrune::SplitMemo(content, FormOf(block.memos[i]));
    for (size_t n = 0; n < chunks.size(); ++n) {
      kestrune::MemoKey(t.table, record, static_cast<uint8_t>(i), static_cast<uint16_t>(n), &key);
      t.file->pf->Put(key, chunks[n]);
    }
  }
}

static int32_t FinishRead(FileBlock& block, OpenTable& t, kestrune::RecordNumber record);

int32_t ReadRecord(FileBlock& block, OpenTable& t, kestrune::RecordNumber record) {
  // 1. The previous record is no longer current.
  ReleaseHold(t);
  t.flags &= ~table_flag::kWatched;
  t.current = 0;
  // 2. The data entry, read in place: it goes straight into the record buffer.
  kestrune::DataKey(t.table, record, &t.key_buf2);
  if ((t.flags & (table_flag::kHoldRequested | table_flag::kWatchRequested)) == 0) {
    // Nothing to do before the record lands in the buffer: it is copied there from its page,
    // or from the stored page without caching it.
    size_t length = 0;
    if (!t.file->pf->ReadData(t.key_buf2, {block.record, block.record_length}, &length)) {
      return err::kRecordNotFound;
    }
    if (length < block.record_length) {
      std::memset(block.record + length, 0, block.record_length - length);
    }
    t.last_record_bytes = length;
    return FinishRead(block, t, record);
  }
  std::span<const uint8_t> stored;
  if (!t.file->pf->Peek(t.key_buf2, &stored)) {
    t.flags &= ~(table_flag::kHoldRequested | table_flag::kWatchRequested);
    return err::kRecordNotFound;
  }
  // 3. A hold request.
  if (t.flags & table_flag::kHoldRequested) {
    if (!TryNumberLock(*t.file, record)) return err::kRecordHeld;
    t.flags = (t.flags & ~table_flag::kHoldRequested) | table_flag::kHeld;
  }
  // 4. The record, its memos. (The watch copy is taken before the memos are read: reading them
  // may drop the page `stored` points into.)
  const size_t n = std::min<size_t>(stored.size(), block.record_length);
  std::memcpy(block.record, stored.data(), n);
  if (n < block.record_length) std::memset(block.record + n, 0, block.record_length - n);
  t.last_record_bytes = stored.size();
  if (t.flags & table_flag::kWatchRequested) t.watch_copy.assign(stored.begin(), stored.end());
  return FinishRead(block, t, record);
}

// The rest of a read once the stored record is in the buffer: the program's form, the memos,
// the watch copy.
static int32_t FinishRead(FileBlock& block, OpenTable& t, kestrune::RecordNumber record) {
  ToProgramForm(t, block, {block.record, block.record_length});
  t.current = record;
  t.blobs.clear();
  if (t.nomemo_next) {
    t.flags |= table_flag::kMemosNotRead;
  } else {
    t.flags &= ~table_flag::kMemosNotRead;
    ReadMemos(block, t, record);
  }
  t.nomemo_next = false;
  // 5. A watch request keeps the record as read.
  if (t.flags & table_flag::kWatchRequested) {
    t.flags = (t.flags & ~table_flag::kWatchRequested) | table_flag::kWatched;
    t.watch_memos_valid = !(t.flags & table_flag::kMemosNotRead) && !block.memos.empty();
    if (t.watch_memos_valid) t.watch_memos = ReadStoredMemos(t, record, block.memos.size());
  }
  return 0;
}

int32_t AddRecord(FileBlock& block, OpenTable& t, Op op, uint32_t length) {
  pagefile::PageFile& pf = *t.file->pf;
  std::span<const uint8_t> record(block.record, block.record_length);
  const bool with_keys = op == Op::kADD || op == Op::kADDfilelen;
  const kestrune::RecordNumber number = pf.NextNumber();
  if (with_keys && DuplicatesUniqueKey(t, record, number, nullptr)) return err::kDuplicateKey;
  if (with_keys) {
    for (size_t k = 0; k < block.keys.size(); ++k) {
      const uint8_t def_key = t.key_numbers[k];
      if (def_key == 0xFF || !Maintained(block, k)) continue;
      if (!KeyEntryFor(t, def_key, record, number, &t.key_buf)) continue;
      kestrune::NumberData(number, &t.data_buf);
      if (!pf.Insert(t.key_buf, t.data_buf)) return err::kDuplicateKey;  // checked above
      AdjustCounter(t, def_key, +1);
    }
  }
  // The data entry: the record as stored; a `len` form stores only its first `length` bytes.
  ToStoredForm(t, block, record, &t.scratch);
  if ((op == Op::kADDfilelen || op == Op::kAPPENDlen) && length > 0 && length < t.scratch.size()) {
    t.scratch.resize(length);
  }
  kestrune::DataKey(t.table, number, &t.key_buf);
  pf.Put(t.key_buf, t.scratch);
  WriteMemos(block, t, number);
  AdjustCounter(t, kestrune::kDataCounter, +1);
  ReleaseHold(t);
  t.flags &= ~table_flag::kWatched;
  t.current = number;
  t.blobs.clear();
  return 0;
}

int32_t PutRecord(FileBlock& block, OpenTable& t, kestrune::RecordNumber record, uint32_t length) {
  pagefile::PageFile& pf = *t.file->pf;
  if (record == 0) return err::kRecordNotAvailable;
  // 2. A record nobody holds is locked for the length of the PUT.
  const bool held_here = (t.flags & table_flag::kHeld) && t.current == record;
  bool locked_now = false;
  if (!held_here) {
    if (HoldsNumberLock(*t.file, record) || !TryNumberLock(*t.file, record)) {
      return err::kAccessDenied;
    }
    locked_now = true;
  }
  auto finish = [&](int32_t e) {
    if (locked_now) ReleaseNumberLock(*t.file, record);
    // A PUT that went through ends the hold and the watch; a refused one keeps the hold (the
    // state word still shows it) and ends only the watch, as a failed operation does.
    if (e == 0) ReleaseHold(t);
    t.flags &= ~table_flag::kWatched;
    return e;
  };
  // 3. The stored version.
  Bytes& stored = t.stored_buf;
  if (!LoadStored(t, record, &stored)) return finish(err::kRecordNotFound);
  // 4. Changed by another program since it was watched?
  if ((t.flags & table_flag::kWatched) && t.current == record) {
    bool changed = stored != t.watch_copy;
    if (!changed && t.watch_memos_valid) {
      changed = ReadStoredMemos(t, record, block.memos.size()) != t.watch_memos;
    }
    if (changed) return finish(err::kRecordChanged);
  }
  Bytes& old_program = t.old_record_buf;
  old_program = stored;
  ToProgramForm(t, block, old_program);
  old_program.resize(block.record_length, 0);
  std::span<const uint8_t> now(block.record, block.record_length);
  // 5. Keys and the data entry, when the record changed.
  if (!std::equal(now.begin(), now.end(), old_program.begin())) {
    if (DuplicatesUniqueKey(t, now, record, nullptr)) return finish(err::kDuplicateKey);
    for (size_t k = 0; k < block.keys.size(); ++k) {
      const uint8_t def_key = t.key_numbers[k];
      if (def_key == 0xFF || !Maintained(block, k)) continue;
      Bytes& old_key = t.old_key_buf;
      const bool had = KeyEntryFor(t, def_key, old_program, record, &old_key);
      const bool has = KeyEntryFor(t, def_key, now, record, &t.key_buf);
      if (had && has && old_key == t.key_buf) continue;
      if (had) {
        // Remove the old entry only when it is this record's.
        if (pf.Get(old_key, &t.data_buf) && kestrune::ParseNumberData(t.data_buf) == record) {
          (void)pf.Erase(old_key);
          AdjustCounter(t, def_key, -1);
        }
      }
      if (has) {
        kestrune::NumberData(record, &t.data_buf);
        if (pf.Insert(t.key_buf, t.data_buf)) AdjustCounter(t, def_key, +1);
      }
    }
    ToStoredForm(t, block, now, &t.scratch);
    if (length > 0 && length < t.scratch.size()) t.scratch.resize(length);
    kestrune::DataKey(t.table, record, &t.key_buf);
    pf.Put(t.key_buf, t.scratch);
  }
  // 6. Memos, unless the record was read without them.
  if (!(t.flags & table_flag::kMemosNotRead)) WriteMemos(block, t, record);
  t.blobs.clear();
  return finish(0);
}

int32_t DeleteRecord(FileBlock& block, OpenTable& t) {
  pagefile::PageFile& pf = *t.file->pf;
  const kestrune::RecordNumber record = t.current;
  if (record == 0) return err::kRecordNotAvailable;
  const bool held_here = (t.flags & table_flag::kHeld) != 0;
  bool locked_now = false;
  if (!held_here) {
    if (HoldsNumberLock(*t.file, record) || !TryNumberLock(*t.file, record)) {
      return err::kAccessDenied;
    }
    locked_now = true;
  }
  Bytes& stored = t.stored_buf;
  if (!LoadStored(t, record, &stored)) {
    if (locked_now) ReleaseNumberLock(*t.file, record);
    return err::kRecordNotFound;
  }
  ToProgramForm(t, block, stored);
  stored.resize(block.record_length, 0);
  for (size_t k = 0; k < block.keys.size(); ++k) {
    const uint8_t def_key = t.key_numbers[k];
    if (def_key == 0xFF || !Maintained(block, k)) continue;
    if (!KeyEntryFor(t, def_key, stored, record, &t.key_buf)) continue;
    if (pf.Get(t.key_buf, &t.data_buf) && kestrune::ParseNumberData(t.data_buf) == record) {
      (void)pf.Erase(t.key_buf);
      AdjustCounter(t, def_key, -1);
    }
  }
  EraseMemos(t, record);
  kestrune::DataKey(t.table, record, &t.key_buf);
  (void)pf.Erase(t.key_buf);
  AdjustCounter(t, kestrune::kDataCounter, -1);
  if (locked_now) ReleaseNumberLock(*t.file, record);
  ReleaseHold(t);
  t.flags &= ~table_flag::kWatched;
  t.current = 0;
  t.blobs.clear();
  return 0;
}

}  // namespace pellucor::data::kdriver
