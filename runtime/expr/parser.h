// The parser: builds a tree from the scanner's tokens, one function per precedence level,
// lowest first (OR/XOR, AND, NOT, comparisons, &, + -, * / %, ^, signs, primaries). Every
// binary level is left-associative.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "runtime/expr/node.h"

namespace pellucor::runtime::expr::detail {

// Deepest tree a compile builds; left-associative chains deepen a tree without nesting, and
// evaluation recurses once per level.
inline constexpr int kMaxTreeDepth = 1000;

std::unique_ptr<Node> Parse(std::string_view text, CompileFailure* why);
// A comma-separated list of expressions (a sort order); empty when any item fails.
std::vector<std::unique_ptr<Node>> ParseList(std::string_view text, CompileFailure* why);

// Node helpers shared with the key-range analysis.
std::unique_ptr<Node> MakeStringConstant(std::string text);

}  // namespace pellucor::runtime::expr::detail
