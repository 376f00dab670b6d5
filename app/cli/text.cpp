#include "app/cli/text.h"

#include <charconv>
#include <vector>

#include "app/note_store.h"
#include "platform/codepage.h"

namespace pellucor::app::cli {
namespace {

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::optional<char> ParseFlag(std::string_view text, std::string_view column, std::string* error) {
  if (text == "Y" || text == "y") return 'Y';
  if (text == "N" || text == "n") return 'N';
  *error = "the " + std::string(column) + " column holds '" + std::string(text) +
           "' where Y or N belongs";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> UserText(std::string_view utf8, std::string_view what, size_t max_chars,
                                    std::string* error) {
  std::optional<std::string> ansi = platform::Utf8ToAnsi(utf8);
  if (!ansi) {
    *error = "the " + std::string(what) +
             " holds a character that the data file cannot store (it keeps Windows-1252 text)";
    return std::nullopt;
  }
  if (max_chars != 0 && ansi->size() > max_chars) {
    *error = "the " + std::string(what) + " has " + std::to_string(ansi->size()) +
             " characters; at most " + std::to_string(max_chars) + " fit";
    return std::nullopt;
  }
  return ansi;
}

std::optional<std::string> UserTopic(std::string_view utf8, std::string* error) {
  std::optional<std::string> topic = UserText(utf8, "topic", note_record::kTopicSize, error);
  if (!topic) return topic;
  for (const char c : *topic) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      *error = "the topic is one line: it cannot hold tabs, line breaks or control characters";
      return std::nullopt;
    }
  }
  return topic;
}

std::optional<std::string> UserMemo(std::string_view utf8, std::string* error) {
  return UserText(utf8, "memo", note_record::kMainMemoSize, error);
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text, std::string* error) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (next) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        *error = "a backslash at character " + std::to_string(i + 1) +
                 " starts no escape (\\\\, \\t, \\n or \\r)";
        return std::nullopt;
    }
    ++i;
  }
  return out;
}

std::string ForTerminal(std::string_view ansi) {
  return platform::AnsiToUtf8(ansi);
}

std::string TsvLine(const Note& note) {
  std::string line = std::to_string(note.id);
  line += '\t';
  line += IsoDate(note.reminder_date);
  line += '\t';
  line += IsoDate(note.note_date);
  line += '\t';
  line += ForTerminal(TrimRight(note.topic));
  line += '\t';
  line += note.done;
  line += '\t';
  line += note.archive;
  line += '\t';
  line += ForTerminal(Escape(TrimRight(note.memo)));
  return line;
}

std::optional<Note> ParseTsvLine(std::string_view line, std::string* error) {
  const std::vector<std::string_view> f = SplitTabs(line);
  if (f.size() != 7) {
    *error = "the line has " + std::to_string(f.size()) + " fields; a note has 7";
    return std::nullopt;
  }
  Note n;
  if (!f[0].empty()) {
    const auto [end, ec] = std::from_chars(f[0].data(), f[0].data() + f[0].size(), n.id);
    if (ec != std::errc() || end != f[0].data() + f[0].size()) {
      *error = "the id column holds '" + std::string(f[0]) + "', not a number";
      return std::nullopt;
    }
  }
  const std::optional<int32_t> reminder = ParseIsoDate(f[1], EmptyDate::kNone);
  const std::optional<int32_t> noted = ParseIsoDate(f[2], EmptyDate::kNone);
  if (!reminder || !noted) {
    *error = "the " + std::string(!reminder ? "reminder_date" : "note_date") + " column holds '" +
             std::string(!reminder ? f[1] : f[2]) + "', not a date YYYY-MM-DD that exists";
    return std::nullopt;
  }
  n.reminder_date = *reminder;
  n.note_date = *noted;
  std::optional<std::string> topic = UserTopic(f[3], error);
  if (!topic) return std::nullopt;
  n.topic = TrimRight(*topic);
  const std::optional<char> done = ParseFlag(f[4], "done", error);
  if (!done) return std::nullopt;
  const std::optional<char> archive = ParseFlag(f[5], "archive", error);
  if (!archive) return std::nullopt;
  n.done = *done;
  n.archive = *archive;
  std::optional<std::string> raw = Unescape(f[6], error);
  if (!raw) return std::nullopt;
  std::optional<std::string> memo = UserMemo(*raw, error);
  if (!memo) return std::nullopt;
  n.memo = TrimRight(*memo);
  return n;
}

}  // namespace pellucor::app::cli
