// The structural check. Pages are read afresh (through a pending log when there is one) with
// the reading that reports damage instead of stopping, so a damaged file yields a list of
// faults. The tree walk collects what the entries say per table; the table checks then compare
// counters, key entries and records.
//
// Key entries are addressed by key number = the key's index in the table definition. A key
// without any entry while the table has records is taken as an index that was never built
// (INDEX keys are built on demand and the stored flags do not say which keys they are).
#include "data/pagefile/checker.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <unordered_set>

#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/key_value.h"
#include "data/kestrune/page_codec.h"
#include "data/kestrune/table_definition.h"
#include "runtime/core/char_tables.h"

namespace pellucor::data::pagefile {

namespace kst = kestrune;
using kst::Bytes;

std::string CheckReport::Text() const {
  std::ostringstream out;
  for (const CheckFault& f : faults) {
    if (f.page == kNoRoot) {
      out << "header: " << f.text << "\n";
    } else {
      out << "page " << f.page << ": " << f.text << "\n";
    }
  }
  return out.str();
}

namespace {

std::string Hex(std::span<const uint8_t> bytes, size_t limit = 24) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  if (bytes.size() > limit) s += "...";
  return s;
}

struct TableFacts {
  std::string name;
  std::map<uint16_t, Bytes> definition_blocks;
  std::optional<Bytes> char_tables;  // OEM flag + 1152 bytes
  std::map<uint8_t, kst::Counter> counters;
  std::map<uint32_t, Bytes> records;
  uint32_t first_page = kNoRoot;                   // where its first entry was found
  std::map<uint8_t, std::set<Bytes>> key_entries;  // key number -> key parts
  std::map<uint8_t, uint32_t> key_pages;           // a page holding the key's entries
  std::set<uint32_t> memo_records;
};

class Checker {
 public:
  Checker(PageFile* file, size_t max_faults, CheckScope scope)
      : file_(file), max_(max_faults), tables_scope_(scope == CheckScope::kTables) {}

  CheckReport Run() {
    const FileHeader& h = file_->header();
    if (h.root != kNoRoot && h.change_counter != 0) Walk(h.root, -1, 0);
    CheckRegions();
    CheckTables();
    report_.pages = visited_.size();
    return std::move(report_);
  }

 private:
  bool Full() const { return report_.faults.size() >= max_; }
  void Fault(uint32_t page, std::string text) {
    if (!Full()) report_.faults.push_back({page, std::move(text)});
  }

  // Walks page `number`, expected at `level` (-1: the root, any level), whose parent entry
  // holds `expected_first` (nullptr for the root). Returns false when the page is unusable.
  void Walk(uint32_t number, int level, const Bytes* expected_first) {
    if (Full()) return;
    if (!visited_.insert(number).second) {
      Fault(number, "page reached twice from the root");
      return;
    }
    kst::Page page;
    kst::PagePrefix prefix;
    if (int32_t error = file_->ReadPageChecked(number, &page, &prefix)) {
      Fault(number, "cannot be read (internal error " + std::to_string(error) + ")");
      return;
    }
    if (level >= 0 && page.level() != level) {
      Fault(number, "level " + std::to_string(page.level()) + " where " + std::to_string(level) +
                        " was expected");
      return;
    }
    if (prefix.size_account < prefix.unpacked_length) {
      Fault(number, "size account below the unpacked length");
    }
    if (page.empty()) {
      Fault(number, "page without entries");
      return;
    }
    if (expected_first) {
      auto first = page.Key(0);
      if (!std::equal(first.begin(), first.end(), expected_first->begin(), expected_first->end())) {
        Fault(number, "first key " + Hex(first) + " differs from its parent's entry " +
                          Hex(*expected_first));
      }
    }
    for (size_t i = 1; i < page.count(); ++i) {
      if (kst::CompareKeys(page.Key(i - 1), page.Key(i)) >= 0) {
        Fault(number, "entries out of order at " + std::to_string(i));
        break;
      }
    }
    if (!page.is_leaf()) {
      for (size_t i = 0; i < page.count() && !Full(); ++i) {
        auto key = page.Key(i);
        Bytes copy(key.begin(), key.end());
        Walk(page.Child(i), page.level() - 1, &copy);
      }
      return;
    }
    for (size_t i = 0; i < page.count(); ++i) {
      auto key = page.Key(i);
      if (have_last_ && kst::CompareKeys(last_key_, key) >= 0) {
        Fault(number, "entry " + std::to_string(i) + " not above the previous page's last entry");
      }
      last_key_.assign(key.begin(), key.end());
      have_last_ = true;
      ++report_.entries;
      if (tables_scope_) Note(number, key, page.Data(i));
    }
  }

