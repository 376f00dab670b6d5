// Icons by the names descriptions use: "~name.ico" is one of the program's own (bundled as
// ":/icons/name.png", and a desktop theme may override it by "name"); "*name" a standard icon of
// the desktop ("*exclamation", "*question", "*hand", "*asterisk", "*application").
#pragma once

#include <QIcon>
#include <string_view>

namespace pellucor::ui {

[[nodiscard]] QIcon IconFor(std::string_view name);

}  // namespace pellucor::ui
