#include "runtime/expr/name_table.h"

#include <map>
#include <vector>

#include "runtime/core/char_tables.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "runtime/values/compare.h"

namespace pellucor::runtime::expr {

namespace detail {

const BuiltinInfo kBuiltins[kBuiltinCount + 1] = {
    {"", 0, ValueClass::kInteger},
    {"MEMORY", 1, ValueClass::kInteger},
    {"SUB", 3, ValueClass::kString},
    {"INSTRING", 4, ValueClass::kInteger},
    {"CLIP", 1, ValueClass::kString},
    {"ALL", 2, ValueClass::kString},
    {"CENTER", 2, ValueClass::kString},
    {"CHR", 1, ValueClass::kString},
    {"DEFORMAT", 2, ValueClass::kString},
    {"FORMAT", 2, ValueClass::kString},
    {"LEFT", 2, ValueClass::kString},
    {"LEN", 1, ValueClass::kInteger},
    {"LOWER", 1, ValueClass::kString},
    {"NUMERIC", 1, ValueClass::kInteger},
    {"RIGHT", 2, ValueClass::kString},
    {"UPPER", 1, ValueClass::kString},
    {"VAL", 1, ValueClass::kInteger},
    {"ABS", 1, ValueClass::kReal},
    {"INRANGE", 3, ValueClass::kInteger},
    {"INT", 1, ValueClass::kInteger},
    {"LOGE", 1, ValueClass::kReal},
    {"LOG10", 1, ValueClass::kReal},
    {"RANDOM", 2, ValueClass::kInteger},
    {"ROUND", 2, ValueClass::kReal},
    {"SQRT", 1, ValueClass::kReal},
    {"SIN", 1, ValueClass::kReal},
    {"COS", 1, ValueClass::kReal},
    {"TAN", 1, ValueClass::kReal},
    {"ASIN", 1, ValueClass::kReal},
    {"ACOS", 1, ValueClass::kReal},
    {"ATAN", 1, ValueClass::kReal},
    {"BAND", 2, ValueClass::kInteger},
    {"BOR", 2, ValueClass::kInteger},
    {"BXOR", 2, ValueClass::kInteger},
    {"BSHIFT", 2, ValueClass::kInteger},
    {"TODAY", 0, ValueClass::kInteger},
    {"CLOCK", 0, ValueClass::kInteger},
    {"DATE", 3, ValueClass::kInteger},
    {"DAY", 1, ValueClass::kInteger},
    {"MONTH", 1, ValueClass::kInteger},
    {"YEAR", 1, ValueClass::kInteger},
    {"AGE", 2, ValueClass::kString},
    {"CHOOSE", kVariableList, ValueClass::kString},
    {"INLIST", kVariableList, ValueClass::kInteger},
    {"GETINI", 4, ValueClass::kString},
    {"MATCH", 3, ValueClass::kInteger},
    {"NULL", 1, ValueClass::kInteger},
};

namespace {

constexpr size_t kMaxBindName = 100;

// Names are ordered by the case-insensitive collating comparison (letters compared in upper
// case, digraphs expanded), so SNO:DONE finds the name bound as sno:done.
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return CompareStringsNoCase(a, b) == Order::kLess;
  }
};

using NameTable = std::map<std::string, NameEntry, NameLess>;

struct SavedScope {
  std::unique_ptr<NameTable> table;  // null: that scope never created its table
  bool outer_hidden = false;
};

struct Scopes {
  std::unique_ptr<NameTable> current;
  std::vector<SavedScope> saved;  // oldest first
};

Scopes& State() {
  static Scopes scopes;
  return scopes;
}

std::unique_ptr<NameTable> NewTable() {
  auto table = std::make_unique<NameTable>();
  for (int id = 1; id <= kBuiltinCount; ++id) {
    NameEntry e;
    e.name = kBuiltins[id].name;
    e.kind = EntryKind::kFunction;
    e.cls = kBuiltins[id].result;
    e.function = static_cast<uint8_t>(id);
    e.max_args = kBuiltins[id].max_args;
    table->emplace(e.name, std::move(e));
  }
  const std::pair<const char*, Op> keywords[] = {
      {"NOT", Op::kNot}, {"AND", Op::kAnd}, {"OR", Op::kOr}, {"XOR", Op::kXor}};
  for (const auto& [name, op] : keywords) {
    NameEntry e;
    e.name = name;
    e.kind = EntryKind::kKeyword;
    e.keyword = op;
    table->emplace(e.name, std::move(e));
  }
  return table;
}

NameTable& Current() {
  Scopes& s = State();
  if (!s.current) s.current = NewTable();
  return *s.current;
}

void Enter(NameEntry entry) {
  if (entry.name.empty()) return;
  NameTable& table = Current();
  std::string key = entry.name;
  table.insert_or_assign(std::move(key), std::move(entry));
}

}  // namespace

