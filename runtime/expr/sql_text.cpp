// The SQL-like text of a tree, for drivers that accept a condition. Operators are written with
// their text forms; the patterns the query form writes (prefix and substring tests, NULL tests)
// become LIKE and IS NULL conditions.
#include <initializer_list>
#include <string>

#include "runtime/expr/eval.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime::expr {

std::string SqlPrinter::FieldName(std::string_view bound_name, const void*) const {
  return std::string(bound_name);
}
std::string SqlPrinter::DateLiteral(int32_t day_number) const {
  return IntegerText(day_number);
}
std::string SqlPrinter::TimeLiteral(int32_t time_value) const {
  return IntegerText(time_value);
}

namespace {

using detail::Node;
using detail::NodeKind;

const char* TextForm(Op op) {
  switch (op) {
    case Op::kSlice:
      return " : ";
    case Op::kPower:
      return " ^ ";
    case Op::kMultiply:
      return " * ";
    case Op::kDivide:
      return " / ";
    case Op::kModulus:
      return " % ";
    case Op::kAdd:
      return " + ";
    case Op::kSubtract:
      return " - ";
    case Op::kConcat:
      return " & ";
    case Op::kEqual:
      return " = ";
    case Op::kNotEqual:
      return " <> ";
    case Op::kLess:
      return " < ";
    case Op::kGreater:
      return " > ";
    case Op::kLessEqual:
      return " <= ";
    case Op::kGreaterEqual:
      return " >= ";
    case Op::kAnd:
      return " AND ";
    case Op::kOr:
      return " OR ";
    case Op::kXor:
      return " XOR ";
    case Op::kComma:
      return ", ";
    case Op::kColon:
      return " : ";
    default:
      return "";
  }
}

// Binding strength of the grammar's levels, loosest first.
int Level(Op op) {
  switch (op) {
    case Op::kOr:
    case Op::kXor:
      return 1;
    case Op::kAnd:
      return 2;
    case Op::kNot:
      return 3;
    case Op::kConcat:
      return 5;
    case Op::kAdd:
    case Op::kSubtract:
      return 6;
    case Op::kMultiply:
    case Op::kDivide:
    case Op::kModulus:
      return 7;
    case Op::kPower:
      return 8;
    case Op::kNegate:
      return 9;
    default:
      return 4;  // comparisons
  }
}

bool IsBinary(const Node& n) {
  return n.kind == NodeKind::kOperator && n.args.size() == 2 && n.op != Op::kSubscript;
}
bool IsComparison(Op op) {
  return op >= Op::kEqual && op <= Op::kGreaterEqual;
}
bool IsCondition(const Node& n) {
  return n.kind == NodeKind::kOperator && (IsComparison(n.op) || n.op == Op::kNot ||
                                           n.op == Op::kAnd || n.op == Op::kOr || n.op == Op::kXor);
}

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  return out;
}

// A real written so that it reads back as a real: exponent forms keep a fraction point.
// Joins texts by appending (a literal + temporary chain trips a false warning of GCC 12).
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}
std::string Grouped(std::string_view inner) {
  return Cat({"(", inner, ")"});
}

std::string RealLiteral(double v) {
  std::string s = RealText(v);
  const size_t e = s.find_first_of("eE");
  if (e != std::string::npos && s.find('.') == std::string::npos) s.insert(e, ".0");
  return s;
}

bool IsConstant(const Node& n) {
  return n.kind == NodeKind::kConstant;
}

bool IsField(const Node& n) {
  return n.kind == NodeKind::kVariable;
}
// The query form wraps case-insensitive fields in UPPER(); such a term still names its field.
bool IsFieldTerm(const Node& n) {
  if (IsField(n)) return true;
  return n.kind == NodeKind::kFunction && n.function == detail::kUpper && n.args.size() == 1 &&
         n.args[0] && IsField(*n.args[0]);
}

