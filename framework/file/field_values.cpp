#include "framework/file/field_values.h"

#include <cctype>

#include "runtime/values/compare.h"

namespace pellucor::framework::fields {

namespace {

bool SameLabel(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view WithoutPrefix(std::string_view label) {
  const size_t colon = label.find(':');
  return colon == std::string_view::npos ? label : label.substr(colon + 1);
}

}  // namespace

int32_t NumberOf(const data::RecordLayout& layout, std::string_view label) {
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    const std::string& full = layout.fields[i].label;
    if (SameLabel(full, label) || SameLabel(WithoutPrefix(full), label)) {
      return static_cast<int32_t>(i + 1);
    }
  }
  return 0;
}

const data::FieldInfo& Info(const data::RecordLayout& layout, int32_t number) {
  return layout.fields[static_cast<size_t>(number - 1)];
}

runtime::Accessor Access(const data::RecordLayout& layout, uint8_t* record, int32_t number) {
  const data::FieldInfo& f = Info(layout, number);
  return runtime::AccessorFactory(f.type, record + f.offset, f.size, f.places);
}

bool SameValue(const data::RecordLayout& left_layout, const uint8_t* left, int32_t left_number,
               const data::RecordLayout& right_layout, const uint8_t* right, int32_t right_number,
               bool no_case) {
  // The accessors only read here; they take a mutable address because they can also write.
  const runtime::Accessor a = Access(left_layout, const_cast<uint8_t*>(left), left_number);
  const runtime::Accessor b = Access(right_layout, const_cast<uint8_t*>(right), right_number);
  if (a->Class() == runtime::ValueClass::kString || b->Class() == runtime::ValueClass::kString) {
    const std::string x = a->GetText();
    const std::string y = b->GetText();
    const runtime::Order o =
        no_case ? runtime::CompareStringsNoCase(x, y) : runtime::CompareStrings(x, y);
    return o == runtime::Order::kEqual;
  }
  if (a->Class() == runtime::ValueClass::kInteger && b->Class() == runtime::ValueClass::kInteger) {
    return a->GetInteger() == b->GetInteger();
  }
  return a->GetDecimal() == b->GetDecimal();
}

void Assign(const data::RecordLayout& to_layout, uint8_t* to, int32_t to_number,
            const data::RecordLayout& from_layout, const uint8_t* from, int32_t from_number) {
  runtime::Accessor target = Access(to_layout, to, to_number);
  const runtime::Accessor source = Access(from_layout, const_cast<uint8_t*>(from), from_number);
  target->Assign(*source);
}

void Clear(const data::RecordLayout& layout, uint8_t* record, int32_t number,
           runtime::ClearMode mode) {
  runtime::Accessor a = Access(layout, record, number);
  runtime::ClearValue(*a, mode);
}

}  // namespace pellucor::framework::fields
