#include "report/page_list.h"

#include <cstdint>
#include <optional>

namespace pellucor::report {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A page number: digits only, at least 1. Numbers beyond any report are held at a ceiling, so
// that "1-99999999999" still means "every page from 1 on".
std::optional<int64_t> PageNumber(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  if (value < 1) return std::nullopt;
  return value;
}

// Whether item `item` names or contains `page`.
bool ItemSelects(std::string_view item, int32_t page) {
  const size_t dash = item.find('-');
  if (dash == std::string_view::npos) {
    const std::optional<int64_t> only = PageNumber(item);
    return only.has_value() && *only == page;
  }
  const std::optional<int64_t> from = PageNumber(item.substr(0, dash));
  const std::optional<int64_t> to = PageNumber(item.substr(dash + 1));
  if (!from || !to || *to < *from) return false;
  return page >= *from && page <= *to;
}

}  // namespace

std::string WholeRange(int32_t pages) {
  return "1-" + std::to_string(pages);
}

bool PageSelected(std::string_view list, int32_t page) {
  for (;;) {
    const size_t comma = list.find(',');
    if (ItemSelects(list.substr(0, comma), page)) return true;
    if (comma == std::string_view::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

std::vector<int32_t> SelectedPages(std::string_view list, int32_t pages) {
  std::vector<int32_t> out;
  for (int32_t page = 1; page <= pages; ++page) {
    if (PageSelected(list, page)) out.push_back(page);
  }
  return out;
}

}  // namespace pellucor::report
