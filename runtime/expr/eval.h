// Evaluation of compiled trees. Every node yields its value as an integer, a real, a text or a
// truth value, converting between them by the runtime's value rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/expr/node.h"

namespace pellucor::runtime::expr::detail {

// A text result: either a view of storage that outlives the evaluation (a constant's text, a
// variable's bytes) or the buffer's own copy. Results are never moved once they view `own`.
// Invariant: when `owned`, `view` is the whole of `own`.
struct TextBuf {
  std::string_view view;
  std::string own;
  bool owned = false;
  void Borrow(std::string_view v) {
    view = v;
    owned = false;
  }
  void Take() {  // call after filling `own`
    view = own;
    owned = true;
  }
  void Copy(std::string_view v) {
    own.assign(v.data(), v.size());
    Take();
  }
};

// A function's result in its own class.
struct Result {
  ValueClass cls = ValueClass::kInteger;
  int32_t integer = 0;
  double real = 0;
  TextBuf text;
};

int32_t EvalInteger(const Node& n);
double EvalReal(const Node& n);
// Fills `out`, which must be a fresh or reusable buffer owned by the caller.
void EvalText(const Node& n, TextBuf& out);
bool EvalTruth(const Node& n);

// Orders two operands by the comparison rules: integers as integers, two texts by the string
// comparison, anything else as reals (with the rule for nearly equal reals). -1, 0 or 1.
int CompareNodes(const Node& left, const Node& right);
int CompareReals(double a, double b);

// Built-in functions and bound procedures (builtins.cpp).
void CallFunction(const Node& n, Result& out);

}  // namespace pellucor::runtime::expr::detail
