#include "runtime/locale/env_file.h"

#include <cctype>

namespace pellucor::runtime {

namespace {

constexpr char kCtrlZ = 0x1A;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<EnvEntry> ParseEnvironment(std::string_view text) {
  if (const size_t end = text.find(kCtrlZ); end != std::string_view::npos) {
    text = text.substr(0, end);
  }
  std::vector<EnvEntry> entries;
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    if (key.empty() || key.size() > kMaxEnvKey) continue;
    std::string_view value = line.substr(eq + 1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    if (value.size() > kMaxEnvValue) value = value.substr(0, kMaxEnvValue);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    EnvEntry e;
    e.key.reserve(key.size());
    for (char c : key)
      e.key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    e.value = std::string(value);
    e.line = line_number;
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string ResolveEnvEscapes(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '<') {
      out.push_back(value[i]);
      continue;
    }
    if (i + 1 < value.size() && value[i + 1] == '<') {
      out.push_back('<');
      ++i;
      continue;
    }
    size_t j = i + 1;
    int code = 0;
    while (j < value.size() && j - i <= 3 && value[j] >= '0' && value[j] <= '9') {
      code = code * 10 + (value[j] - '0');
      ++j;
    }
    if (j == i + 1 || code < 1 || code > 255) {
      out.push_back('<');  // not an escape: kept as written
      continue;
    }
    out.push_back(static_cast<char>(code));
    if (j < value.size() && value[j] == '>') ++j;
    i = j - 1;
  }
  return out;
}

std::optional<std::vector<std::string>> SplitEnvList(std::string_view value) {
  std::vector<std::string> items;
  size_t i = 0;
  while (true) {
    while (i < value.size() && IsBlank(value[i])) ++i;
    std::string item;
    if (i < value.size() && value[i] == '"') {
      ++i;
      bool closed = false;
      while (i < value.size()) {
        if (value[i] == '"') {
          if (i + 1 < value.size() && value[i + 1] == '"') {
            item.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        item.push_back(value[i++]);
      }
      if (!closed) return std::nullopt;
      while (i < value.size() && IsBlank(value[i])) ++i;
      if (i < value.size() && value[i] != ',') return std::nullopt;
    } else {
      const size_t comma = value.find(',', i);
      item = std::string(
          Trim(value.substr(i, comma == std::string_view::npos ? value.npos : comma - i)));
      i = comma == std::string_view::npos ? value.size() : comma;
    }
    items.push_back(ResolveEnvEscapes(item));
    if (i >= value.size()) break;
    ++i;  // the comma
  }
  return items;
}

}  // namespace pellucor::runtime
