// Text at pellucor-cli's edges: UTF-8 on the terminal and in exported files, Windows-1252 in the
// data file; the escapes that keep a note on one tab-separated line; the checks a note's texts
// must pass before anything is written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/note.h"

namespace pellucor::app::cli {

// UTF-8 to Windows-1252 for a value the user gave (`what` names it in the message), refusing
// what the data file cannot hold and texts longer than `max_chars` (0: no limit).
[[nodiscard]] std::optional<std::string> UserText(std::string_view utf8, std::string_view what,
                                                  size_t max_chars, std::string* error);
// A topic is one line: no control characters, at most 60 characters.
[[nodiscard]] std::optional<std::string> UserTopic(std::string_view utf8, std::string* error);
[[nodiscard]] std::optional<std::string> UserMemo(std::string_view utf8, std::string* error);

// Backslash, tab, newline and carriage return written as \\, \t, \n and \r.
[[nodiscard]] std::string Escape(std::string_view text);
// The reverse; none (with the reason) for a backslash that starts no known escape.
[[nodiscard]] std::optional<std::string> Unescape(std::string_view text, std::string* error);

// The tab-separated form of `list --tsv`, `export` and `import`, in UTF-8.
inline constexpr std::string_view kTsvHeader =
    "id\treminder_date\tnote_date\ttopic\tdone\tarchive\tmemo";
[[nodiscard]] std::string TsvLine(const Note& note);
// One line of seven fields back into a note (the id as written, 0 when empty); none with the
// reason when a field is not what its column holds.
[[nodiscard]] std::optional<Note> ParseTsvLine(std::string_view line, std::string* error);

// Windows-1252 bytes for the terminal.
[[nodiscard]] std::string ForTerminal(std::string_view ansi);

}  // namespace pellucor::app::cli
