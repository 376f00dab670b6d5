// Command-line options of pellucor-cli: "--name VALUE", "--name=VALUE" and "--name" for the
// options each command declares; "--" ends the options. Anything else that starts with "-" is an
// unknown option.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::app::cli {

enum class OptionKind : uint8_t { kFlag, kValue };

struct OptionSpec {
  std::string_view name;  // without the "--"
  OptionKind kind;
};

class ParsedArgs {
 public:
  std::vector<std::string> positional;

  [[nodiscard]] bool Has(std::string_view name) const;
  [[nodiscard]] std::optional<std::string> Value(std::string_view name) const;
  void Set(std::string_view name, std::string value);

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

// Parses `args` (the words after the command). Returns false with *error set for an unknown
// option, a value missing, a value given to a flag, or an option given twice.
[[nodiscard]] bool ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> known,
                             ParsedArgs* out, std::string* error);

}  // namespace pellucor::app::cli
