#include "runtime/expr/eval.h"

#include <cmath>
#include <cstring>

#include "runtime/values/compare.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime::expr::detail {

namespace {

// The text of a bound variable. The string layouts are viewed in place (no copy): a STRING or
// GROUP with its full declared length, a CSTRING up to its terminator, a PSTRING as long as its
// length byte says. Other types go through their accessor.
void VariableText(const Variable& v, TextBuf& out) {
  const char* bytes = static_cast<const char*>(v.address);
  switch (v.type) {
    case TypeCode::kString:
    case TypeCode::kGroup:
    case TypeCode::kMemo:
    case TypeCode::kBlob:
      out.Borrow({bytes, v.size});
      return;
    case TypeCode::kCString:
      out.Borrow({bytes, strnlen(bytes, v.size)});
      return;
    case TypeCode::kPString: {
      size_t length = v.size == 0 ? 0 : static_cast<unsigned char>(bytes[0]);
      if (v.size > 0 && length > v.size - 1) length = v.size - 1;
      out.Borrow({bytes + (v.size > 0 ? 1 : 0), length});
      return;
    }
    default:
      out.own.clear();
      v.accessor->AppendText(&out.own);
      out.Take();
      return;
  }
}

int32_t Bool(bool b) {
  return b ? 1 : 0;
}

int32_t Negate(int32_t v) {
  return static_cast<int32_t>(0u - static_cast<uint32_t>(v));
}

bool IsComparison(Op op) {
  return op >= Op::kEqual && op <= Op::kGreaterEqual;
}

bool Holds(Op op, int order) {
  switch (op) {
    case Op::kEqual:
      return order == 0;
    case Op::kNotEqual:
      return order != 0;
    case Op::kLess:
      return order < 0;
    case Op::kGreater:
      return order > 0;
    case Op::kLessEqual:
      return order <= 0;
    case Op::kGreaterEqual:
      return order >= 0;
    default:
      return false;
  }
}

// Arithmetic is done in reals. A division or remainder by zero gives 0 rather than an infinity
// or NaN that would leak into stored fields and displayed text.
double Arithmetic(const Node& n) {
  const double a = EvalReal(*n.args[0]);
  if (n.op == Op::kNegate) return -a;
  const double b = EvalReal(*n.args[1]);
  switch (n.op) {
    case Op::kPower:
      return std::pow(a, b);
    case Op::kMultiply:
      return a * b;
    case Op::kDivide:
      return b == 0 ? 0 : a / b;
    case Op::kModulus:
      return b == 0 ? 0 : std::fmod(a, b);
    case Op::kAdd:
      return a + b;
    case Op::kSubtract:
      return a - b;
    default:
      return 0;
  }
}

bool IsArithmetic(Op op) {
  return op >= Op::kPower && op <= Op::kSubtract;
}

// Characters start..end (1-based, inclusive) of a text, cut to the text; a start below 1 counts
// as 1.
void Slice(const TextBuf& from, int64_t start, int64_t end, TextBuf& out, bool borrowed) {
  const auto size = static_cast<int64_t>(from.view.size());
  if (start < 1) start = 1;
  if (end > size) end = size;
  std::string_view part;
  if (start <= end)
    part = from.view.substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start + 1));
  if (borrowed)
    out.Borrow(part);
  else
    out.Copy(part);
}

int32_t OperatorInteger(const Node& n) {
  if (IsComparison(n.op)) return Bool(Holds(n.op, CompareNodes(*n.args[0], *n.args[1])));
  switch (n.op) {
    case Op::kNot:
      return Bool(!EvalTruth(*n.args[0]));
    case Op::kAnd: {
      // Both sides are evaluated (no short cut): a bound procedure on the right still runs.
      const bool a = EvalTruth(*n.args[0]);
      const bool b = EvalTruth(*n.args[1]);
      return Bool(a && b);
    }
    case Op::kOr: {
      const bool a = EvalTruth(*n.args[0]);
      const bool b = EvalTruth(*n.args[1]);
      return Bool(a || b);
    }
    case Op::kXor: {
      const bool a = EvalTruth(*n.args[0]);
      const bool b = EvalTruth(*n.args[1]);
      return Bool(a != b);
    }
    case Op::kNegate:
      return Negate(EvalInteger(*n.args[0]));
    default:
      break;
  }
  if (IsArithmetic(n.op)) return RealToInteger(Arithmetic(n));
  TextBuf t;
  EvalText(n, t);
  return TextToInteger(t.view);
}

}  // namespace

int CompareReals(double a, double b) {
  if (a == b) return 0;
  const double d = a - b;
  if (std::isnan(d)) return a < b ? -1 : 1;
  // Fast path: a difference within 50 binary places of both operands is a real difference. A
  // zero operand counts as exponent 0, the exponent of 0.5.
  const double scaled = std::fabs(d) * 0x1p50;
  if (scaled >= (a == 0 ? 0.5 : std::fabs(a)) && scaled >= (b == 0 ? 0.5 : std::fabs(b)))
    return a < b ? -1 : 1;
  int ed = 0;
  int ea = 0;
  int eb = 0;
  std::frexp(d, &ed);
  if (a != 0) std::frexp(a, &ea);
  if (b != 0) std::frexp(b, &eb);
  if (ea - ed > 50 || eb - ed > 50) return 0;
  return a < b ? -1 : 1;
}

