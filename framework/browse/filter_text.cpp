// The filter text of a sort order: its range, then its named filters, in the expression language
// the VIEW compiles. Range values are written as literals so that the text stands on its own:
//
//   UPPER(Topic) = UPPER('ab''c') AND (Done = 0)
//
// (one range component on UPPER(Topic) with the value ab'c, and the named filter "Done = 0").
#include <cstdlib>

#include "framework/browse/view_manager.h"
#include "framework/file/file_manager.h"

namespace pellucor::framework {

namespace {

bool StartsWithUpper(std::string_view name) {
  if (name.size() < 6) return false;
  static constexpr std::string_view kUpper = "UPPER(";
  for (size_t i = 0; i < kUpper.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kUpper[i]) return false;
  }
  return true;
}

void Append(std::string* text, std::string_view more) {
  if (text->size() >= kFilterTextSize) return;
  text->append(more.substr(0, kFilterTextSize - text->size()));
}

}  // namespace

std::string FilterValueText(const runtime::AnyRef& value, bool upper) {
  if (value.address == nullptr) return "''";
  const runtime::Accessor a =
      runtime::AccessorFactory(value.type, value.address, value.size, value.places);
  std::string plain = a->GetText();
  if (a->Class() != runtime::ValueClass::kString) return plain;
  while (!plain.empty() && plain.back() == ' ') plain.pop_back();
  std::string quoted = "'";
  for (char c : plain) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += '\'';
  return upper ? "UPPER(" + quoted + ")" : quoted;
}

std::string ViewManager::RangeText() {
  SortOrder* order = CurrentOrder();
  const KeyRow* key = MainKeyRow();
  std::string text;
  if (order == nullptr || order->LIMITTYPE == limit::kNone) return text;
  auto name_of = [&](int32_t component) -> std::string {
    if (key != nullptr && component >= 1 && static_cast<size_t>(component) <= key->FIELDS.size()) {
      return key->FIELDS[static_cast<size_t>(component - 1)].FIELDNAME;
    }
    return {};
  };
  for (size_t i = 0; i < order->RANGELIST.size(); ++i) {
    const RangeComponent& r = order->RANGELIST[i];
    const std::string name = name_of(r.COMPONENT);
    const bool upper = StartsWithUpper(name);
    if (!text.empty()) Append(&text, " AND ");
    const bool bounded = order->LIMITTYPE == limit::kRange && i + 1 == order->RANGELIST.size();
    if (bounded) {
      Append(&text, name + " >= " + FilterValueText(r.VALUE, upper) + " AND " + name +
                        " <= " + FilterValueText(r.HIGH, upper));
    } else {
      Append(&text, name + " = " + FilterValueText(r.VALUE, upper));
    }
  }
  return text;
}

std::string ViewManager::FilterText() {
  std::string text = RangeText();
  SortOrder* order = CurrentOrder();
  if (order == nullptr) return text;
  for (const NamedFilter& f : order->FILTER) {
    if (!text.empty()) Append(&text, " AND ");
    Append(&text, "(" + f.FILTER + ")");
  }
  return text;
}

}  // namespace pellucor::framework