bool IsInteger(const Node* n, int32_t value) {
  return n && n->kind == NodeKind::kConstant && n->cls == ValueClass::kInteger &&
         n->integer == value;
}

// A LIKE pattern may hold its own text only when the text carries no LIKE wildcard.
bool LikeSafe(std::string_view text) {
  return text.find_first_of("%_") == std::string::npos;
}

class Printer {
 public:
  Printer(const SqlPrinter& printer) : p_(printer) {}

  std::string Top(const Node& n, SqlForm form) {
    if (form == SqlForm::kSortList && n.kind == NodeKind::kOperator && n.op == Op::kNegate &&
        IsField(*n.args[0]))
      return Field(*n.args[0]) + " DESC";
    return Print(n);
  }

  std::string Print(const Node& n) {
    switch (n.kind) {
      case NodeKind::kConstant:
        if (n.cls == ValueClass::kInteger) return IntegerText(n.integer);
        if (n.cls == ValueClass::kReal) return RealLiteral(n.real);
        return Quoted(n.text);
      case NodeKind::kPicture:
        return n.text;
      case NodeKind::kVariable:
        return Field(n);
      case NodeKind::kFunction:
        return Call(n);
      case NodeKind::kOperator:
        return Operator(n);
    }
    return {};
  }

 private:
  std::string Field(const Node& n) { return p_.FieldName(n.variable->name, n.variable->address); }

  std::string Call(const Node& n) {
    std::string out = n.function == detail::kProcedure ? (n.procedure ? n.procedure->name : "")
                                                       : detail::kBuiltins[n.function].name;
    out += "(";
    for (size_t i = 0; i < n.args.size(); ++i) {
      if (i > 0) out += ", ";
      if (n.args[i]) out += Print(*n.args[i]);
    }
    return out + ")";
  }

  // An operand of NOT, AND or OR that is not itself a condition becomes a test against empty.
  std::string Condition(const Node& n) {
    if (IsCondition(n)) return Print(n);
    return Print(n) + (n.cls >= ValueClass::kString ? " <> ''" : " <> 0");
  }

  // Parentheses go around an operand that is a binary operation whose operator code is higher
  // than its parent's, and around any operand that would otherwise read back differently: one
  // of a looser level, or one of the same level on the right (every level groups to the left).
  std::string Operand(const Node& child, Op parent, bool right, bool as_condition) {
    std::string text = as_condition ? Condition(child) : Print(child);
    if (!IsBinary(child)) return text;
    const bool higher = static_cast<int>(child.op) > static_cast<int>(parent);
    const bool looser = Level(child.op) < Level(parent);
    const bool same_right = right && Level(child.op) == Level(parent);
    if (higher || looser || same_right) return Grouped(text);
    return text;
  }

  // The subscripts of a chain a[i][j] are written back as one list, a[i, j].
  std::string Subscripted(const Node& n, std::string* indices) {
    if (n.kind == NodeKind::kOperator && n.op == Op::kSubscript) {
      std::string base = Subscripted(*n.args[0], indices);
      if (!indices->empty()) *indices += ", ";
      *indices += Print(*n.args[1]);
      return base;
    }
    return Print(n);
  }

  std::string Operator(const Node& n) {
    switch (n.op) {
      case Op::kNegate: {
        const Node& x = *n.args[0];
        const std::string inner = Print(x);
        return Cat({"-", IsBinary(x) ? Grouped(inner) : inner});
      }
      case Op::kNot: {
        const Node& x = *n.args[0];
        const bool group = IsBinary(x) && Level(x.op) < Level(Op::kNot);
        const std::string inner = Condition(x);
        return Cat({"NOT ", group ? Grouped(inner) : inner});
      }
      case Op::kSubscript: {
        std::string indices;
        std::string base = Subscripted(n, &indices);
        return base + "[" + indices + "]";
      }
      case Op::kSlice: {
        std::string indices;
        std::string base = Subscripted(*n.args[0], &indices);
        if (!indices.empty()) indices += ", ";
        return base + "[" + indices + Print(*n.args[1]) + TextForm(Op::kSlice) + Print(*n.args[2]) +
               "]";
      }
      default:
        break;
    }
    if (IsComparison(n.op)) {
      if (std::string special; Pattern(n, &special)) return special;
    }
    const bool logical = n.op == Op::kAnd || n.op == Op::kOr;
    return Operand(*n.args[0], n.op, false, logical) + TextForm(n.op) +
           Operand(*n.args[1], n.op, true, logical);
  }

