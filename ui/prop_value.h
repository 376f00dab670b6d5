// How property values cross as text between the runtime and the controls: numbers as decimal
// text (anything else reads as 0), switches as "1" or "" (and "0" reads as off). Private to ui/.
#pragma once

#include <string>
#include <string_view>

namespace pellucor::ui {

inline int ToInt(std::string_view s) {
  try {
    return std::stoi(std::string(s));
  } catch (...) {
    return 0;
  }
}

inline bool Switch(std::string_view v) {
  return !v.empty() && v != "0";
}

inline std::string Switch(bool b) {
  return b ? "1" : "";
}

}  // namespace pellucor::ui
