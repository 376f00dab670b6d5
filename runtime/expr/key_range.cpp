// Key-range analysis: which bounds a filter sets on one key component, and whether the filter is
// known true or false before any record is read. Only AND passes bounds on: a bound under OR or
// NOT would restrict records that the other branch admits.
#include <algorithm>
#include <climits>

#include "runtime/core/char_tables.h"
#include "runtime/expr/eval.h"
#include "runtime/expr/parser.h"

namespace pellucor::runtime::expr {

namespace {

using detail::Node;
using detail::NodeKind;

constexpr int kVolatile = INT_MAX;  // a value that changes between records by itself

Truth3 And3(Truth3 a, Truth3 b) {
  if (a == Truth3::kAlwaysFalse || b == Truth3::kAlwaysFalse) return Truth3::kAlwaysFalse;
  if (a == Truth3::kAlwaysTrue && b == Truth3::kAlwaysTrue) return Truth3::kAlwaysTrue;
  return Truth3::kDepends;
}
Truth3 Or3(Truth3 a, Truth3 b) {
  if (a == Truth3::kAlwaysTrue || b == Truth3::kAlwaysTrue) return Truth3::kAlwaysTrue;
  if (a == Truth3::kAlwaysFalse && b == Truth3::kAlwaysFalse) return Truth3::kAlwaysFalse;
  return Truth3::kDepends;
}
Truth3 Not3(Truth3 a) {
  if (a == Truth3::kAlwaysTrue) return Truth3::kAlwaysFalse;
  if (a == Truth3::kAlwaysFalse) return Truth3::kAlwaysTrue;
  return Truth3::kDepends;
}

Op Mirror(Op op) {
  switch (op) {
    case Op::kLess:
      return Op::kGreater;
    case Op::kGreater:
      return Op::kLess;
    case Op::kLessEqual:
      return Op::kGreaterEqual;
    case Op::kGreaterEqual:
      return Op::kLessEqual;
    default:
      return op;
  }
}

bool IsIntegerConstant(const Node* n, int32_t* value) {
  if (!n || n->kind != NodeKind::kConstant || n->cls != ValueClass::kInteger) return false;
  *value = n->integer;
  return true;
}

class Analyzer {
 public:
  Analyzer(const Expression& tree, KeyRangeReceiver& receiver, int component)
      : tree_(tree), receiver_(receiver), component_(component) {}

  Truth3 Walk(const Node& n, bool report) {
    if (n.kind == NodeKind::kOperator) {
      switch (n.op) {
        case Op::kAnd: {
          const Truth3 a = Walk(*n.args[0], report);
          const Truth3 b = Walk(*n.args[1], report);
          return And3(a, b);
        }
        case Op::kOr:
          return Or3(Walk(*n.args[0], false), Walk(*n.args[1], false));
        case Op::kNot:
          return Not3(Walk(*n.args[0], false));
        default:
          break;
      }
    }
    if (Dependence(n) == kNotInRecord)
      return detail::EvalTruth(n) ? Truth3::kAlwaysTrue : Truth3::kAlwaysFalse;
    if (report && n.kind == NodeKind::kOperator) Bounds(n);
    return Truth3::kDepends;
  }

 private:
  // The latest key component a subtree depends on: kNotInRecord when none, kOtherField or
  // kVolatile when it changes from record to record in a way no key bounds.
  int Dependence(const Node& n) const {
    int d = kNotInRecord;
    if (n.kind == NodeKind::kVariable) d = receiver_.ComponentOf(n.variable->address);
    if (n.kind == NodeKind::kFunction &&
        (n.function == detail::kProcedure || n.function == detail::kRandom ||
         n.function == detail::kClock))
      d = kVolatile;
    for (const auto& a : n.args)
      if (a) d = std::max(d, Dependence(*a));
    return d;
  }

  bool IsComponent(const Node& n) const {
    if (n.kind == NodeKind::kFunction && n.function == detail::kUpper && n.args.size() == 1 &&
        n.args[0] && receiver_.IgnoresCase(component_))
      return IsField(*n.args[0]);
    return IsField(n);
  }
  bool IsField(const Node& n) const {
    return n.kind == NodeKind::kVariable &&
           receiver_.ComponentOf(n.variable->address) == component_;
  }
  // The bound variable of a component term (the field, or the field inside UPPER).
  static const detail::Variable& FieldOf(const Node& n) {
    return n.kind == NodeKind::kVariable ? *n.variable : *n.args[0]->variable;
  }

