// The note store: the two tables of the data file "plk" (the notes and the archive), their keys,
// and the file-manager settings through which every procedure reaches them. Both tables have the
// same 5120-byte record, so a note moves between them field by field (fields paired by position).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "data/driver/declaration.h"
#include "data/driver/driver.h"

namespace pellucor::app {

// The record of both tables, byte offsets and sizes.
namespace note_record {
inline constexpr uint32_t kTopicOffset = 0;
inline constexpr uint32_t kTopicSize = 60;
inline constexpr uint32_t kReminderOffset = 60;  // archive flag "Y"/"N"
inline constexpr uint32_t kNoteDateOffset = 61;
inline constexpr uint32_t kReminderDateOffset = 65;
inline constexpr uint32_t kMainMemoOffset = 69;
inline constexpr uint32_t kMainMemoSize = 5050;
inline constexpr uint32_t kDoneOffset = 5119;
inline constexpr uint32_t kSize = 5120;
inline constexpr int kFieldCount = 6;
}  // namespace note_record

// External names: the table inside the data file "plk". Constants; nothing changes them.
inline constexpr std::string_view kNotesName = "plk\\!notes";
inline constexpr std::string_view kArchiveName = "plk\\!Arcnotes";

// The settings every file manager of the two tables is given at start-up.
struct FileManagerSettings {
  // Read and write, shared with other programs that read and write too: pellucor-cli, the
  // reminder agent and a second window write the same file while this program has it open, and
  // the driver's byte-range locks keep their changes apart. (Denying others the right to write
  // would turn every one of them away, or into a read-only copy, while the window is open.)
  uint8_t open_mode = data::access_mode::kReadWrite | data::access_mode::kDenyNone;
  int32_t create = 1;  // a missing data file or table is created on open
  int32_t lock_recover = 10;
  uint32_t buffer_size = note_record::kSize;
};
inline constexpr FileManagerSettings kNoteTableSettings{};

// The notes table `SNotes` (prefix "sno"), keys in the order the file manager adds them:
// sno:SNOT, sno:allnotes, sno:Donyet.
std::unique_ptr<data::FileDecl> MakeSNotes(data::Driver* kestrune);
// The archive table `Arcnotes` (prefix "arc"): arc:SNOT, arc:allnotes.
std::unique_ptr<data::FileDecl> MakeArcnotes(data::Driver* kestrune);

}  // namespace pellucor::app
