// Saved queries in the settings file: each one a stored list of NAME,MIDDLE rows (and a row per
// bound) under its sector text, registered in the INI manager's sector register.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>

#include "framework/error/error_manager.h"
#include "framework/ini/ini_manager.h"
#include "framework/query/query_manager.h"
#include "framework/query/query_terms.h"

namespace pellucor::framework {

namespace {

using query_detail::SameName;
using query_detail::Trim;

constexpr std::string_view kLowPrefix = ">=";
constexpr std::string_view kHighPrefix = "<=";
constexpr std::string_view kForbidden = "$=[];|{}";

// One stored row: the field's name and a value (MIDDLE, or a bound with its operator).
struct StoredRow {
  char name[kQueryNameSize];
  char value[kQueryValueSize + 2];
};

class StoredRows {
 public:
  StoredRows()
      : queue_(runtime::QueueDescriptor{
            reinterpret_cast<uint8_t*>(&row_),
            sizeof(StoredRow),
            {{runtime::TypeCode::kString, offsetof(StoredRow, name), sizeof(row_.name), 0},
             {runtime::TypeCode::kString, offsetof(StoredRow, value), sizeof(row_.value), 0}}}) {}

  void Add(std::string_view name, std::string_view value) {
    Put(row_.name, sizeof(row_.name), name);
    Put(row_.value, sizeof(row_.value), value);
    runtime::QueueAdd(queue_);
  }
  [[nodiscard]] int32_t Count() { return runtime::QueueRecords(queue_); }
  void Get(int32_t i, std::string* name, std::string* value) {
    runtime::QueueGet(queue_, i);
    *name = Text(row_.name, sizeof(row_.name));
    *value = Text(row_.value, sizeof(row_.value));
  }
  runtime::Queue& queue() { return queue_; }

 private:
  static void Put(char* to, size_t size, std::string_view text) {
    std::memset(to, ' ', size);
    if (!text.empty()) std::memcpy(to, text.data(), std::min(size, text.size()));
  }
  static std::string Text(const char* from, size_t size) {
    return std::string(Trim(std::string_view(from, size)));
  }
  StoredRow row_{};
  runtime::Queue queue_;
};

}  // namespace

std::string QueryManager::QueryNameProblem(std::string_view name) {
  name = Trim(name);
  if (name.empty()) return "A query needs a name.";
  if (name.size() > kMaxQueryName) {
    return "A query name holds at most " + std::to_string(kMaxQueryName) + " characters.";
  }
  if (SameName(name, kLastQuery)) {
    return "The name " + std::string(kLastQuery) + " is kept for the last query run.";
  }
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || kForbidden.find(c) != std::string_view::npos) {
      return "A query name cannot hold any of the characters $ = [ ] ; | { }.";
    }
  }
  return {};
}

std::string QueryManager::SectorOf(std::string_view name) {
  if (INIMGR == nullptr) return {};
  name = Trim(name);
  for (const Sector& s : INIMGR->SectorList()) {
    if (SameName(s.FAMILY, FAMILY) && SameName(s.TYPE, kQueryType) &&
        SameName(Trim(s.ITEM), name)) {
      return IniManager::MakeSector(s.FAMILY, s.ITEM, s.TYPE);
    }
  }
  return {};
}

std::vector<std::string> QueryManager::SavedQueries() {
  std::vector<std::string> names;
  if (INIMGR == nullptr) return names;
  for (const Sector& s : INIMGR->SectorList()) {
    if (!SameName(s.FAMILY, FAMILY) || !SameName(s.TYPE, kQueryType)) continue;
    const std::string item(Trim(s.ITEM));
    if (item.empty() || SameName(item, kLastQuery)) continue;
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return SameName(n, item); })) {
      names.push_back(item);
    }
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::toupper(static_cast<unsigned char>(x)) <
             std::toupper(static_cast<unsigned char>(y));
    });
  });
  return names;
}

bool QueryManager::IsSaved(std::string_view name) {
  return !SectorOf(name).empty();
}

