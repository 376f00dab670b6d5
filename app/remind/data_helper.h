// The agent's reads and writes of the data file run in a process of their own: the agent starts
// itself again with `--helper`. A data file that is damaged stops the data engine, and an open
// that another program's sharing refuses waits a while; in the helper neither touches the agent,
// which stays on the bus, reports one line and tries again later.
//
// The helper works on the notes table exactly as pellucor-cli does (app/cli/store.h): reads open
// it read-only and share it with everyone, "done" changes one note in one committed write.
//
//   pellucor-remind --data-dir DIR --helper due YYYY-MM-DD
//       prints the notes of "Current Reminders" on that day, one line each (DueLine)
//   pellucor-remind --data-dir DIR --helper done ID FINGERPRINT
//       marks the note done when it is still the note that was shown
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/note.h"

namespace pellucor::app::remind {

namespace helper_status {
inline constexpr int kOk = 0;
inline constexpr int kBadInput = 2;
inline constexpr int kRetry = 3;  // the data file cannot be used now: try again later
inline constexpr int kGone = 4;   // done: no such note any more, or another note under its id
}  // namespace helper_status

// What the agent knows of a due note. Texts are UTF-8.
struct DueNote {
  uint32_t id = 0;
  std::string fingerprint;     // tells this note from a later one that got its id
  std::string reminder_iso;    // "YYYY-MM-DD"
  std::string reminder_shown;  // the reminder date in the desktop's short date form
  std::string topic;
  std::string memo_line;  // the memo's first line
  friend bool operator==(const DueNote&, const DueNote&) = default;
};

// The fingerprint of a note: its topic and note date. A note deleted and another added may share
// an id; they rarely share both.
[[nodiscard]] std::string Fingerprint(const Note& note);

// One line of the "due" output, and back; none for a line that is not one.
[[nodiscard]] std::string DueLine(const DueNote& note);
[[nodiscard]] std::optional<DueNote> ParseDueLine(std::string_view line);

// The helper's main: `words` are the ones after --helper; the working directory is the data
// directory. Returns the exit status.
int RunHelper(const std::vector<std::string>& words);

}  // namespace pellucor::app::remind