int CompareNodes(const Node& left, const Node& right) {
  if (left.cls == ValueClass::kInteger && right.cls == ValueClass::kInteger) {
    const int32_t a = EvalInteger(left);
    const int32_t b = EvalInteger(right);
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  if (left.cls >= ValueClass::kString && right.cls >= ValueClass::kString) {
    TextBuf a;
    TextBuf b;
    EvalText(left, a);
    EvalText(right, b);
    return OrderSign(CompareStrings(a.view, b.view));
  }
  return CompareReals(EvalReal(left), EvalReal(right));
}

int32_t EvalInteger(const Node& n) {
  switch (n.kind) {
    case NodeKind::kConstant:
      if (n.cls == ValueClass::kInteger) return n.integer;
      if (n.cls == ValueClass::kReal) return RealToInteger(n.real);
      return TextToInteger(n.text);
    case NodeKind::kPicture:
      return TextToInteger(n.text);
    case NodeKind::kVariable: {
      const Variable& v = *n.variable;
      if (n.cls == ValueClass::kInteger) return v.accessor->GetInteger();
      if (n.cls == ValueClass::kReal) return RealToInteger(v.accessor->GetReal());
      TextBuf t;
      VariableText(v, t);
      return TextToInteger(t.view);
    }
    case NodeKind::kFunction: {
      Result r;
      CallFunction(n, r);
      if (r.cls == ValueClass::kInteger) return r.integer;
      if (r.cls == ValueClass::kReal) return RealToInteger(r.real);
      return TextToInteger(r.text.view);
    }
    case NodeKind::kOperator:
      return OperatorInteger(n);
  }
  return 0;
}

double EvalReal(const Node& n) {
  switch (n.kind) {
    case NodeKind::kConstant:
      if (n.cls == ValueClass::kInteger) return n.integer;
      if (n.cls == ValueClass::kReal) return n.real;
      return TextToReal(n.text);
    case NodeKind::kPicture:
      return TextToReal(n.text);
    case NodeKind::kVariable: {
      const Variable& v = *n.variable;
      if (n.cls == ValueClass::kInteger) return v.accessor->GetInteger();
      if (n.cls == ValueClass::kReal) return v.accessor->GetReal();
      TextBuf t;
      VariableText(v, t);
      return TextToReal(t.view);
    }
    case NodeKind::kFunction: {
      Result r;
      CallFunction(n, r);
      if (r.cls == ValueClass::kInteger) return r.integer;
      if (r.cls == ValueClass::kReal) return r.real;
      return TextToReal(r.text.view);
    }
    case NodeKind::kOperator:
      if (IsArithmetic(n.op)) return Arithmetic(n);
      if (n.cls == ValueClass::kInteger) return OperatorInteger(n);
      {
        TextBuf t;
        EvalText(n, t);
        return TextToReal(t.view);
      }
  }
  return 0;
}

void EvalText(const Node& n, TextBuf& out) {
  switch (n.kind) {
    case NodeKind::kConstant:
      if (n.cls == ValueClass::kInteger) {
        out.own = IntegerText(n.integer);
        out.Take();
      } else if (n.cls == ValueClass::kReal) {
        out.own = RealText(n.real);
        out.Take();
      } else {
        out.Borrow(n.text);
      }
      return;
    case NodeKind::kPicture:
      out.Borrow(n.text);
      return;
    case NodeKind::kVariable: {
      const Variable& v = *n.variable;
      if (n.cls == ValueClass::kInteger) {
        out.own = IntegerText(v.accessor->GetInteger());
        out.Take();
      } else if (n.cls == ValueClass::kReal) {
        out.own.clear();
        v.accessor->AppendText(&out.own);  // exact for the decimal types
        out.Take();
      } else {
        VariableText(v, out);
      }
      return;
    }
    case NodeKind::kFunction: {
      Result r;
      CallFunction(n, r);
      if (r.cls == ValueClass::kInteger) {
        out.own = IntegerText(r.integer);
        out.Take();
      } else if (r.cls == ValueClass::kReal) {
        out.own = RealText(r.real);
        out.Take();
      } else if (r.text.owned) {
        out.own = std::move(r.text.own);
        out.Take();
      } else {
        out.Borrow(r.text.view);
      }
      return;
    }
    case NodeKind::kOperator:
      break;
  }
  switch (n.op) {
    case Op::kConcat: {
      TextBuf a;
      TextBuf b;
      EvalText(*n.args[0], a);
      EvalText(*n.args[1], b);
      const size_t room = kMaxStringLength;
      out.own.assign(a.view.substr(0, room));
      out.own.append(b.view.substr(0, room - out.own.size()));
      out.Take();
      return;
    }
    case Op::kSubscript:
    case Op::kSlice: {
      TextBuf base;
      EvalText(*n.args[0], base);
      const int64_t start = EvalInteger(*n.args[1]);
      const int64_t end = n.op == Op::kSlice ? EvalInteger(*n.args[2]) : start;
      Slice(base, start, end, out, !base.owned);
      return;
    }
    default:
      break;
  }
  if (n.cls == ValueClass::kInteger) {
    out.own = IntegerText(OperatorInteger(n));
  } else {
    out.own = RealText(Arithmetic(n));
  }
  out.Take();
}

bool EvalTruth(const Node& n) {
  switch (n.cls) {
    case ValueClass::kInteger:
      return EvalInteger(n) != 0;
    case ValueClass::kReal:
      return EvalReal(n) != 0.0;
    default:
      break;
  }
  if (n.kind == NodeKind::kVariable) return n.variable->accessor->IsTrue();
  TextBuf t;
  EvalText(n, t);
  return !t.view.empty();
}

}  // namespace pellucor::runtime::expr::detail
