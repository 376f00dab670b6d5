// Inside the query: a field's values read as terms (operator, value, case), written back, and
// turned into filter text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/query/query_manager.h"

namespace pellucor::framework::query_detail {

enum class QueryOp : uint8_t {
  kNone,  // no term
  kContains,
  kBegins,
  kEqual,
  kNotEqual,
  kLess,
  kGreater,
  kLessEqual,
  kGreaterEqual,
};

struct QueryTerm {
  QueryOp op = QueryOp::kNone;
  std::string value;
  bool nocase = false;
  friend bool operator==(const QueryTerm&, const QueryTerm&) = default;
};

// The operators the query dialog offers, in its order, with their titles.
inline constexpr std::array<QueryOp, 6> kDialogOperators = {
    QueryOp::kContains, QueryOp::kBegins,    QueryOp::kNotEqual,
    QueryOp::kEqual,    QueryOp::kLessEqual, QueryOp::kGreaterEqual};
// "Contains", "Begins", "NOT =", "=", "<=", ">=", and "<" and ">" for values set otherwise.
[[nodiscard]] std::string_view OperatorTitle(QueryOp op);

// MIDDLE read as a term. Blanks around the operator and the STRING padding at the end are not
// part of the value. Empty, "^" or a lone "*" give no term.
[[nodiscard]] QueryTerm ParseMiddle(std::string_view middle);
// LOW (kLow: ">=") or HIGH (kHigh: "<="): a value with an optional leading "^".
[[nodiscard]] QueryTerm ParseBound(std::string_view bound, QueryPart part);
// The terms written back: ParseMiddle(ComposeMiddle(t)) == t for every term the dialog makes.
[[nodiscard]] std::string ComposeMiddle(const QueryTerm& term);
[[nodiscard]] std::string ComposeBound(const QueryTerm& term);

// Whether the field's picture marks text ("S" first, in either case).
[[nodiscard]] bool IsTextField(const QueryField& field);

// The filter text of one term of `field`, "" for no term.
[[nodiscard]] std::string TermText(const QueryField& field, const QueryTerm& term);
// Every field's terms (LOW, MIDDLE, HIGH) joined with " AND ".
[[nodiscard]] std::string FilterText(const std::vector<QueryField>& fields);

// Names compared as the expression language compares them: without regard to case.
[[nodiscard]] bool SameName(std::string_view a, std::string_view b);
// Without blanks at either end.
[[nodiscard]] std::string_view Trim(std::string_view text);

}  // namespace pellucor::framework::query_detail