Level QueryManager::SaveFields(std::string_view name, const std::vector<QueryField>& fields) {
  name = Trim(name);
  if (INIMGR == nullptr) return Level::Notified;
  if (!SameName(name, kLastQuery) && !QueryNameProblem(name).empty()) return Level::Notified;
  // Spellings that differ in case are one key of the settings file: keep one register row.
  const std::string previous = SectorOf(name);
  if (!previous.empty()) INIMGR->DeleteSector(previous);
  const std::string sector = IniManager::MakeSector(FAMILY, name, kQueryType);
  INIMGR->AddSector(sector);

  StoredRows rows;
  for (const QueryField& f : fields) rows.Add(Trim(f.NAME), f.MIDDLE);
  for (const QueryField& f : fields) {
    if (!Trim(f.LOW).empty()) rows.Add(Trim(f.NAME), std::string(kLowPrefix) + f.LOW);
    if (!Trim(f.HIGH).empty()) rows.Add(Trim(f.NAME), std::string(kHighPrefix) + f.HIGH);
  }
  if (!INIMGR->StoreList(kQuerySection, sector, rows.queue(), 1, 2)) {
    // Not written: a query that was not saved before must not be listed as saved now.
    if (previous.empty()) INIMGR->DeleteSector(sector);
    return Level::Notified;
  }
  return Level::Proceed;
}

Level QueryManager::LoadFields(std::string_view name, std::vector<QueryField>& fields) {
  if (INIMGR == nullptr) return Level::Notified;
  std::string sector = SectorOf(name);
  if (sector.empty()) sector = IniManager::MakeSector(FAMILY, Trim(name), kQueryType);
  if (INIMGR->TryReadValue(kQuerySection, sector) == kUnknownValue) return Level::Notified;
  StoredRows rows;
  if (!INIMGR->LoadList(kQuerySection, sector, rows.queue(), 1, 2)) return Level::Notified;

  for (QueryField& f : fields) {
    f.LOW.clear();
    f.MIDDLE.clear();
    f.HIGH.clear();
  }
  std::vector<bool> seen(fields.size(), false);
  std::vector<std::string> unsupported;
  for (int32_t i = 1; i <= rows.Count(); ++i) {
    std::string stored, value;
    rows.Get(i, &stored, &value);
    if (stored.empty()) continue;
    const auto field = std::find_if(fields.begin(), fields.end(), [&](const QueryField& f) {
      return SameName(Trim(f.NAME), stored);
    });
    if (field == fields.end()) {
      if (std::none_of(unsupported.begin(), unsupported.end(),
                       [&](const std::string& u) { return SameName(u, stored); })) {
        unsupported.push_back(stored);
      }
      continue;
    }
    const size_t index = static_cast<size_t>(field - fields.begin());
    // The first row of a field is its MIDDLE; later rows are its bounds.
    if (!seen[index]) {
      field->MIDDLE = value;
      seen[index] = true;
    } else if (value.starts_with(kLowPrefix)) {
      field->LOW = value.substr(kLowPrefix.size());
    } else if (value.starts_with(kHighPrefix)) {
      field->HIGH = value.substr(kHighPrefix.size());
    } else {
      field->MIDDLE = value;
    }
  }
  for (const std::string& column : unsupported) {
    if (ERRORS == nullptr) break;
    ERRORS->SetField(column);
    (void)ERRORS->Raise(kUnsupportedColumnMessage);
  }
  return Level::Proceed;
}

Level QueryManager::SaveQuery(std::string_view name) {
  return SaveFields(name, Fields());
}

Level QueryManager::LoadQuery(std::string_view name) {
  std::vector<QueryField> fields = Fields();
  const Level level = LoadFields(name, fields);
  if (level == Level::Proceed) SetFields(fields);
  return level;
}

Level QueryManager::DeleteQuery(std::string_view name) {
  const std::string sector = SectorOf(name);
  if (sector.empty()) return Level::Notified;
  INIMGR->DeleteSector(sector);
  if (SameName(Trim(name), QKCURRENTQUERY)) QKCURRENTQUERY.clear();
  return Level::Proceed;
}

Level QueryManager::RunQuery(std::string_view name) {
  if (LoadQuery(name) != Level::Proceed) return Level::Notified;
  (void)SaveQuery(kLastQuery);
  const Sector sector = IniManager::SplitSector(SectorOf(name));
  QKCURRENTQUERY = sector.ITEM.empty() ? std::string(Trim(name)) : sector.ITEM;
  return Level::Proceed;
}

}  // namespace pellucor::framework
