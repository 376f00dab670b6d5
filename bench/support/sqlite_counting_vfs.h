// A SQLite VFS that forwards everything to the default one and counts the flushes SQLite makes:
// every xSync of a file, and every directory flush the unix VFS makes on its own (after it creates
// a journal or a WAL file, and on a delete asked to be durable). The unix VFS opens the directory
// through its "openDirectory" system call just for that flush, so counting those opens counts the
// directory flushes; there is no other way to see them from outside.
//
// Header-only: the benchmark binaries are one source file each.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>

namespace pellucor::bench {

class SqliteFlushCounter {
 public:
  // Registers the VFS under `name` (not as the default). Returns false when SQLite refuses it.
  [[nodiscard]] static bool Register(const char* name) {
    State& s = state();
    if (s.registered) return true;
    s.root = sqlite3_vfs_find(nullptr);
    if (s.root == nullptr) return false;
    s.vfs = *s.root;
    s.vfs.zName = name;
    s.vfs.szOsFile = static_cast<int>(sizeof(CountingFile)) + s.root->szOsFile;
    s.vfs.pAppData = nullptr;
    s.vfs.xOpen = &Open;
    if (s.root->xGetSystemCall != nullptr && s.root->xSetSystemCall != nullptr) {
      s.open_directory =
          reinterpret_cast<OpenDirectoryFn>(s.root->xGetSystemCall(s.root, "openDirectory"));
      if (s.open_directory != nullptr) {
        s.root->xSetSystemCall(s.root, "openDirectory",
                               reinterpret_cast<sqlite3_syscall_ptr>(&OpenDirectory));
        s.counts_directories = true;
      }
    }
    if (sqlite3_vfs_register(&s.vfs, 0) != SQLITE_OK) return false;
    s.registered = true;
    return true;
  }

  static uint64_t file_syncs() { return state().file_syncs.load(); }
  static uint64_t directory_syncs() { return state().directory_syncs.load(); }
  static uint64_t flushes() { return file_syncs() + directory_syncs(); }
  // False when the unix VFS does not let its directory opens be seen (flushes() is then a floor).
  static bool counts_directories() { return state().counts_directories; }
  static void Reset() {
    state().file_syncs = 0;
    state().directory_syncs = 0;
  }

 private:
  using OpenDirectoryFn = int (*)(const char*, int*);

  // The real file lives right behind this header, in the same allocation (szOsFile covers both).
  struct CountingFile {
    sqlite3_file base;
    sqlite3_file* real;
  };

  struct State {
    sqlite3_vfs* root = nullptr;
    sqlite3_vfs vfs{};
    sqlite3_io_methods methods{};
    OpenDirectoryFn open_directory = nullptr;
    bool registered = false;
    bool counts_directories = false;
    std::atomic<uint64_t> file_syncs{0};
    std::atomic<uint64_t> directory_syncs{0};
  };
  static State& state() {
    static State s;
    return s;
  }

  static sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<CountingFile*>(f)->real; }

  static int OpenDirectory(const char* path, int* fd) {
    const int rc = state().open_directory(path, fd);
    if (rc == SQLITE_OK) ++state().directory_syncs;
    return rc;
  }

  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                  int* out_flags) {
    State& s = state();
    auto* f = reinterpret_cast<CountingFile*>(file);
    f->base.pMethods = nullptr;
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const int rc = s.root->xOpen(s.root, name, f->real, flags, out_flags);
    if (f->real->pMethods != nullptr) {
      if (s.methods.xClose == nullptr) BuildMethods(f->real->pMethods);
      f->base.pMethods = &s.methods;
    }
    return rc;
  }

  // Forwards every method of the real file's table, at its version; xSync is counted.
  static void BuildMethods(const sqlite3_io_methods* real) {
    sqlite3_io_methods& m = state().methods;
    m.iVersion = real->iVersion;
    m.xClose = [](sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); };
    m.xRead = [](sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
      return Real(f)->pMethods->xRead(Real(f), buf, n, off);
    };
    m.xWrite = [](sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
      return Real(f)->pMethods->xWrite(Real(f), buf, n, off);
    };
    m.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
      return Real(f)->pMethods->xTruncate(Real(f), size);
    };
    m.xSync = [](sqlite3_file* f, int flags) {
      ++state().file_syncs;
      return Real(f)->pMethods->xSync(Real(f), flags);
    };
    m.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
      return Real(f)->pMethods->xFileSize(Real(f), size);
    };
    m.xLock = [](sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); };
    m.xUnlock = [](sqlite3_file* f, int level) {
      return Real(f)->pMethods->xUnlock(Real(f), level);
    };
    m.xCheckReservedLock = [](sqlite3_file* f, int* out) {
      return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
    };
    m.xFileControl = [](sqlite3_file* f, int op, void* arg) {
      return Real(f)->pMethods->xFileControl(Real(f), op, arg);
    };
    m.xSectorSize = [](sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); };
    m.xDeviceCharacteristics = [](sqlite3_file* f) {
      return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
    };
    if (real->iVersion >= 2) {
      m.xShmMap = [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
        return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
      };
      m.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
        return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
      };
      m.xShmBarrier = [](sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); };
      m.xShmUnmap = [](sqlite3_file* f, int remove) {
        return Real(f)->pMethods->xShmUnmap(Real(f), remove);
      };
    }
    if (real->iVersion >= 3) {
      m.xFetch = [](sqlite3_file* f, sqlite3_int64 off, int n, void** out) {
        return Real(f)->pMethods->xFetch(Real(f), off, n, out);
      };
      m.xUnfetch = [](sqlite3_file* f, sqlite3_int64 off, void* p) {
        return Real(f)->pMethods->xUnfetch(Real(f), off, p);
      };
    }
  }
};

}  // namespace pellucor::bench