  // A component of string class is ordered as text; only a text operand compares with it in
  // that order. Numeric components are ordered as numbers, as every other comparison is.
  bool Usable(const Node& field, const Node& operand) const {
    if (Dependence(operand) >= component_) return false;
    if (field.cls == ValueClass::kString) return operand.cls >= ValueClass::kPicture;
    return true;
  }

  void Bounds(const Node& n) {
    if (n.op < Op::kEqual || n.op > Op::kGreaterEqual || n.op == Op::kNotEqual) return;
    const Node& left = *n.args[0];
    const Node& right = *n.args[1];
    if (IsComponent(left) && Usable(left, right)) {
      receiver_.Bound(n.op, Operand(right));
    } else if (IsComponent(right) && Usable(right, left)) {
      receiver_.Bound(Mirror(n.op), Operand(left));
    } else if (n.op == Op::kEqual) {
      Prefix(left, right);
    }
  }

  // SUB(field, 1, n) = 'text' with n the length of the text holds exactly for the values from
  // 'text' up to 'text' followed by the highest-sorting character.
  void Prefix(const Node& call, const Node& text) {
    if (call.kind != NodeKind::kFunction || call.function != detail::kSub) return;
    if (call.args.size() != 3 || !call.args[0] || !IsComponent(*call.args[0])) return;
    if (call.args[0]->cls != ValueClass::kString) return;
    int32_t start = 0;
    int32_t length = 0;
    if (!IsIntegerConstant(call.args[1].get(), &start) || start != 1) return;
    if (!IsIntegerConstant(call.args[2].get(), &length)) return;
    if (text.kind != NodeKind::kConstant || text.cls != ValueClass::kString) return;
    if (length <= 0 || static_cast<size_t>(length) != text.text.size()) return;

    const CharTables& tables = CurrentCharTables();
    int highest = 0;
    for (int c = 0; c < 256; ++c)
      if (tables.collation[c] >= tables.collation[highest]) highest = c;
    const size_t width = std::max<size_t>(FieldOf(*call.args[0]).size, text.text.size() + 1);
    std::string upper = text.text;
    upper.resize(width, static_cast<char>(highest));
    const Node& low = tree_.Keep(detail::MakeStringConstant(text.text));
    const Node& high = tree_.Keep(detail::MakeStringConstant(std::move(upper)));
    receiver_.Bound(Op::kGreaterEqual, Operand(low));
    receiver_.Bound(Op::kLessEqual, Operand(high));
  }

  const Expression& tree_;
  KeyRangeReceiver& receiver_;
  int component_;
};

}  // namespace

ValueClass Operand::Class() const {
  return node_->cls;
}

bool Operand::IsConstant() const {
  // A subtree is constant when it names no variable and calls nothing that changes by itself.
  const auto walk = [](const auto& self, const detail::Node& n) -> bool {
    if (n.kind == NodeKind::kVariable) return false;
    if (n.kind == NodeKind::kFunction &&
        (n.function == detail::kProcedure || n.function == detail::kRandom ||
         n.function == detail::kClock))
      return false;
    for (const auto& a : n.args)
      if (a && !self(self, *a)) return false;
    return true;
  };
  return walk(walk, *node_);
}

int32_t Operand::Integer() const {
  return detail::EvalInteger(*node_);
}
double Operand::Real() const {
  return detail::EvalReal(*node_);
}
std::string Operand::Text() const {
  detail::TextBuf t;
  detail::EvalText(*node_, t);
  return std::string(t.view);
}

Truth3 KeyRangeAnalysis(const Expression* tree, KeyRangeReceiver& receiver, int component) {
  if (!tree) return Truth3::kDepends;
  Analyzer analyzer(*tree, receiver, component);
  return analyzer.Walk(tree->Root(), true);
}

}  // namespace pellucor::runtime::expr
