// The INI manager: the framework's one door to the application's settings file. It reads and
// writes single values, saves and restores each window's position, size and maximised state,
// stores whole queues as numbered entries, and keeps the sector register: the groups of entries
// other classes have stored (a browse's saved queries), so that they can be listed again without
// enumerating the file.
//
// Layout the manager writes (all values text):
//
//   [<procedure name>]    Maximize=Yes|No   XPos=  YPos=  Height=  Width=   (dialog units)
//   [<any section>]       <key>=<rows>      <key>_1=<f1>,<f2>,<f3>  ...     (a stored queue)
//   [__Dont_Touch_Me__]   Sectors=<rows>    Sectors_1=<family>,<item>,<type> ...
//
// Every call reads the file afresh and every write replaces it whole (platform/profile.h), so the
// file may be edited or damaged between calls: a value that does not read as what is expected is
// treated as missing, never trusted.
//
// REQUIRES: callers hold the run lock (the window and queue operations need it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/event/window.h"
#include "runtime/queue/queue.h"

namespace pellucor::framework {

// What TryReadValue returns for a missing key, so that an empty value and a missing key differ.
inline constexpr std::string_view kUnknownValue = "---Unknown---";
// Values are read up to this many characters.
inline constexpr size_t kMaxIniValue = 1024;
// A stored queue row is built in a work text of this many characters.
inline constexpr size_t kMaxListRow = 5000;
// The section and key of the sector register.
inline constexpr std::string_view kSectorSection = "__Dont_Touch_Me__";
inline constexpr std::string_view kSectorKey = "Sectors";
// Each part of a sector row holds at most this many characters.
inline constexpr size_t kSectorPartSize = 100;

// One stored group: the family (a browse's query family), the item (the group's own name) and
// its type ("Query" for saved queries).
struct Sector {
  std::string FAMILY;
  std::string ITEM;
  std::string TYPE;
  friend bool operator==(const Sector&, const Sector&) = default;
};

class IniManager {
 public:
  IniManager();
  ~IniManager();
  // SECTORS' descriptor points at the manager's own record buffer: the manager stays put.
  IniManager(const IniManager&) = delete;
  IniManager& operator=(const IniManager&) = delete;

  // FILENAME := `file_name`, used unchanged (relative names resolve in the working directory, the
  // program's data directory; an empty name is the system profile); then loads the sector
  // register from the file.
  void Init(std::string_view file_name);
  // Writes the sector register back to the file and empties it. Until Kill, added and deleted
  // sectors exist only in memory.
  void Kill();

  // The value, at most 1,024 characters, or an empty text when the key is missing.
  [[nodiscard]] std::string Fetch(std::string_view section, std::string_view key) const;
  // The value, or "---Unknown---" when the key is missing.
  [[nodiscard]] std::string TryReadValue(std::string_view section, std::string_view key) const;
  // Writes one value. False when the file cannot be written or the value cannot be held by a
  // settings line (it holds a line break); the file is then unchanged.
  bool Update(std::string_view section, std::string_view key, std::string_view value);

  // Restore and save a window's geometry under `section` (the procedure's name): "Maximize" for a
  // window with a maximise box, "XPos"/"YPos", and "Width"/"Height" for a resizable window. A
  // maximised (or iconised) window keeps the position saved while it was neither, and reopens
  // maximised at that position. Missing or unreadable values leave the window as designed.
  // REQUIRES: `window` is the calling thread's current window (else nothing happens).
  void FetchWindow(runtime::Window& window, std::string_view section);
  void UpdateWindow(runtime::Window& window, std::string_view section);

  // Store and load a queue: key = the row count, key_i = the given fields of row i (field numbers
  // of the queue's descriptor, from 1; 0 for none) joined with ",". Storing fewer rows than
  // before leaves the old entries in the file; loading reads only as many as the count says.
  // Loading adds rows to the queue (free it first for the stored rows alone); each row starts
  // cleared, then receives the fields read. The first field ends at the first ",", and with three
  // fields the third begins after the last ",", so a comma inside the other field survives.
  // Entries missing from the file are skipped. False when a write failed or a field number does
  // not name a field of the queue.
  bool StoreList(std::string_view section, std::string_view key, runtime::Queue& queue,
                 int32_t field1, int32_t field2 = 0, int32_t field3 = 0);
  bool LoadList(std::string_view section, std::string_view key, runtime::Queue& queue,
                int32_t field1, int32_t field2 = 0, int32_t field3 = 0);

  // FAMILY & "$" & ITEM & "$$" & TYPE.
  [[nodiscard]] static std::string MakeSector(std::string_view family, std::string_view item,
                                              std::string_view type);
  // Splits at the first "$" and the first "$$" after it. A text without them is all family.
  [[nodiscard]] static Sector SplitSector(std::string_view text);
  // Adds the sector to SECTORS unless an equal row is there already.
  void AddSector(std::string_view text);
  // Removes the matching row, if any.
  void DeleteSector(std::string_view text);
  // The rows of SECTORS, in order (each part without its padding).
  [[nodiscard]] std::vector<Sector> SectorList();

  // --- Fields, in order ---

  std::string FILENAME;    // the settings file; empty: the system profile
  runtime::Queue SECTORS;  // rows of three STRING(100): FAMILY, ITEM, TYPE

 private:
  struct SectorRecord {
    char family[kSectorPartSize];
    char item[kSectorPartSize];
    char type[kSectorPartSize];
  };
  SectorRecord sector_buffer_{};
};

}  // namespace pellucor::framework
