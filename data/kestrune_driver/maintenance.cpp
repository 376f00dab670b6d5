// Builds, EMPTY and PACK; the driver options of SEND; properties; blobs.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "data/kestrune_driver/entry_prefix.h"
#include "data/kestrune_driver/operations.h"
#include "data/kestrune_driver/physical_file.h"
#include "runtime/core/error_state.h"

namespace pellucor::data::kdriver {
namespace {

namespace err = runtime::err;

// Writes every entry of key def_key again from the data entries, in record-number order.
int32_t RebuildKey(FileBlock& block, OpenTable& t, uint8_t def_key) {
  pagefile::PageFile& pf = *t.file->pf;
  Bytes prefix;
  kestrune::KindPrefix(t.table, def_key, &prefix);
  ErasePrefix(pf, prefix);
  Bytes data_prefix;
  kestrune::KindPrefix(t.table, kestrune::kKindData, &data_prefix);
  // Collect first: inserting while walking the data would move the cursor's pages under it.
  std::vector<std::pair<Bytes, uint32_t>> entries;
  Bytes record(block.record_length);
  {
    pagefile::Cursor c(&pf);
    for (bool ok = c.Seek(data_prefix, pagefile::SeekBias::kAtOrAfter);
         ok && HasPrefix(c.key(), data_prefix); ok = c.Next()) {
      const uint32_t number = kestrune::ParseKey(c.key()).record;
      std::fill(record.begin(), record.end(), 0);
      std::copy_n(c.data().begin(), std::min<size_t>(c.data().size(), record.size()),
                  record.begin());
      ToProgramForm(t, block, record);
      Bytes key;
      if (KeyEntryFor(t, def_key, record, number, &key))
        entries.emplace_back(std::move(key), number);
    }
  }
  uint32_t count = 0;
  for (const auto& [key, number] : entries) {
    kestrune::NumberData(number, &t.data_buf);
    if (!pf.Insert(key, t.data_buf)) return err::kDuplicateKey;
    ++count;
  }
  kestrune::Counter c = ReadCounter(t, def_key);
  c.count = count;
  WriteCounter(t, def_key, c);
  return 0;
}

std::string Upper(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c != ' ') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

OpResult BuildOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  pagefile::PageFile& pf = *t.file->pf;
  switch (op) {
    case Op::kBUILDkey: {
      const int k = DefinitionKeyOf(block, t, args.key);
      if (k < 0) return Driver::Unsupported();  // a dynamic index: built by BUILDdyn
      return OpResult::Fail(RebuildKey(block, t, static_cast<uint8_t>(k)));
    }
    case Op::kBUILDfile:
      for (size_t k = 0; k < t.definition.keys.size(); ++k) {
        if (const int32_t e = RebuildKey(block, t, static_cast<uint8_t>(k)); e != 0) {
          return OpResult::Fail(e);
        }
      }
      return {};
    case Op::kEMPTY: {
      // Every record, key entry and memo chunk goes; the definition, character tables and the
      // counters' values stay (counts become 0).
      Bytes prefix;
      for (uint8_t kind : {kestrune::kKindData, kestrune::kKindMemo}) {
        kestrune::KindPrefix(t.table, kind, &prefix);
        ErasePrefix(pf, prefix);
      }
      for (size_t k = 0; k < t.definition.keys.size(); ++k) {
        kestrune::KindPrefix(t.table, static_cast<uint8_t>(k), &prefix);
        ErasePrefix(pf, prefix);
        kestrune::Counter c = ReadCounter(t, static_cast<uint8_t>(k));
        c.count = 0;
        WriteCounter(t, static_cast<uint8_t>(k), c);
      }
      kestrune::Counter c = ReadCounter(t, kestrune::kDataCounter);
      c.count = 0;
      WriteCounter(t, kestrune::kDataCounter, c);
      ReleaseHold(t);
      t.current = 0;
      return {};
    }
    case Op::kPACK:
      // The tree keeps no free space inside a table: pages are rewritten whole at every change
      // and freed pages leave their region. Rebuilding the keys packs their pages afresh.
      for (size_t k = 0; k < t.definition.keys.size(); ++k) {
        if (const int32_t e = RebuildKey(block, t, static_cast<uint8_t>(k)); e != 0) {
          return OpResult::Fail(e);
        }
      }
      return {};
    default:
      break;
  }
  return Driver::Unsupported();
}

OpResult SendOp(FileBlock& block, Op, OpArgs& args) {
  const std::string text = args.text;
  const size_t eq = text.find('=');
  const std::string name = Upper(text.substr(0, eq));
  const bool setting = eq != std::string::npos;
  std::string value = setting ? text.substr(eq + 1) : std::string();
  while (!value.empty() && value.back() == ' ') value.pop_back();
  while (!value.empty() && value.front() == ' ') value.erase(value.begin());
  OpenTable* t = block.driver_state ? &TableOf(block) : nullptr;
  if (name == "TCF") {
    std::string previous = TransactionControlFile();
    if (setting) SetTransactionControlFile(value);
    return OpResult::Text(previous);
  }
  if (name == "FULLBUILD") {
    if (!t) return OpResult::Fail(err::kFileNotOpen);
    std::string previous = (t->flags & table_flag::kFullBuild) ? "ON" : "OFF";
    if (setting) {
      const std::string v = Upper(value);
      if (v == "ON") {
        t->flags |= table_flag::kFullBuild;
      } else if (v == "OFF") {
        t->flags &= ~table_flag::kFullBuild;
      } else {
        return OpResult::Fail(err::kInvalidParameterCount);
      }
    }
    return OpResult::Text(previous);
  }
  if (name == "FLAGS") {
    if (!t || !t->file) return OpResult::Fail(err::kFileNotOpen);
    PhysicalFile& f = *t->file;
    if (!setting) {
      if (const int32_t e = BeginOperation(f, OpKind::kRead); e != 0) return OpResult::Fail(e);
      const auto c = ReadCounter(*t, kestrune::kDataCounter);
      (void)EndOperation(f, t);
      return OpResult::Text(std::to_string(c.value));
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || v > 0xFFFFFFFFull || !f.may_write) {
      return OpResult::Fail(value.empty() || *end != '\0' ? err::kInvalidParameterCount
                                                          : err::kAccessDenied);
    }
    if (const int32_t e = BeginOperation(f, OpKind::kWrite); e != 0) return OpResult::Fail(e);
    if (TransactionActive()) JoinTransaction(*t);
    kestrune::Counter c = ReadCounter(*t, kestrune::kDataCounter);
    const uint32_t previous = c.value;
    c.value = static_cast<uint32_t>(v);
    WriteCounter(*t, kestrune::kDataCounter, c);
    const int32_t e = EndOperation(f, t);
    if (e != 0) return OpResult::Fail(e);
    return OpResult::Text(std::to_string(previous));
  }
  if (name == "PNM") {
    if (!t || !t->file) return OpResult::Fail(err::kFileNotOpen);
    PhysicalFile& f = *t->file;
    if (const int32_t e = BeginOperation(f, OpKind::kRead); e != 0) return OpResult::Fail(e);
    std::string wanted = Upper(value);
    Bytes key;
    kestrune::NameDirectoryKey(wanted, &key);
    std::string found;
    pagefile::Cursor c(f.pf.get());
    if (c.Seek(key, pagefile::SeekBias::kAtOrAfter) && !c.key().empty() &&
        c.key()[0] == kestrune::kKindNameDirectory) {
      found.assign(c.key().begin() + 1, c.key().end());
    }
    (void)EndOperation(f, t);
    return OpResult::Text(found);
  }
  return OpResult::Fail(err::kInvalidParameterCount);
}

// Properties, by name (compared without regard to case and blanks); unknown names read as an
// empty text and are ignored when set. Switches read as "1" when on and "" when off, and are set
// on by any value but "", "0" and "OFF".
//   GET_PROPERTY   CREATE, ENCRYPT, OEM, RECLAIM, THREAD (the attributes), DETAILS (the trace
//                  details switch), FULLBUILD, DRIVER, NAME
//   SET_PROPERTY   DETAILS, FULLBUILD (needs the table open)
//   GETPROPERTYkey NAME, LABEL (the key's label), BUILT, COMPONENTS (a dynamic index's component
//                  text), RECORDS (the entries of a built dynamic index)
//   SETPROPERTYkey COMPONENTS: the component text a BUILDdyn without a text uses
OpResult PropertyOp(FileBlock& block, Op op, OpArgs& args) {
  const std::string name = Upper(args.text);
  OpenTable* t = block.driver_state ? &TableOf(block) : nullptr;
  auto flag = [](bool on) { return OpResult::Text(on ? "1" : ""); };
  auto switched_on = [](const std::string& value) {
    const std::string v = Upper(value);
    return !v.empty() && v != "0" && v != "OFF";
  };
  switch (op) {
    case Op::kGET_PROPERTY:
      break;
    case Op::kSET_PROPERTY:
      if (name == "DETAILS") block.trace.details = switched_on(args.value);
      if (name == "FULLBUILD" && t) {
        if (switched_on(args.value)) {
          t->flags |= table_flag::kFullBuild;
        } else {
          t->flags &= ~table_flag::kFullBuild;
        }
      }
      return {};
    case Op::kGETPROPERTYkey: {
      const KeyDecl* key = args.key;
      if (!key) return OpResult::Text("");
      const DynamicIndex* d = t ? DynamicIndexOf(*t, key) : nullptr;
      if (name == "NAME" || name == "LABEL") return OpResult::Text(key->label);
      if (name == "BUILT") {
        for (const KeySlot& slot : block.keys) {
          if (slot.decl == key) return flag(!slot.must_be_built || slot.built);
        }
        return OpResult::Text("");
      }
      if (name == "COMPONENTS") return OpResult::Text(d ? d->components : std::string());
      if (name == "RECORDS") return OpResult::Text(d ? std::to_string(d->entries.size()) : "");
      return OpResult::Text("");
    }
    case Op::kSETPROPERTYkey:
      if (name == "COMPONENTS" && t && args.key) {
        std::erase_if(t->dynamic_defaults, [&](const auto& p) { return p.first == args.key; });
        t->dynamic_defaults.emplace_back(args.key, args.value);
      }
      return {};
    default:
      return Driver::Unsupported();
  }
  if (name == "CREATE") return flag(block.attributes & attr::kCreate);
  if (name == "ENCRYPT") return flag(block.attributes & attr::kEncrypt);
  if (name == "OEM") return flag(block.attributes & attr::kOem);
  if (name == "RECLAIM") return flag(block.attributes & attr::kReclaim);
  if (name == "THREAD") return flag(block.attributes & attr::kThread);
  if (name == "DETAILS") return flag(block.trace.details);
  if (name == "FULLBUILD") return flag(t && (t->flags & table_flag::kFullBuild));
  if (name == "DRIVER") return OpResult::Text("KESTRUNE");
  if (name == "NAME") return OpResult::Text(t && t->file ? t->reported_name : block.name);
  return OpResult::Text("");
}

OpResult BlobOp(FileBlock& block, OpenTable& t, Op op, OpArgs& args) {
  if (args.index < 0 || static_cast<size_t>(args.index) >= block.memos.size()) {
    return OpResult::Fail(err::kInvalidParameterCount);
  }
  const size_t i = static_cast<size_t>(args.index);
  MemoSlot& m = block.memos[i];
  if (!(m.flags & memo_flag::kBlob)) return OpResult::Fail(err::kInvalidFieldType);
  switch (op) {
    case Op::kBLOB_SIZE:
      return OpResult::Value(static_cast<int64_t>(m.buffer->size()));
    case Op::kBLOB_YIELD: {
      OpResult r;
      r.bytes.assign(m.buffer->begin(), m.buffer->end());
      r.value = static_cast<int64_t>(r.bytes.size());
      return r;
    }
    case Op::kBLOB_TAKE:
      m.buffer->assign(args.bytes.begin(), args.bytes.end());
      if (t.blobs.size() < block.memos.size()) t.blobs.resize(block.memos.size());
      t.blobs[i] = args.bytes;
      return {};
    default:
      break;
  }
  return Driver::Unsupported();
}

}  // namespace pellucor::data::kdriver
