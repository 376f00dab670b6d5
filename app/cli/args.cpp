#include "app/cli/args.h"

namespace pellucor::app::cli {

bool ParsedArgs::Has(std::string_view name) const {
  return values_.find(name) != values_.end();
}

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void ParsedArgs::Set(std::string_view name, std::string value) {
  values_[std::string(name)] = std::move(value);
}

bool ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> known,
               ParsedArgs* out, std::string* error) {
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (options_ended || word.size() < 2 || word[0] != '-') {
      out->positional.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    if (word.rfind("--", 0) != 0) {
      *error = "unknown option " + word;
      return false;
    }
    std::string_view name = std::string_view(word).substr(2);
    std::optional<std::string> inline_value;
    if (const size_t eq = name.find('='); eq != std::string_view::npos) {
      inline_value = std::string(name.substr(eq + 1));
      name = name.substr(0, eq);
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : known) {
      if (s.name == name) option = &s;
    }
    if (!option) {
      *error = "unknown option --" + std::string(name);
      return false;
    }
    if (out->Has(name)) {
      *error = "the option --" + std::string(name) + " is given twice";
      return false;
    }
    if (option->kind == OptionKind::kFlag) {
      if (inline_value) {
        *error = "the option --" + std::string(name) + " takes no value";
        return false;
      }
      out->Set(name, "");
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) {
        *error = "the option --" + std::string(name) + " needs a value";
        return false;
      }
      inline_value = args[++i];
    }
    out->Set(name, std::move(*inline_value));
  }
  return true;
}

}  // namespace pellucor::app::cli
