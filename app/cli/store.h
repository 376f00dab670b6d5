// The note tables as pellucor-cli reaches them: both tables of the data file in the working
// directory (the data directory), opened on first use, read through the VIEW engine in the tab
// orders of app/note_tabs.h, and written one committed operation at a time.
//
// Sharing. Writers open with access mode 0x42 (read and write, deny none): two pellucor-cli
// processes may then write at once, the Kestrune driver serialising every write with its lock on
// the whole file and committing each one before it lets the other in, so nothing one of them adds
// is lost and readers see every committed note. (Opening with the desktop's 0x22, deny write,
// would make a second writer fail outright while the first is open.) Readers open with 0x40 (read
// only, deny none), which also works while the desktop program has the file open. An open that
// another program's sharing refuses is tried again for a few seconds before it fails.
//
// Creating. OPEN of a missing table answers 2 and CREATE makes it; CREATE of a table that exists
// empties it. So that two first runs cannot create the table one after the other (the second
// emptying what the first added), the open-or-create step runs under an exclusive lock of the
// file "plk.lock" beside the data file, and opens again once it holds the lock. Readers never
// create: a missing data file or table reads as empty.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/note.h"
#include "data/driver/declaration.h"

namespace pellucor::app::cli {

// What a command says when the data file cannot be used as it is.
inline constexpr std::string_view kReadOnlyDataFile = "the data file is read-only";
inline constexpr std::string_view kDamagedDataFile =
    "the data file is damaged; `pellucor-cli check` shows where";

enum class Table : uint8_t { kNotes, kArchive };
enum class StoreAccess : uint8_t { kRead, kWrite };

// The order and filter of one listing.
struct ListRequest {
  Table table = Table::kNotes;
  std::string key;          // the key's description ("sno:SNOT")
  std::string filter;       // the tab's filter, may be empty
  std::string added_order;  // components after the key's, may be empty
  std::string where;        // an extra condition AND-ed to the filter, may be empty
};

class NoteStore {
 public:
  explicit NoteStore(StoreAccess access);
  ~NoteStore();
  NoteStore(const NoteStore&) = delete;
  NoteStore& operator=(const NoteStore&) = delete;

  // Each operation returns 0 or a runtime error code; Error() then tells what failed in words.
  [[nodiscard]] int32_t Add(Table table, const Note& note, uint32_t* id);
  // 35 ("Record Not Found") when no note has this id.
  [[nodiscard]] int32_t Get(Table table, uint32_t id, Note* note);
  // Writes note.id's record. REQUIRES: the note was read by Get in this store.
  [[nodiscard]] int32_t Put(Table table, const Note& note);
  [[nodiscard]] int32_t Delete(Table table, uint32_t id);
  // The notes of a listing in its order, each with its id.
  [[nodiscard]] int32_t List(const ListRequest& request, std::vector<Note>* notes);
  // Every note of a table in physical order (no key, no filter).
  [[nodiscard]] int32_t All(Table table, std::vector<Note>* notes);

  // How long an open that another program's sharing refuses is tried again (5 seconds unless
  // set). A program that retries on its own terms (pellucor-remind) sets a shorter time.
  void SetSharingPatience(std::chrono::milliseconds patience) { patience_ = patience; }

  [[nodiscard]] const std::string& Error() const { return error_; }
  // The declaration of a table, for binding its fields by name. Not opened by this call.
  [[nodiscard]] data::FileDecl& Decl(Table table);

 private:
  // 0 when open, -1 when reading and the table does not exist (it is empty), else the error.
  int32_t Ensure(Table table);
  int32_t Fail(int32_t code, std::string_view doing);

  struct Slot;
  StoreAccess access_;
  std::chrono::milliseconds patience_ = std::chrono::seconds(5);
  std::unique_ptr<Slot> notes_;
  std::unique_ptr<Slot> archive_;
  std::string error_;
};

// Compiles `text` with the fields of the table bound by their names ("sno:topic") to `record`
// (note_record::kSize bytes) to see whether it is an expression. Returns empty, or the reason it
// is not one ("No BIND on variable (sno:bogus)", "Invalid expression for EVALUATE at 7").
[[nodiscard]] std::string CheckExpression(data::FileDecl& decl, uint8_t* record,
                                          std::string_view text);

// Binds the fields of `decl` by their labels to `record` in the current bind scope.
void BindFields(data::FileDecl& decl, uint8_t* record);

}  // namespace pellucor::app::cli
