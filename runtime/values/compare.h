// String comparison through the character tables (runtime/core/char_tables.h).
//
// Both texts are compared character by character; the shorter one is treated as if padded with
// blanks, so trailing blanks never matter ("xyz" equals "xyz  "). Two different characters are
// ordered by the collation table (by default the character codes). When the tables hold digraphs,
// each digraph character is expanded into its two characters before characters are compared.
//
// CompareStrings is case-sensitive. CompareStringsNoCase first replaces every character the class
// table marks lower-case by its upper-case form (the tables' upper map), then compares the same
// way; name lookups of the evaluator and case-insensitive keys use it.
#pragma once

#include <string_view>

#include "runtime/core/char_tables.h"
#include "runtime/values/string_stack.h"

namespace pellucor::runtime {

// Which of the two table sets applies: the ANSI tables, or the OEM copies for text held in the
// OEM character set.
enum class CharSet : uint8_t { kAnsi, kOem };

[[nodiscard]] Order CompareStrings(std::string_view left, std::string_view right,
                                   const CharTables& tables, CharSet set = CharSet::kAnsi);
[[nodiscard]] Order CompareStringsNoCase(std::string_view left, std::string_view right,
                                         const CharTables& tables, CharSet set = CharSet::kAnsi);

// The same with the runtime's current tables.
[[nodiscard]] Order CompareStrings(std::string_view left, std::string_view right);
[[nodiscard]] Order CompareStringsNoCase(std::string_view left, std::string_view right);

// -1, 0 or 1 for code that wants an integer.
[[nodiscard]] constexpr int OrderSign(Order o) {
  return static_cast<int>(o);
}

}  // namespace pellucor::runtime
