#include "runtime/expr/parser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "runtime/core/error_state.h"
#include "runtime/expr/name_table.h"
#include "runtime/expr/scanner.h"

namespace pellucor::runtime::expr::detail {

namespace {

using NodePtr = std::unique_ptr<Node>;

ValueClass ResultClassOf(Op op) {
  switch (op) {
    case Op::kSlice:
    case Op::kConcat:
      return ValueClass::kString;
    case Op::kPower:
    case Op::kMultiply:
    case Op::kDivide:
    case Op::kModulus:
    case Op::kNegate:
    case Op::kAdd:
    case Op::kSubtract:
      return ValueClass::kReal;
    default:
      return ValueClass::kInteger;
  }
}

class Parser {
 public:
  Parser(std::string_view text, CompileFailure* why) : scanner_(text), why_(why) {}

  NodePtr Run() {
    Advance();
    NodePtr root = Expression();
    if (!root) return nullptr;
    if (tok_.kind != TokenKind::kEnd) return Fail(CompileFailure::Kind::kParse);
    return root;
  }

  // expression {"," expression}, the whole text.
  std::vector<NodePtr> RunList() {
    std::vector<NodePtr> items;
    Advance();
    while (true) {
      NodePtr item = Expression();
      if (!item) return {};
      items.push_back(std::move(item));
      if (IsOp(Op::kComma)) {
        Advance();
        continue;
      }
      if (tok_.kind != TokenKind::kEnd) {
        Fail(CompileFailure::Kind::kParse);
        return {};
      }
      return items;
    }
  }

 private:
  void Advance() {
    tok_ = scanner_.Next();
    if (tok_.kind == TokenKind::kError && !failed_) Fail(CompileFailure::Kind::kScan);
  }
  bool IsOp(Op op) const { return tok_.kind == TokenKind::kOperator && tok_.op == op; }
  bool IsKeyword(Op op) {
    if (tok_.kind != TokenKind::kName) return false;
    const NameEntry* e = LookupName(tok_.text);
    return e && e->kind == EntryKind::kKeyword && e->keyword == op;
  }

  NodePtr Fail(CompileFailure::Kind kind, std::string name = {}) {
    if (!failed_) {
      failed_ = true;
      if (why_) {
        why_->kind = kind;
        why_->offset = tok_.offset;
        why_->name = std::move(name);
      }
    }
    return nullptr;
  }

  NodePtr Binary(Op op, NodePtr left, NodePtr right) {
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::kOperator;
    n->op = op;
    n->cls = ResultClassOf(op);
    n->depth = 1 + std::max(left->depth, right->depth);
    n->args.push_back(std::move(left));
    n->args.push_back(std::move(right));
    if (n->depth > kMaxTreeDepth) return Fail(CompileFailure::Kind::kTooDeep);
    return n;
  }
  NodePtr Unary(Op op, NodePtr operand) {
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::kOperator;
    n->op = op;
    n->cls = ResultClassOf(op);
    n->depth = 1 + operand->depth;
    n->args.push_back(std::move(operand));
    if (n->depth > kMaxTreeDepth) return Fail(CompileFailure::Kind::kTooDeep);
    return n;
  }

  // Nesting guard: every bracket, argument list and subscript passes through Expression.
  NodePtr Expression() {
    if (failed_) return nullptr;
    if (++nesting_ > kMaxNesting) return Fail(CompileFailure::Kind::kTooDeep);
    NodePtr left = AndTerm();
    while (left && (IsKeyword(Op::kOr) || IsKeyword(Op::kXor))) {
      const Op op = IsKeyword(Op::kOr) ? Op::kOr : Op::kXor;
      Advance();
      NodePtr right = AndTerm();
      if (!right) return nullptr;
      left = Binary(op, std::move(left), std::move(right));
    }
    --nesting_;
    if (!left) return nullptr;
    // Only the separators of argument lists and slices may follow an expression.
    if (tok_.kind == TokenKind::kOperator && !IsOp(Op::kComma) && !IsOp(Op::kColon))
      return Fail(CompileFailure::Kind::kParse);
    return left;
  }

