// The parts of a compiled tree. Every node's value class is fixed when the node is built; the
// evaluator asks a node for its value as an integer, a real, a text or a truth value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/expr/expression.h"
#include "runtime/locale/picture.h"
#include "runtime/values/accessor.h"

namespace pellucor::runtime::expr::detail {

// A bound variable. Shared between the name table that holds it and every tree that names it,
// so that a tree stays sound when its scope is popped.
struct Variable {
  Variable(std::string n, TypeCode t, void* a, uint32_t s, uint8_t p)
      : name(std::move(n)),
        type(t),
        address(a),
        size(s),
        places(p),
        accessor(AccessorFactory(t, a, s, p)) {}
  std::string name;  // as bound
  TypeCode type;
  void* address;
  uint32_t size;
  uint8_t places;
  Accessor accessor;
};

struct Procedure {
  std::string name;
  BoundProcedure call;
  int argument_count = 0;
  ValueClass result = ValueClass::kString;
};

enum class NodeKind : uint8_t { kConstant, kPicture, kVariable, kFunction, kOperator };

// Built-in function identifiers; 0 is a bound procedure.
enum Builtin : uint8_t {
  kProcedure = 0,
  kMemory = 1,
  kSub,
  kInstring,
  kClip,
  kAll,
  kCenter,
  kChr,
  kDeformat,
  kFormat,
  kLeft,
  kLen,
  kLower,
  kNumeric,
  kRight,
  kUpper,
  kVal,
  kAbs,
  kInrange,
  kInt,
  kLoge,
  kLog10,
  kRandom,
  kRound,
  kSqrt,
  kSin,
  kCos,
  kTan,
  kAsin,
  kAcos,
  kAtan,
  kBand,
  kBor,
  kBxor,
  kBshift,
  kToday,
  kClock,
  kDate,
  kDay,
  kMonth,
  kYear,
  kAge,
  kChoose,
  kInlist,
  kGetini,
  kMatch,
  kNull = 46,
};
inline constexpr int kBuiltinCount = 46;
inline constexpr int kVariableList = 25;  // argument count that marks a list of any length

struct BuiltinInfo {
  const char* name;
  uint8_t max_args;
  ValueClass result;
};
// Indexed by identifier (entry 0 unused).
extern const BuiltinInfo kBuiltins[kBuiltinCount + 1];

struct Node {
  NodeKind kind = NodeKind::kConstant;
  ValueClass cls = ValueClass::kInteger;
  Op op = Op::kAdd;      // kOperator
  uint8_t function = 0;  // kFunction: a Builtin
  int32_t integer = 0;   // integer constant
  double real = 0;       // real constant
  std::string text;      // string constant (NUL-terminated copy), picture text
  std::shared_ptr<const Variable> variable;
  std::shared_ptr<const Procedure> procedure;
  std::shared_ptr<const Picture> picture;  // compiled form of a picture constant
  // Operands of an operator (one or two; a slice has base, start and end) or the arguments of
  // a function call; a null entry is an argument slot the text left empty.
  std::vector<std::unique_ptr<Node>> args;
  int depth = 1;  // levels of this subtree, for the compiler's depth limit
};

// Extra nodes a tree keeps for the bounds it handed out (see Expression::Keep).
struct Extras {
  std::vector<std::unique_ptr<Node>> kept;
};

}  // namespace pellucor::runtime::expr::detail
