// The text of a profile (INI) file as lines, read and edited in place. Every line keeps its
// exact bytes and its own line ending, so an edit changes only the lines it must.
//
// A line is one of:
//   section  "[name]" after optional blanks (name trimmed; a missing "]" ends the name at the
//            end of the line);
//   key      "key=value" inside a section: key and value trimmed of blanks, tabs and stray
//            carriage returns, and a value enclosed in a pair of matching quotes (" or ')
//            loses them;
//   other    blank lines, comments (first non-blank character ';'), lines without '=', lines
//            before the first section, and "=value" lines. Kept, never read.
// Names are matched without regard to case (Windows-1252 letters); the first match wins, also
// between two sections of the same name. A UTF-8 byte-order mark at the start is skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::platform {

class ProfileText {
 public:
  explicit ProfileText(std::string_view bytes);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // The section names, or a section's key names, in file order, each once (first spelling).
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;

  // Whether a name or value can be written without changing the file's structure: no line
  // breaks anywhere, a section without "]", a key not empty, without '=', and not starting with
  // '[' or ';'; names must not be empty or only blanks.
  static bool ValidSection(std::string_view section);
  static bool ValidKey(std::string_view key);
  static bool ValidValue(std::string_view value);

  // Sets the first matching key of the first matching section (replacing its line), or adds the
  // key at the end of that section, or adds the section at the end of the text. REQUIRES: valid
  // names and value.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the key in the first matching section; false when there was none.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all of its lines; false when there was none.
  bool DeleteSection(std::string_view section);

  std::string Serialize() const;
  // The line ending new lines get: the one most lines of the text use ("\n" for an empty text).
  const std::string& Newline() const { return newline_; }

  struct Line {
    std::string text;    // without the ending
    std::string ending;  // "\r\n", "\n" or "" (the last line)
  };
  const std::vector<Line>& lines() const { return lines_; }

 private:
  enum class Kind { kOther, kSection, kKey };
  struct Parsed {
    Kind kind = Kind::kOther;
    std::string_view name;
    std::string_view value;
  };
  Parsed Parse(size_t index) const;
  // [begin, end) lines of the first section called `section` (begin is its header), or nullopt.
  std::optional<std::pair<size_t, size_t>> FindSection(std::string_view section,
                                                       size_t from = 0) const;
  void Insert(size_t at, std::string text);

  std::string bom_;
  std::vector<Line> lines_;
  std::string newline_ = "\n";
};

// Case-insensitive comparison of two names by the Windows-1252 case table.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

}  // namespace pellucor::platform
