// The help texts of pellucor-cli: the whole manual (--help) and one section per command.
#pragma once

#include <optional>
#include <string_view>

namespace pellucor::app::cli {

[[nodiscard]] std::string_view ManualText();
// The help of one command, or none for a name that is no command.
[[nodiscard]] std::optional<std::string_view> CommandHelp(std::string_view command);

}  // namespace pellucor::app::cli
