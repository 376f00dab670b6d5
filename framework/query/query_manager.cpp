// The query's life and its fields: FIELDS is a queue of fixed-size rows, read and written here
// as QueryField values.
#include "framework/query/query_manager.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "framework/popup/popup_manager.h"
#include "framework/query/query_terms.h"

namespace pellucor::framework {

namespace {

using query_detail::SameName;

void Put(char* to, size_t size, std::string_view text) {
  std::memset(to, ' ', size);
  // An empty text may have no storage at all: nothing to copy then.
  if (!text.empty()) std::memcpy(to, text.data(), std::min(size, text.size()));
}

std::string Get(const char* from, size_t size) {
  std::string_view text(from, size);
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace

QueryManager::QueryManager()
    : FIELDS(runtime::QueueDescriptor{
          reinterpret_cast<uint8_t*>(&record_),
          sizeof(FieldRecord),
          {{runtime::TypeCode::kString, offsetof(FieldRecord, name), kQueryNameSize, 0},
           {runtime::TypeCode::kString, offsetof(FieldRecord, title), kQueryTitleSize, 0},
           {runtime::TypeCode::kString, offsetof(FieldRecord, picture), kQueryPictureSize, 0},
           {runtime::TypeCode::kString, offsetof(FieldRecord, low), kQueryValueSize, 0},
           {runtime::TypeCode::kString, offsetof(FieldRecord, middle), kQueryValueSize, 0},
           {runtime::TypeCode::kString, offsetof(FieldRecord, high), kQueryValueSize, 0},
           {runtime::TypeCode::kByte, offsetof(FieldRecord, force_edit_picture), 1, 0}}}) {}

QueryManager::~QueryManager() = default;

Level QueryManager::Init(std::string_view family, ErrorManager& errors, IniManager* ini) {
  FAMILY = std::string(family);
  ERRORS = &errors;
  INIMGR = ini;
  runtime::QueueFree(FIELDS);
  QKCURRENTQUERY.clear();
  QKSUBMENUPOS = 0;
  WINDOW = nullptr;
  return Level::Proceed;
}

void QueryManager::Kill() {
  RemovePopupItems();
  runtime::QueueFree(FIELDS);
  QKCURRENTQUERY.clear();
}

void QueryManager::AddField(std::string_view name, std::string_view title, std::string_view picture,
                            bool force_edit_picture) {
  if (!picture.empty() && picture.front() == '@') picture.remove_prefix(1);
  record_ = FieldRecord{};
  Put(record_.name, kQueryNameSize, name);
  Put(record_.title, kQueryTitleSize, title);
  Put(record_.picture, kQueryPictureSize, picture);
  Put(record_.low, kQueryValueSize, {});
  Put(record_.middle, kQueryValueSize, {});
  Put(record_.high, kQueryValueSize, {});
  record_.force_edit_picture = force_edit_picture ? 1 : 0;
  runtime::QueueAdd(FIELDS);
}

std::vector<QueryField> QueryManager::Fields() {
  std::vector<QueryField> fields;
  const int32_t rows = runtime::QueueRecords(FIELDS);
  for (int32_t i = 1; i <= rows; ++i) {
    runtime::QueueGet(FIELDS, i);
    QueryField f;
    f.NAME = Get(record_.name, kQueryNameSize);
    f.TITLE = Get(record_.title, kQueryTitleSize);
    f.PICTURE = Get(record_.picture, kQueryPictureSize);
    f.LOW = Get(record_.low, kQueryValueSize);
    f.MIDDLE = Get(record_.middle, kQueryValueSize);
    f.HIGH = Get(record_.high, kQueryValueSize);
    f.FORCEEDITPICTURE = record_.force_edit_picture != 0;
    fields.push_back(std::move(f));
  }
  return fields;
}

void QueryManager::SetFields(const std::vector<QueryField>& fields) {
  const int32_t rows = runtime::QueueRecords(FIELDS);
  for (int32_t i = 1; i <= rows && static_cast<size_t>(i) <= fields.size(); ++i) {
    runtime::QueueGet(FIELDS, i);
    const QueryField& f = fields[static_cast<size_t>(i) - 1];
    Put(record_.low, kQueryValueSize, f.LOW);
    Put(record_.middle, kQueryValueSize, f.MIDDLE);
    Put(record_.high, kQueryValueSize, f.HIGH);
    runtime::QueuePut(FIELDS);
  }
}

bool QueryManager::SetValue(std::string_view name, QueryPart part, std::string_view value) {
  std::vector<QueryField> fields = Fields();
  for (QueryField& f : fields) {
    if (!SameName(query_detail::Trim(f.NAME), query_detail::Trim(name))) continue;
    (part == QueryPart::kLow    ? f.LOW
     : part == QueryPart::kHigh ? f.HIGH
                                : f.MIDDLE) = std::string(value);
    SetFields(fields);
    return true;
  }
  return false;
}

std::string QueryManager::GetFilter() {
  return query_detail::FilterText(Fields());
}

void QueryManager::ClearQuery() {
  std::vector<QueryField> fields = Fields();
  for (QueryField& f : fields) {
    f.LOW.clear();
    f.MIDDLE.clear();
    f.HIGH.clear();
  }
  SetFields(fields);
  QKCURRENTQUERY.clear();
}

}  // namespace pellucor::framework
