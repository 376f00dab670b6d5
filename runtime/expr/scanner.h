// The scanner of expression texts: one token at a time, blanks and tabs skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/expr/expression.h"

namespace pellucor::runtime::expr::detail {

enum class TokenKind : uint8_t {
  kEnd,
  kInteger,
  kReal,
  kString,
  kPicture,
  kName,
  kOperator,  // op holds its code: + - * / % ^ & = < > ~ , :
  kOpenParen,
  kCloseParen,
  kOpenBracket,
  kCloseBracket,
  kError,  // the text does not scan
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Op op = Op::kAdd;
  int32_t integer = 0;
  double real = 0;
  std::string text;   // name, string constant (quotes resolved), picture text
  size_t offset = 0;  // where the token starts in the text
};

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  Token Next();
  [[nodiscard]] size_t Offset() const { return pos_; }

 private:
  Token Number(size_t start);
  Token Quoted(size_t start);
  Token PictureToken(size_t start);

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace pellucor::runtime::expr::detail