  NodePtr AndTerm() {
    NodePtr left = NotTerm();
    while (left && IsKeyword(Op::kAnd)) {
      Advance();
      NodePtr right = NotTerm();
      if (!right) return nullptr;
      left = Binary(Op::kAnd, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr NotTerm() {
    int negations = 0;
    while (IsOp(Op::kNot) || IsKeyword(Op::kNot)) {
      ++negations;
      Advance();
    }
    NodePtr operand = Comparison();
    if (!operand) return nullptr;
    if (negations % 2 == 1) return Unary(Op::kNot, std::move(operand));
    return operand;
  }

  // The relational operator at the token, formed from one or two operator tokens; nullopt-like
  // false when none stands there. "~" directly after an operand starts a two-character form.
  bool Relational(Op* out) {
    if (tok_.kind != TokenKind::kOperator) return false;
    const Op first = tok_.op;
    if (first != Op::kEqual && first != Op::kLess && first != Op::kGreater && first != Op::kNot)
      return false;
    Advance();
    if (failed_) return false;
    const Op second = tok_.kind == TokenKind::kOperator ? tok_.op : Op::kComma;
    Op pair = Op::kComma;
    if (first == Op::kLess && second == Op::kGreater) pair = Op::kNotEqual;
    if (first == Op::kLess && second == Op::kEqual) pair = Op::kLessEqual;
    if (first == Op::kGreater && second == Op::kEqual) pair = Op::kGreaterEqual;
    if (first == Op::kEqual && second == Op::kLess) pair = Op::kLessEqual;
    if (first == Op::kEqual && second == Op::kGreater) pair = Op::kGreaterEqual;
    if (first == Op::kNot && second == Op::kEqual) pair = Op::kNotEqual;
    if (first == Op::kNot && second == Op::kLess) pair = Op::kGreaterEqual;
    if (first == Op::kNot && second == Op::kGreater) pair = Op::kLessEqual;
    if (pair != Op::kComma) {
      Advance();
      *out = pair;
      return true;
    }
    if (first == Op::kNot) {
      Fail(CompileFailure::Kind::kParse);
      return false;
    }
    *out = first;
    return true;
  }

  NodePtr Comparison() {
    NodePtr left = Concatenation();
    while (left) {
      Op op;
      if (!Relational(&op)) break;
      NodePtr right = Concatenation();
      if (!right) return nullptr;
      left = Binary(op, std::move(left), std::move(right));
    }
    if (failed_) return nullptr;
    return left;
  }

  NodePtr Concatenation() {
    NodePtr left = Sum();
    while (left && IsOp(Op::kConcat)) {
      Advance();
      NodePtr right = Sum();
      if (!right) return nullptr;
      left = Binary(Op::kConcat, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Sum() {
    NodePtr left = Product();
    while (left && (IsOp(Op::kAdd) || IsOp(Op::kSubtract))) {
      const Op op = tok_.op;
      Advance();
      NodePtr right = Product();
      if (!right) return nullptr;
      left = Binary(op, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Product() {
    NodePtr left = Power();
    while (left && (IsOp(Op::kMultiply) || IsOp(Op::kDivide) || IsOp(Op::kModulus))) {
      const Op op = tok_.op;
      Advance();
      NodePtr right = Power();
      if (!right) return nullptr;
      left = Binary(op, std::move(left), std::move(right));
    }
    return left;
  }

  // Left-associative like every binary level: 2^3^2 is (2^3)^2.
  NodePtr Power() {
    NodePtr left = Signed();
    while (left && IsOp(Op::kPower)) {
      Advance();
      NodePtr right = Signed();
      if (!right) return nullptr;
      left = Binary(Op::kPower, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Signed() {
    int minus = 0;
    while (IsOp(Op::kAdd) || IsOp(Op::kSubtract)) {
      if (IsOp(Op::kSubtract)) ++minus;
      Advance();
    }
    if (tok_.kind == TokenKind::kOperator) return Fail(CompileFailure::Kind::kParse);
    NodePtr operand = Primary();
    if (!operand) return nullptr;
    if (minus % 2 == 1) return Unary(Op::kNegate, std::move(operand));
    return operand;
  }

  NodePtr Primary() {
    if (failed_) return nullptr;
    switch (tok_.kind) {
      case TokenKind::kOpenParen: {
        Advance();
        NodePtr inner = Expression();
        if (!inner) return nullptr;
        if (tok_.kind != TokenKind::kCloseParen) return Fail(CompileFailure::Kind::kParse);
        Advance();
        return inner;
      }
      case TokenKind::kInteger: {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::kConstant;
        n->cls = ValueClass::kInteger;
        n->integer = tok_.integer;
        Advance();
        return n;
      }
      case TokenKind::kReal: {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::kConstant;
        n->cls = ValueClass::kReal;
        n->real = tok_.real;
        Advance();
        return n;
      }
      case TokenKind::kString: {
        NodePtr n = MakeStringConstant(std::move(tok_.text));
        Advance();
        return n;
      }
      case TokenKind::kPicture: {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::kPicture;
        n->cls = ValueClass::kPicture;
        n->text = std::move(tok_.text);
        n->picture = std::make_shared<const Picture>(CompilePicture(n->text));
        Advance();
        return n;
      }
      case TokenKind::kName:
        return Named();
      default:
        return Fail(CompileFailure::Kind::kParse);
    }
  }

  NodePtr Named() {
    const NameEntry* entry = LookupName(tok_.text);
    if (!entry) {
      std::string message = "No BIND on variable (" + tok_.text + ")";
      PostErrorText(err::kNoBind, message);
      return Fail(CompileFailure::Kind::kUnknownName, tok_.text);
    }
    if (entry->kind == EntryKind::kKeyword) return Fail(CompileFailure::Kind::kParse);
    if (entry->kind == EntryKind::kFunction) return Call(*entry);
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::kVariable;
    n->cls = entry->cls;
    n->variable = entry->variable;
    Advance();
    if (tok_.kind == TokenKind::kOpenBracket) return Subscripts(std::move(n));
    return n;
  }

  // name "(" [argument {"," argument}] ")": an argument left out (before a "," or the ")") is
  // an empty slot; more arguments than the function takes is an error.
  NodePtr Call(const NameEntry& entry) {
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::kFunction;
    n->cls = entry.cls;
    n->function = entry.function;
    n->procedure = entry.procedure;
    const int max_args = entry.max_args;
    Advance();
    if (tok_.kind != TokenKind::kOpenParen) return Fail(CompileFailure::Kind::kParse);
    Advance();
    if (tok_.kind == TokenKind::kCloseParen) {
      Advance();
      return n;
    }
    while (true) {
      if (static_cast<int>(n->args.size()) >= max_args) return Fail(CompileFailure::Kind::kParse);
      if (IsOp(Op::kComma) || tok_.kind == TokenKind::kCloseParen) {
        n->args.push_back(nullptr);
      } else {
        NodePtr arg = Expression();
        if (!arg) return nullptr;
        n->depth = std::max(n->depth, arg->depth + 1);
        n->args.push_back(std::move(arg));
      }
      if (IsOp(Op::kComma)) {
        Advance();
        continue;
      }
      if (tok_.kind != TokenKind::kCloseParen) return Fail(CompileFailure::Kind::kParse);
      Advance();
      break;
    }
    if (n->depth > kMaxTreeDepth) return Fail(CompileFailure::Kind::kTooDeep);
    return n;
  }

  // "[" index {"," index} [":" end] "]". Subscripts address characters of a string value; a
  // ":" turns the last index into the start of a slice.
  NodePtr Subscripts(NodePtr base) {
    if (base->cls != ValueClass::kString) return Fail(CompileFailure::Kind::kParse);
    Advance();
    while (true) {
      NodePtr index = Expression();
      if (!index) return nullptr;
      if (IsOp(Op::kColon)) {
        Advance();
        NodePtr end = Expression();
        if (!end) return nullptr;
        auto slice = std::make_unique<Node>();
        slice->kind = NodeKind::kOperator;
        slice->op = Op::kSlice;
        slice->cls = ValueClass::kString;
        slice->depth = 1 + std::max({base->depth, index->depth, end->depth});
        slice->args.push_back(std::move(base));
        slice->args.push_back(std::move(index));
        slice->args.push_back(std::move(end));
        if (slice->depth > kMaxTreeDepth) return Fail(CompileFailure::Kind::kTooDeep);
        base = std::move(slice);
        if (tok_.kind != TokenKind::kCloseBracket) return Fail(CompileFailure::Kind::kParse);
        break;
      }
      base = Binary(Op::kSubscript, std::move(base), std::move(index));
      if (!base) return nullptr;
      base->cls = ValueClass::kString;
      if (IsOp(Op::kComma)) {
        Advance();
        continue;
      }
      if (tok_.kind != TokenKind::kCloseBracket) return Fail(CompileFailure::Kind::kParse);
      break;
    }
    Advance();
    return base;
  }

  Scanner scanner_;
  CompileFailure* why_;
  Token tok_;
  bool failed_ = false;
  int nesting_ = 0;
};

}  // namespace

std::unique_ptr<Node> MakeStringConstant(std::string text) {
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kConstant;
  n->cls = ValueClass::kString;
  n->text = std::move(text);
  return n;
}

std::unique_ptr<Node> Parse(std::string_view text, CompileFailure* why) {
  EnsureErrorTexts();
  Parser parser(text, why);
  return parser.Run();
}

std::vector<std::unique_ptr<Node>> ParseList(std::string_view text, CompileFailure* why) {
  EnsureErrorTexts();
  Parser parser(text, why);
  return parser.RunList();
}

}  // namespace pellucor::runtime::expr::detail
