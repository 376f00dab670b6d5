// Text at the widget boundary: runtime strings are Windows-1252 bytes, widgets hold QString.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace pellucor::ui {

[[nodiscard]] QString ToQt(std::string_view ansi);
// Null when the text holds a character Windows-1252 cannot hold.
[[nodiscard]] std::optional<std::string> FromQt(const QString& text);
// The first character of `text` that Windows-1252 cannot hold, or an empty string.
[[nodiscard]] QString ForeignCharacter(const QString& text);
// What the user is told when such a character is refused.
[[nodiscard]] QString RefusalNotice(const QString& character);
// A control text without its mnemonic marker ("&Topic:" -> "Topic:"; "&&" stays one "&").
[[nodiscard]] QString WithoutMnemonic(const QString& text);
// A message text: "|" starts a new line.
[[nodiscard]] QString MessageLines(std::string_view ansi);

}  // namespace pellucor::ui
