#include "framework/ini/ini_manager.h"

#include <algorithm>

#include "platform/profile.h"
#include "runtime/values/accessor.h"

namespace pellucor::framework {

namespace {

// The platform's limit counts the terminator a caller's buffer would need.
constexpr size_t kReadLimit = kMaxIniValue + 1;

std::string Clip(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string Part(std::string_view text) {
  return Clip(text.substr(0, std::min(text.size(), kSectorPartSize)));
}

}  // namespace

IniManager::IniManager()
    : SECTORS(runtime::QueueDescriptor{
          reinterpret_cast<uint8_t*>(&sector_buffer_),
          sizeof(SectorRecord),
          {{runtime::TypeCode::kString, offsetof(SectorRecord, family), kSectorPartSize, 0},
           {runtime::TypeCode::kString, offsetof(SectorRecord, item), kSectorPartSize, 0},
           {runtime::TypeCode::kString, offsetof(SectorRecord, type), kSectorPartSize, 0}}}) {}

IniManager::~IniManager() = default;

void IniManager::Init(std::string_view file_name) {
  FILENAME = std::string(file_name);
  runtime::QueueFree(SECTORS);
  LoadList(kSectorSection, kSectorKey, SECTORS, 1, 2, 3);
}

void IniManager::Kill() {
  StoreList(kSectorSection, kSectorKey, SECTORS, 1, 2, 3);
  runtime::QueueFree(SECTORS);
}

std::string IniManager::Fetch(std::string_view section, std::string_view key) const {
  return platform::GetPrivateProfileString(section, key, "", kReadLimit, FILENAME);
}

std::string IniManager::TryReadValue(std::string_view section, std::string_view key) const {
  return platform::GetPrivateProfileString(section, key, kUnknownValue, kReadLimit, FILENAME);
}

bool IniManager::Update(std::string_view section, std::string_view key, std::string_view value) {
  return platform::WritePrivateProfileString(section, key, value, FILENAME);
}

std::string IniManager::MakeSector(std::string_view family, std::string_view item,
                                   std::string_view type) {
  std::string text(family);
  text += '$';
  text += item;
  text += "$$";
  text += type;
  return text;
}

Sector IniManager::SplitSector(std::string_view text) {
  Sector sector;
  const size_t dollar = text.find('$');
  if (dollar == std::string_view::npos) {
    sector.FAMILY = std::string(text);
    return sector;
  }
  sector.FAMILY = std::string(text.substr(0, dollar));
  // The "$$" is looked for after the family's "$": an empty item ("Main$$$Query") still splits.
  const size_t double_dollar = text.find("$$", dollar + 1);
  if (double_dollar == std::string_view::npos) {
    sector.ITEM = std::string(text.substr(dollar + 1));
    return sector;
  }
  sector.ITEM = std::string(text.substr(dollar + 1, double_dollar - dollar - 1));
  sector.TYPE = std::string(text.substr(double_dollar + 2));
  return sector;
}

std::vector<Sector> IniManager::SectorList() {
  std::vector<Sector> rows;
  const int32_t count = runtime::QueueRecords(SECTORS);
  for (int32_t i = 1; i <= count; ++i) {
    runtime::QueueGet(SECTORS, i);
    rows.push_back(Sector{Part({sector_buffer_.family, kSectorPartSize}),
                          Part({sector_buffer_.item, kSectorPartSize}),
                          Part({sector_buffer_.type, kSectorPartSize})});
  }
  return rows;
}

void IniManager::AddSector(std::string_view text) {
  const Sector split = SplitSector(text);
  // Rows hold 100 characters a part: compare as they would be held.
  const Sector wanted{Part(split.FAMILY), Part(split.ITEM), Part(split.TYPE)};
  const std::vector<Sector> rows = SectorList();
  if (std::find(rows.begin(), rows.end(), wanted) != rows.end()) return;
  const runtime::QueueDescriptor& d = *SECTORS.descriptor();
  const std::string_view parts[] = {wanted.FAMILY, wanted.ITEM, wanted.TYPE};
  for (size_t i = 0; i < 3; ++i) {
    runtime::AccessorFactory(d.fields[i].type, d.buffer + d.fields[i].offset, d.fields[i].size)
        ->SetText(parts[i]);
  }
  runtime::QueueAdd(SECTORS);
}

void IniManager::DeleteSector(std::string_view text) {
  const Sector split = SplitSector(text);
  const Sector wanted{Part(split.FAMILY), Part(split.ITEM), Part(split.TYPE)};
  const std::vector<Sector> rows = SectorList();
  const auto it = std::find(rows.begin(), rows.end(), wanted);
  if (it == rows.end()) return;
  runtime::QueueGet(SECTORS, static_cast<int32_t>(it - rows.begin()) + 1);
  runtime::QueueDelete(SECTORS);
}

}  // namespace pellucor::framework
