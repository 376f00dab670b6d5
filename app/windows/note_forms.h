// The two note forms' windows: UpdateSNotes edits a note of the notes table, UpdateSNotes1 an
// archived note. Their controls are bound to the record buffer they edit.
#pragma once

#include <cstdint>

#include "runtime/window/description.h"

namespace pellucor::app {

namespace note_form {
inline constexpr int32_t kCopy = 1;
inline constexpr int32_t kPaste = 2;
inline constexpr int32_t kCut = 3;
inline constexpr int32_t kTopic = 4;
inline constexpr int32_t kDone = 5;
inline constexpr int32_t kReminderDate = 7;
inline constexpr int32_t kCalendar = 8;
inline constexpr int32_t kMemo = 9;
inline constexpr int32_t kArchive = 10;
inline constexpr int32_t kOk = 11;
inline constexpr int32_t kCancel = 12;
inline constexpr int32_t kHelp = 13;
inline constexpr int32_t kNoteDate = 15;
}  // namespace note_form

namespace archive_form {
inline constexpr int32_t kTopic = 2;
inline constexpr int32_t kOk = 3;
inline constexpr int32_t kCancel = 4;
inline constexpr int32_t kHelp = 5;
inline constexpr int32_t kNoteDate = 7;
inline constexpr int32_t kReminderDate = 9;
inline constexpr int32_t kMemo = 11;
}  // namespace archive_form

// `record` is the 5120-byte note record the controls show and change.
[[nodiscard]] runtime::WindowDescription DescribeNoteForm(uint8_t* record);
[[nodiscard]] runtime::WindowDescription DescribeArchiveForm(uint8_t* record);

}  // namespace pellucor::app