  void Note(uint32_t page, std::span<const uint8_t> key, std::span<const uint8_t> data) {
    const kst::ParsedKey p = kst::ParseKey(key);
    if (p.kind != kst::EntryKind::kNameDirectory && p.kind != kst::EntryKind::kUnknown) {
      TableFacts& t = tables_[p.table];
      if (t.first_page == kNoRoot) t.first_page = page;
    }
    switch (p.kind) {
      case kst::EntryKind::kNameDirectory: {
        auto number = kst::ParseNumberData(data);
        if (!number) {
          Fault(page, "name directory entry without a table number");
          return;
        }
        if (tables_.count(*number) && !tables_[*number].name.empty()) {
          Fault(page, "two names for table " + std::to_string(*number));
        }
        tables_[*number].name = std::string(p.table_name);
        return;
      }
      case kst::EntryKind::kDefinition:
        tables_[p.table].definition_blocks[p.block].assign(data.begin(), data.end());
        return;
      case kst::EntryKind::kCharTables:
        tables_[p.table].char_tables = Bytes(data.begin(), data.end());
        return;
      case kst::EntryKind::kCounter: {
        auto c = kst::ParseCounterData(data);
        if (!c) {
          Fault(page, "counter of table " + std::to_string(p.table) + " has a bad data part");
          return;
        }
        tables_[p.table].counters[p.which] = *c;
        return;
      }
      case kst::EntryKind::kData: {
        tables_[p.table].records[p.record].assign(data.begin(), data.end());
        return;
      }
      case kst::EntryKind::kKeyEntry: {
        TableFacts& t = tables_[p.table];
        t.key_entries[p.key_number].insert(Bytes(key.begin(), key.end()));
        t.key_pages.emplace(p.key_number, page);
        // The data part names the record; the set above keeps the key part, so check here that
        // the record number in the data agrees with a DUP key's tail when there is one.
        if (!kst::ParseNumberData(data)) {
          Fault(page, "key entry " + Hex(key) + " has a bad data part");
        } else {
          key_records_[Bytes(key.begin(), key.end())] = *kst::ParseNumberData(data);
        }
        return;
      }
      case kst::EntryKind::kMemo:
        tables_[p.table].memo_records.insert(p.record);
        return;
      case kst::EntryKind::kUnknown:
        Fault(page, "entry of unknown kind " + Hex(key));
        return;
    }
  }

  void CheckRegions() {
    const FileHeader& h = file_->header();
    for (size_t d = 1; d < kRegionCount && !Full(); ++d) {
      if (h.RegionEmpty(d)) continue;
      for (uint32_t slot = h.region_start[d]; slot < h.region_end[d]; slot += d) {
        if (!visited_.count(slot)) {
          Fault(slot, "page of region " + std::to_string(d) + " is not in the tree");
          if (Full()) return;
        }
      }
    }
  }

