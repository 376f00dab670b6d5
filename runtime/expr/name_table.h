// Name tables and bind scopes. Each scope has one table, created on first use and filled with
// the built-in functions and the keyword operators, so every scope sees the built-ins. Lookups
// go through the current table, then the saved tables from the newest outward, stopping at a
// scope that hides its outer names.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "runtime/expr/node.h"

namespace pellucor::runtime::expr::detail {

enum class EntryKind : uint8_t { kVariable = 1, kKeyword = 4, kFunction = 6 };

struct NameEntry {
  std::string name;
  EntryKind kind = EntryKind::kVariable;
  ValueClass cls = ValueClass::kInteger;
  std::shared_ptr<const Variable> variable;    // kVariable
  uint8_t function = 0;                        // kFunction: identifier, 0 a bound procedure
  uint8_t max_args = 0;                        // kFunction
  std::shared_ptr<const Procedure> procedure;  // bound procedure
  Op keyword = Op::kAnd;                       // kKeyword
};

// The entry for `name`, or null. The entry stays valid until the next BIND, ClearBindings,
// PUSHSCOPE or POPSCOPE.
const NameEntry* LookupName(std::string_view name);

// The part of a text that BIND stores as its name (see BIND).
std::string BindName(std::string_view text);

// True for characters that start or continue a name.
bool IsNameLetter(unsigned char c);

// Registers the evaluator's error texts with the error table (once).
void EnsureErrorTexts();

}  // namespace pellucor::runtime::expr::detail
