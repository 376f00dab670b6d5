// Names the program itself writes (field and key labels, environment file keys) are matched
// without regard to case by their ASCII letters only: unlike the texts a user types, they never
// follow the environment's case tables.
#pragma once

#include <string_view>

namespace pellucor::runtime {

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace pellucor::runtime