bool IsNameLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  const int cls = CurrentCharTables().char_class[c];
  return (cls & (kCharClassUpper | kCharClassLower)) != 0;
}

std::string BindName(std::string_view text) {
  text = text.substr(0, kMaxBindName);
  size_t n = 0;
  while (n < text.size()) {
    const auto c = static_cast<unsigned char>(text[n]);
    if (!(IsNameLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == ':')) break;
    ++n;
  }
  if (n < text.size() && (text[n] == '#' || text[n] == '$' || text[n] == '"')) ++n;
  return std::string(text.substr(0, n));
}

const NameEntry* LookupName(std::string_view name) {
  const std::string key(name);
  NameTable& current = Current();
  if (auto it = current.find(key); it != current.end()) return &it->second;
  Scopes& s = State();
  for (auto it = s.saved.rbegin(); it != s.saved.rend(); ++it) {
    if (it->outer_hidden) break;
    if (!it->table) continue;
    if (auto found = it->table->find(key); found != it->table->end()) return &found->second;
  }
  return nullptr;
}

void EnsureErrorTexts() {
  static const bool registered = [] {
    RegisterErrorText(err::kNoReturnValue, "No return value from function");
    RegisterErrorText(err::kInvalidEvaluate, "Invalid expression for EVALUATE");
    RegisterErrorText(err::kNoBind, "No BIND on variable");
    RegisterErrorText(err::kMismatchedScope, "Mismatched PUSHSCOPE/POPSCOPE");
    return true;
  }();
  (void)registered;
}

}  // namespace detail

using detail::NameEntry;

void BIND(std::string_view name, TypeCode type, void* address, uint32_t size, uint8_t places) {
  detail::EnsureErrorTexts();
  NameEntry e;
  e.name = detail::BindName(name);
  e.kind = detail::EntryKind::kVariable;
  const ValueClass c = static_cast<ValueClass>(ValueClassOf(type));
  e.cls = c;
  e.variable = std::make_shared<detail::Variable>(e.name, type, address, size, places);
  detail::Enter(std::move(e));
}

void BIND(std::string_view name, BoundProcedure procedure, int argument_count,
          ValueClass result_class) {
  detail::EnsureErrorTexts();
  NameEntry e;
  e.name = detail::BindName(name);
  e.kind = detail::EntryKind::kFunction;
  e.cls = result_class;
  e.function = detail::kProcedure;
  // A procedure takes as many arguments as it was bound with, up to the list limit.
  const int count = argument_count < 0                       ? 0
                    : argument_count > detail::kVariableList ? detail::kVariableList
                                                             : argument_count;
  e.max_args = static_cast<uint8_t>(count);
  auto proc = std::make_shared<detail::Procedure>();
  proc->name = e.name;
  proc->call = std::move(procedure);
  proc->argument_count = count;
  proc->result = result_class;
  e.procedure = std::move(proc);
  detail::Enter(std::move(e));
}

void ClearBindings() {
  detail::State().current.reset();
}

void PUSHSCOPE(OuterNames outer) {
  detail::Scopes& s = detail::State();
  s.saved.push_back({std::move(s.current), outer == OuterNames::kHidden});
  s.current.reset();
}

void POPSCOPE() {
  detail::EnsureErrorTexts();
  detail::Scopes& s = detail::State();
  if (s.saved.empty()) FatalError(err::kMismatchedScope, "Mismatched POPSCOPE");
  s.current = std::move(s.saved.back().table);
  s.saved.pop_back();
}

size_t ScopeDepth() {
  return detail::State().saved.size();
}

}  // namespace pellucor::runtime::expr
