#include "framework/file/file_registry.h"

#include <algorithm>
#include <vector>

#include "framework/file/file_manager.h"

namespace pellucor::framework {

namespace {

std::vector<FileRegistryRow>& Registry() {
  static std::vector<FileRegistryRow> rows;
  return rows;
}

uintptr_t LabelOf(const data::FileDecl& file) {
  return reinterpret_cast<uintptr_t>(&file);
}

}  // namespace

void RegisterFileManager(FileManager& manager) {
  if (manager.FILE == nullptr || FileManagerOf(*manager.FILE) != nullptr) return;
  Registry().push_back(FileRegistryRow{LabelOf(*manager.FILE), &manager});
}

void UnregisterFileManager(const FileManager& manager) {
  auto& rows = Registry();
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [&](const FileRegistryRow& r) { return r.FILEMANAGER == &manager; }),
             rows.end());
}

FileManager* FileManagerOf(const data::FileDecl& file) {
  for (const FileRegistryRow& r : Registry()) {
    if (r.FILELABEL == LabelOf(file)) return r.FILEMANAGER;
  }
  return nullptr;
}

}  // namespace pellucor::framework
