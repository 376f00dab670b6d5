// The global registry of file managers: framework code that holds a file (a view, a browse, a
// report) finds the file's manager here. A manager registers itself when it is first opened and
// leaves when it is killed.
//
// Process-wide and unguarded: the run lock lets one program thread at a time in.
#pragma once

#include <cstdint>

#include "data/driver/declaration.h"

namespace pellucor::framework {

class FileManager;

// One registry row: the file's identity (its declaration's address) and its manager.
struct FileRegistryRow {
  uintptr_t FILELABEL = 0;
  FileManager* FILEMANAGER = nullptr;
};

// Registers `manager` for its file; a file registered already keeps its first manager.
void RegisterFileManager(FileManager& manager);
// Removes every row of `manager`.
void UnregisterFileManager(const FileManager& manager);
// The manager registered for `file`, or nullptr.
[[nodiscard]] FileManager* FileManagerOf(const data::FileDecl& file);

}  // namespace pellucor::framework
