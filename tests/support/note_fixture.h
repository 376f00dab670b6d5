// The notes table and its archive as the data tests use them: the record, the keys and the
// external names of the program's note store, declared here again so that the data engine's
// tests stand on their own (they must not need the application to build). The same file layout,
// so a file either side writes reads on the other.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "data/driver/declaration.h"
#include "data/driver/driver.h"

namespace pellucor::testsupport {

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

inline constexpr std::string_view kNotesName = "plk\\!notes";
inline constexpr std::string_view kArchiveName = "plk\\!Arcnotes";

// `SNotes` (prefix "sno"): keys sno:SNOT (reminder, reminder date, topic), sno:allnotes (note
// date) and sno:Donyet (done, reminder date), each DUP, OPT and NOCASE.
std::unique_ptr<data::FileDecl> MakeNotesTable(data::Driver* driver);
// `Arcnotes` (prefix "arc"): arc:SNOT and arc:allnotes.
std::unique_ptr<data::FileDecl> MakeArchiveTable(data::Driver* driver);

}  // namespace pellucor::testsupport
