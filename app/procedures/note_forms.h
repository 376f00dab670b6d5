// The two note forms. Each takes its request from the program's global request (insert, change,
// delete; the notes record buffer, or the archive's, holds the note to change or delete) and
// leaves its response in the global response (completed or cancelled), which it also returns.
#pragma once

#include <cstdint>

namespace pellucor::app {

// Inserts, changes and deletes notes of the notes table. A note whose "Archive" box is ticked is
// copied to the archive when the form is confirmed and leaves the notes table as it closes.
uint8_t UpdateSNotes();
// Changes and deletes archived notes; refuses to insert.
uint8_t UpdateSNotes1();

}  // namespace pellucor::app
