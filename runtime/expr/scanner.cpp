#include "runtime/expr/scanner.h"

#include <cctype>
#include <cstdlib>
#include <limits>

#include "runtime/expr/name_table.h"

namespace pellucor::runtime::expr::detail {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

Token Make(TokenKind kind, size_t offset) {
  Token t;
  t.kind = kind;
  t.offset = offset;
  return t;
}

Token MakeOp(Op op, size_t offset) {
  Token t = Make(TokenKind::kOperator, offset);
  t.op = op;
  return t;
}

}  // namespace

Token Scanner::Next() {
  while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  const size_t start = pos_;
  if (pos_ >= text_.size()) return Make(TokenKind::kEnd, start);
  const char c = text_[pos_];
  const auto uc = static_cast<unsigned char>(c);

  if (IsNameLetter(uc) || c == '_' || c == '?') {
    size_t end = pos_ + 1;
    while (end < text_.size()) {
      const auto d = static_cast<unsigned char>(text_[end]);
      if (!(IsNameLetter(d) || IsDigit(text_[end]) || d == '_' || d == ':')) break;
      ++end;
    }
    if (end < text_.size() && (text_[end] == '#' || text_[end] == '$' || text_[end] == '"')) ++end;
    Token t = Make(TokenKind::kName, start);
    t.text = std::string(text_.substr(start, end - start));
    pos_ = end;
    return t;
  }
  if (IsDigit(c) || c == '.') return Number(start);
  if (c == '\'') return Quoted(start);
  if (c == '@') return PictureToken(start);

  ++pos_;
  switch (c) {
    case '+':
      return MakeOp(Op::kAdd, start);
    case '-':
      return MakeOp(Op::kSubtract, start);
    case '*':
      return MakeOp(Op::kMultiply, start);
    case '/':
      return MakeOp(Op::kDivide, start);
    case '%':
      return MakeOp(Op::kModulus, start);
    case '^':
      return MakeOp(Op::kPower, start);
    case '&':
      return MakeOp(Op::kConcat, start);
    case '=':
      return MakeOp(Op::kEqual, start);
    case '<':
      return MakeOp(Op::kLess, start);
    case '>':
      return MakeOp(Op::kGreater, start);
    case '~':
      return MakeOp(Op::kNot, start);
    case ',':
      return MakeOp(Op::kComma, start);
    case ':':
      return MakeOp(Op::kColon, start);
    case '(':
      return Make(TokenKind::kOpenParen, start);
    case ')':
      return Make(TokenKind::kCloseParen, start);
    case '[':
      return Make(TokenKind::kOpenBracket, start);
    case ']':
      return Make(TokenKind::kCloseBracket, start);
    default:
      break;
  }
  pos_ = start;
  return Make(TokenKind::kError, start);
}

// Digits alone are an integer; a point followed by digits makes a real, which may carry an
// exponent. The real is the digit string read as a whole number scaled by ten to the power
// (exponent - fraction digits); strtod gives that value correctly rounded.
Token Scanner::Number(size_t start) {
  size_t p = start;
  while (p < text_.size() && IsDigit(text_[p])) ++p;

  bool is_real = false;
  if (p < text_.size() && text_[p] == '.') {
    if (p + 1 >= text_.size() || !IsDigit(text_[p + 1])) {
      pos_ = start;
      return Make(TokenKind::kError, p);
    }
    is_real = true;
    ++p;
    while (p < text_.size() && IsDigit(text_[p])) ++p;
    if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
      size_t q = p + 1;
      if (q < text_.size() && (text_[q] == '+' || text_[q] == '-')) ++q;
      if (q < text_.size() && IsDigit(text_[q])) {
        while (q < text_.size() && IsDigit(text_[q])) ++q;
        p = q;
      }
    }
  }
  pos_ = p;
  const std::string digits(text_.substr(start, p - start));
  if (!is_real) {
    // A whole number too large for a LONG keeps its value as a real instead of wrapping.
    const double value = std::strtod(digits.c_str(), nullptr);
    if (value <= std::numeric_limits<int32_t>::max()) {
      Token t = Make(TokenKind::kInteger, start);
      t.integer = static_cast<int32_t>(value);
      return t;
    }
    Token t = Make(TokenKind::kReal, start);
    t.real = value;
    return t;
  }
  Token t = Make(TokenKind::kReal, start);
  t.real = std::strtod(digits.c_str(), nullptr);
  return t;
}

Token Scanner::Quoted(size_t start) {
  std::string value;
  size_t p = start + 1;
  while (true) {
    if (p >= text_.size()) {
      pos_ = start;
      return Make(TokenKind::kError, start);
    }
    if (text_[p] == '\'') {
      if (p + 1 < text_.size() && text_[p + 1] == '\'') {
        value.push_back('\'');
        p += 2;
        continue;
      }
      ++p;
      break;
    }
    value.push_back(text_[p]);
    ++p;
  }
  pos_ = p;
  Token t = Make(TokenKind::kString, start);
  t.text = std::move(value);
  return t;
}

// A picture runs to the first blank, "," or ")" outside its own parentheses. In a numeric
// picture "~" brackets a currency text in which those characters do not end it; a pattern
// (@P...P) or key-in (@K...K) picture runs to its closing letter. A directly following "B"
// (blank when zero) belongs to the picture.
Token Scanner::PictureToken(size_t start) {
  size_t p = start + 1;
  const char kind = p < text_.size()
                        ? static_cast<char>(std::toupper(static_cast<unsigned char>(text_[p])))
                        : '\0';
  if (kind == 'P' || kind == 'K') {
    size_t q = p + 1;
    while (q < text_.size() && std::toupper(static_cast<unsigned char>(text_[q])) != kind) ++q;
    if (q >= text_.size()) {
      pos_ = start;
      return Make(TokenKind::kError, start);
    }
    p = q + 1;
    if (p < text_.size() && (text_[p] == 'B' || text_[p] == 'b')) ++p;
  } else {
    int depth = 0;
    bool quoted = false;
    while (p < text_.size()) {
      const char c = text_[p];
      if (kind == 'N' && c == '~') {
        quoted = !quoted;
      } else if (!quoted) {
        if (c == '(') {
          ++depth;
        } else if (c == ')') {
          if (depth == 0) break;
          --depth;
        } else if (depth == 0 && (c == ' ' || c == ',' || c == '\t')) {
          break;
        }
      }
      ++p;
    }
  }
  pos_ = p;
  Token t = Make(TokenKind::kPicture, start);
  t.text = std::string(text_.substr(start, p - start));
  return t;
}

}  // namespace pellucor::runtime::expr::detail