  bool Pattern(const Node& n, std::string* out) {
    const Node& left = *n.args[0];
    const Node& right = *n.args[1];
    // SUB(field, 1, n) = 'text' with n the text's length: a prefix test.
    if (n.op == Op::kEqual && left.kind == NodeKind::kFunction && left.function == detail::kSub &&
        left.args.size() == 3 && left.args[0] && IsFieldTerm(*left.args[0]) &&
        IsInteger(left.args[1].get(), 1) && left.args[2] &&
        IsInteger(left.args[2].get(), static_cast<int32_t>(right.text.size())) &&
        IsConstant(right) && right.cls == ValueClass::kString && LikeSafe(right.text)) {
      *out = Print(*left.args[0]) + " LIKE " + Quoted(right.text + "%");
      return true;
    }
    // INSTRING('text', field, 1, 1) <> 0: a substring test.
    if (n.op == Op::kNotEqual && left.kind == NodeKind::kFunction &&
        left.function == detail::kInstring && left.args.size() == 4 && left.args[0] &&
        IsConstant(*left.args[0]) && left.args[0]->cls == ValueClass::kString && left.args[1] &&
        IsFieldTerm(*left.args[1]) && IsInteger(left.args[2].get(), 1) &&
        IsInteger(left.args[3].get(), 1) && IsInteger(&right, 0) && LikeSafe(left.args[0]->text)) {
      *out = Print(*left.args[1]) + " LIKE " + Quoted(Cat({"%", left.args[0]->text, "%"}));
      return true;
    }
    // NULL(field) = c, NULL(field) <> c.
    if ((n.op == Op::kEqual || n.op == Op::kNotEqual) && left.kind == NodeKind::kFunction &&
        left.function == detail::kNull && left.args.size() == 1 && left.args[0] &&
        IsField(*left.args[0]) && IsConstant(right)) {
      const bool nonzero = detail::EvalInteger(right) != 0;
      const bool negated = (nonzero && n.op == Op::kNotEqual) || (!nonzero && n.op == Op::kEqual);
      *out = Print(*left.args[0]) + " IS " + (negated ? "NOT " : "") + "NULL ";
      return true;
    }
    // A field compared with a constant: the constant in the field's own terms.
    const Node* field = IsField(left) && IsConstant(right)   ? &left
                        : IsField(right) && IsConstant(left) ? &right
                                                             : nullptr;
    if (!field) return false;
    const Node& constant = field == &left ? right : left;
    std::string literal;
    switch (field->variable->type) {
      case TypeCode::kDate:
        literal = p_.DateLiteral(detail::EvalInteger(constant));
        break;
      case TypeCode::kTime:
        literal = p_.TimeLiteral(detail::EvalInteger(constant));
        break;
      case TypeCode::kString:
      case TypeCode::kCString:
      case TypeCode::kPString: {
        detail::TextBuf t;
        detail::EvalText(constant, t);
        literal = Quoted(t.view);
        break;
      }
      default:
        return false;
    }
    const std::string name = Field(*field);
    *out = field == &left ? name + TextForm(n.op) + literal : literal + TextForm(n.op) + name;
    return true;
  }

  const SqlPrinter& p_;
};

}  // namespace

std::string SqlText(const Expression& tree, const SqlPrinter& printer, SqlForm form) {
  Printer p(printer);
  return p.Top(tree.Root(), form);
}

}  // namespace pellucor::runtime::expr
