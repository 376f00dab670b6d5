// The environment file's text form: lines KEY=value up to a Ctrl-Z or the end of the file.
//
// - Blanks around the key are ignored; a key longer than 31 characters, or a line without "=",
//   is skipped.
// - The value runs to the end of the line, at most 1024 characters (longer values are cut), with
//   trailing blanks and tabs removed.
// - In the value, "<" followed by decimal digits (optionally closed by ">") stands for the
//   character with that code (1-255), and "<<" for "<"; any other "<" is kept as it stands.
//   Escapes are resolved per list item, after splitting, so "<44>" is a comma inside an item.
// - Unless it is a key whose commas are kept (VELCOLSEQ, VELMSGn), a value is a list: "," separates
//   items, and an item in double quotes may hold commas and a doubled quote for a quote. A value
//   that starts with a quote is one quoted item.
//
// The parser only reads text; applying it to the locale is LoadEnvironment's work (locale.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::runtime {

inline constexpr size_t kMaxEnvKey = 31;
inline constexpr size_t kMaxEnvValue = 1024;

struct EnvEntry {
  std::string key;    // upper-cased
  std::string value;  // as written (escapes unresolved), cut, trailing blanks and tabs removed
  size_t line = 0;    // 1-based line number in the file
};

// The well-formed lines of an environment file, in file order. Bad lines are skipped.
[[nodiscard]] std::vector<EnvEntry> ParseEnvironment(std::string_view text);

// Resolves "<nnn>" and "<<" escapes.
[[nodiscard]] std::string ResolveEnvEscapes(std::string_view value);

// Splits a list value into its items (quotes removed, doubled quotes undone, unquoted items
// trimmed of surrounding blanks, escapes resolved). std::nullopt when a quote is not closed or
// text follows a closing quote: such a line is skipped.
[[nodiscard]] std::optional<std::vector<std::string>> SplitEnvList(std::string_view value);

}  // namespace pellucor::runtime
