// Queues stored as numbered entries: key = rows, key_i = the row's fields joined with ",".
#include <algorithm>
#include <array>
#include <set>

#include "framework/ini/ini_manager.h"
#include "platform/profile.h"
#include "platform/profile_parser.h"
#include "runtime/core/error_state.h"
#include "runtime/values/accessor.h"

namespace pellucor::framework {

namespace {

// The descriptor's fields for the given numbers (0 ends the list); empty when a number names no
// field that has an accessor.
std::vector<const runtime::QueueField*> Fields(runtime::Queue& queue, int32_t f1, int32_t f2,
                                               int32_t f3) {
  const runtime::QueueDescriptor* d = queue.descriptor();
  std::vector<const runtime::QueueField*> fields;
  if (d == nullptr || d->buffer == nullptr) return {};
  for (int32_t number : {f1, f2, f3}) {
    if (number == 0) break;
    if (number < 0 || static_cast<size_t>(number) > d->fields.size()) return {};
    const runtime::QueueField& f = d->fields[static_cast<size_t>(number) - 1];
    if (!runtime::HasAccessor(f.type) || f.offset > d->size || f.size > d->size - f.offset) {
      return {};
    }
    fields.push_back(&f);
  }
  return fields;
}

runtime::Accessor AccessorOf(runtime::Queue& queue, const runtime::QueueField& f) {
  return runtime::AccessorFactory(f.type, queue.descriptor()->buffer + f.offset, f.size, f.places);
}

// A row count or row number as stored: decimal digits only. Anything else counts as none.
int64_t ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 18) return 0;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The row's value split into `count` fields: the first ends at the first ",", with three fields
// the third begins after the last ",", and the field in between keeps any commas of its own.
std::array<std::string_view, 3> Split(std::string_view value, size_t count) {
  std::array<std::string_view, 3> parts{};
  if (count <= 1) {
    parts[0] = value;
    return parts;
  }
  const size_t first = value.find(',');
  if (first == std::string_view::npos) {
    parts[0] = value;
    return parts;
  }
  parts[0] = value.substr(0, first);
  std::string_view rest = value.substr(first + 1);
  if (count == 2) {
    parts[1] = rest;
    return parts;
  }
  const size_t last = rest.rfind(',');
  if (last == std::string_view::npos) {
    parts[1] = rest;
    return parts;
  }
  parts[1] = rest.substr(0, last);
  parts[2] = rest.substr(last + 1);
  return parts;
}

}  // namespace

bool IniManager::StoreList(std::string_view section, std::string_view key, runtime::Queue& queue,
                           int32_t field1, int32_t field2, int32_t field3) {
  const std::vector<const runtime::QueueField*> fields = Fields(queue, field1, field2, field3);
  if (fields.empty()) return false;
  const int32_t rows = runtime::QueueRecords(queue);
  bool written = Update(section, key, std::to_string(rows));
  const std::string row_key = std::string(key) + "_";
  for (int32_t i = 1; i <= rows; ++i) {
    runtime::QueueGet(queue, i);
    if (runtime::ErrorCode() != 0) return false;
    std::string row;
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) row += ',';
      std::string text = AccessorOf(queue, *fields[f])->GetText();
      // A STRING's padding is not data; the reader would drop it at the line's end anyway.
      if (fields[f]->type == runtime::TypeCode::kString ||
          fields[f]->type == runtime::TypeCode::kGroup) {
        text.erase(text.find_last_not_of(' ') + 1);
      }
      row += text;
    }
    if (row.size() > kMaxListRow) row.resize(kMaxListRow);
    written = Update(section, row_key + std::to_string(i), row) && written;
  }
  return written;
}

bool IniManager::LoadList(std::string_view section, std::string_view key, runtime::Queue& queue,
                          int32_t field1, int32_t field2, int32_t field3) {
  const std::vector<const runtime::QueueField*> fields = Fields(queue, field1, field2, field3);
  if (fields.empty()) return false;
  const int64_t count = ParseCount(TryReadValue(section, key));
  if (count <= 0) return true;
  // The count comes from the file and may be damaged: only entries that exist are read, so a
  // count of a billion over three entries reads three.
  const std::string prefix = std::string(key) + "_";
  std::set<int64_t> present;
  for (const std::string& name : platform::GetPrivateProfileKeys(section, FILENAME)) {
    if (name.size() <= prefix.size() ||
        !platform::ProfileNamesEqual(std::string_view(name).substr(0, prefix.size()), prefix)) {
      continue;
    }
    const int64_t n = ParseCount(std::string_view(name).substr(prefix.size()));
    if (n >= 1 && n <= count) present.insert(n);
  }
  const runtime::QueueDescriptor& d = *queue.descriptor();
  for (int64_t n : present) {
    const std::string value = TryReadValue(section, prefix + std::to_string(n));
    if (value == kUnknownValue) continue;  // spelled otherwise ("_01"): not this row's key
    for (const runtime::QueueField& f : d.fields) {
      if (runtime::HasAccessor(f.type) && f.offset <= d.size && f.size <= d.size - f.offset) {
        runtime::ClearValue(f.type, d.buffer + f.offset, f.size, f.places,
                            runtime::ClearMode::kBlank);
      }
    }
    const std::array<std::string_view, 3> parts = Split(value, fields.size());
    for (size_t f = 0; f < fields.size(); ++f) AccessorOf(queue, *fields[f])->SetText(parts[f]);
    runtime::QueueAdd(queue);
    if (runtime::ErrorCode() != 0) return false;
  }
  return true;
}

}  // namespace pellucor::framework