  void CheckTables() {
    for (auto& [number, t] : tables_) {
      if (Full()) return;
      const uint32_t where = t.first_page;
      if (t.name.empty()) {
        Fault(where, "entries of table " + std::to_string(number) + " without a name entry");
        continue;
      }
      const std::string label = "table " + t.name + ": ";
      Bytes stream;
      uint16_t expected_block = 0;
      for (auto& [block, bytes] : t.definition_blocks) {
        if (block != expected_block++) {
          Fault(where, label + "definition block " + std::to_string(block) + " out of sequence");
          break;
        }
        stream.insert(stream.end(), bytes.begin(), bytes.end());
      }
      kst::TableDefinition def;
      if (!kst::ParseDefinition(stream, &def)) {
        Fault(where, label + "definition cannot be read");
        continue;
      }
      if (std::string why = kst::CheckDefinition(def); !why.empty()) {
        Fault(where, label + "definition unsound: " + why);
        continue;
      }
      runtime::CharTables tables = runtime::CharTables::Defaults();
      kst::TextForm form = kst::TextForm::kAnsi;
      if (!t.char_tables || t.char_tables->size() != 1 + runtime::kCharTablesSize ||
          !runtime::CharTables::Deserialize(std::span<const uint8_t>(*t.char_tables).subspan(1),
                                            &tables)) {
        Fault(where, label + "character tables missing or unsound");
        continue;
      }
      if ((*t.char_tables)[0] != 0) form = kst::TextForm::kOem;

      // Counters.
      // Clang 14 does not let a lambda name a structured binding (t), so the counters are
      // captured by a reference of their own.
      auto counted = [&, &counters = t.counters](uint8_t which, size_t actual,
                                                 const std::string& what) {
        auto it = counters.find(which);
        const uint32_t count = it == counters.end() ? 0 : it->second.count;
        if (count != actual) {
          Fault(where, label + what + " counter says " + std::to_string(count) + ", " +
                           std::to_string(actual) + " entries exist");
        }
      };
      counted(kst::kDataCounter, t.records.size(), "data");
      for (auto& [which, c] : t.counters) {
        if (which != kst::kDataCounter && which >= def.keys.size()) {
          Fault(where,
                label + "counter of key " + std::to_string(which) + ", which is not declared");
        }
      }
      for (size_t k = 0; k < def.keys.size(); ++k) {
        auto it = t.key_entries.find(static_cast<uint8_t>(k));
        counted(static_cast<uint8_t>(k), it == t.key_entries.end() ? 0 : it->second.size(),
                "key " + std::to_string(k));
      }
      for (auto& [which, entries] : t.key_entries) {
        if (which >= def.keys.size()) {
          Fault(t.key_pages[which], label + "entries of undeclared key " + std::to_string(which));
        }
      }

      // Records and their key entries.
      for (auto& [record, bytes] : t.records) {
        if (Full()) return;
        if (bytes.size() != def.record_length) {
          Fault(where, label + "record " + std::to_string(record) + " has " +
                           std::to_string(bytes.size()) + " bytes, not " +
                           std::to_string(def.record_length));
        }
      }
      for (uint32_t record : t.memo_records) {
        if (!t.records.count(record)) {
          Fault(where, label + "memo of missing record " + std::to_string(record));
          if (Full()) return;
        }
      }
      const kst::KeyContext context{&def, &tables, form};
      Bytes value;
      Bytes entry_key;
      for (size_t k = 0; k < def.keys.size(); ++k) {
        auto found = t.key_entries.find(static_cast<uint8_t>(k));
        if (found == t.key_entries.end()) continue;  // an index never built
        const std::set<Bytes>& actual = found->second;
        const uint32_t page = t.key_pages[static_cast<uint8_t>(k)];
        std::set<Bytes> expected;
        for (auto& [record, bytes] : t.records) {
          if (bytes.size() < def.record_length) continue;
          if (kst::BuildKeyValue(context, k, bytes, record, &value) == kst::KeyBuild::kOmitted) {
            continue;
          }
          const bool dup = def.keys[k].dup();
          // A DUP key value already carries the record number (key_value.h).
          kst::KeyEntryKey(number, static_cast<uint8_t>(k),
                           dup ? std::span<const uint8_t>(value).first(value.size() - 4)
                               : std::span<const uint8_t>(value),
                           dup ? kst::Duplicates::kDup : kst::Duplicates::kUnique, record,
                           &entry_key);
          auto it = actual.find(entry_key);
          if (it == actual.end()) {
            Fault(page, label + "record " + std::to_string(record) + " lacks its entry of key " +
                            std::to_string(k));
            if (Full()) return;
          } else if (key_records_[entry_key] != record) {
            Fault(page, label + "entry of key " + std::to_string(k) + " for record " +
                            std::to_string(record) + " names record " +
                            std::to_string(key_records_[entry_key]));
          }
          expected.insert(entry_key);
        }
        for (const Bytes& e : actual) {
          if (expected.count(e)) continue;
          auto r = key_records_.find(e);
          const uint32_t rec = r == key_records_.end() ? 0 : r->second;
          Fault(page,
                label + "entry " + Hex(e) + " of key " + std::to_string(k) +
                    (t.records.count(rec) ? " does not match record " : " names missing record ") +
                    std::to_string(rec));
          if (Full()) return;
        }
      }
    }
  }

  PageFile* file_;
  size_t max_;
  bool tables_scope_;
  CheckReport report_;
  std::unordered_set<uint32_t> visited_;
  Bytes last_key_;
  bool have_last_ = false;
  std::map<uint32_t, TableFacts> tables_;
  std::map<Bytes, uint32_t> key_records_;
};

}  // namespace

CheckReport CheckPageFile(PageFile* file, size_t max_faults, CheckScope scope) {
  if (!file) return {};
  return Checker(file, max_faults, scope).Run();
}

}  // namespace pellucor::data::pagefile
