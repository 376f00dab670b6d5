// A field's values as terms, and terms as filter text.
#include "framework/query/query_terms.h"

#include <cctype>

#include "runtime/core/char_tables.h"
#include "runtime/locale/picture.h"

namespace pellucor::framework::query_detail {

namespace {

constexpr std::string_view kUpperCall = "UPPER(";

struct Operator {
  std::string_view text;
  QueryOp op;
};
// Two-character operators first, so that "<=" is not read as "<" followed by "=".
constexpr std::array<Operator, 6> kOperators = {{{"<>", QueryOp::kNotEqual},
                                                 {"<=", QueryOp::kLessEqual},
                                                 {">=", QueryOp::kGreaterEqual},
                                                 {"<", QueryOp::kLess},
                                                 {">", QueryOp::kGreater},
                                                 {"=", QueryOp::kEqual}}};

std::string_view OperatorText(QueryOp op) {
  for (const Operator& o : kOperators) {
    if (o.op == op) return o.text;
  }
  return {};
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// A "^" in front asks for a comparison without regard to case.
bool TakeCaret(std::string_view& s) {
  if (s.empty() || s.front() != '^') return false;
  s = TrimLeft(s.substr(1));
  return true;
}

bool StartsWithUpper(std::string_view name) {
  return name.size() >= kUpperCall.size() &&
         SameName(name.substr(0, kUpperCall.size()), kUpperCall);
}

// Upper case by the runtime's own table, as UPPER() in the filter folds the field.
std::string Upper(std::string_view text) {
  const runtime::CharTables& tables = runtime::CurrentCharTables();
  std::string out(text);
  for (char& c : out) c = static_cast<char>(tables.upper[static_cast<unsigned char>(c)]);
  return out;
}

// A string constant of the expression language: in single quotes, each quote doubled.
std::string Quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A number as the expression scanner reads one: an optional sign, digits, and a fraction.
bool IsNumber(std::string_view s) {
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  const size_t point = s.find('.');
  const std::string_view whole = s.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
  if (whole.empty() && fraction.empty()) return false;
  if (point != std::string_view::npos && fraction.empty()) return false;
  for (char c : whole) {
    if (!IsDigit(c)) return false;
  }
  for (char c : fraction) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// The compared value of a field that is not text. A number stands as it is. Other typed text
// (a date as the field shows it, "1,234.50") is read back through the field's picture. What
// still does not read as a number is compared as a string constant: written bare, it would not
// compile, or would become part of the expression.
std::string NumberText(std::string_view value, std::string_view picture) {
  value = Trim(value);
  if (value.empty()) return "0";
  if (IsNumber(value)) return std::string(value);
  bool has_digit = false;
  bool has_letter = false;
  for (char c : value) {
    has_digit = has_digit || IsDigit(c);
    has_letter = has_letter || std::isalpha(static_cast<unsigned char>(c)) != 0;
  }
  if (!picture.empty() && has_digit) {
    const runtime::Picture compiled = runtime::CompilePicture("@" + std::string(picture));
    // Reading a number keeps its digits and signs and drops the rest: only text that a number
    // can show is read so ("1,234.50", "(12)"); dates and times may hold names and AM/PM.
    const bool numeric = compiled.kind == runtime::PictureKind::kNumeric ||
                         compiled.kind == runtime::PictureKind::kScientific;
    if (compiled.valid && compiled.kind != runtime::PictureKind::kString &&
        !(numeric && has_letter)) {
      const std::string read = runtime::DEFORMAT(value, compiled);
      bool usable = IsNumber(read);
      // A date that does not read is -1 (or no date at all): not what was typed.
      if (usable && compiled.kind == runtime::PictureKind::kDate &&
          (read.front() == '-' || read == "0")) {
        usable = false;
      }
      if (usable) return read;
    }
  }
  return Quote(value);
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string_view OperatorTitle(QueryOp op) {
  switch (op) {
    case QueryOp::kContains:
      return "Contains";
    case QueryOp::kBegins:
      return "Begins";
    case QueryOp::kNotEqual:
      return "NOT =";
    case QueryOp::kNone:
      return {};
    default:
      return OperatorText(op);
  }
}

QueryTerm ParseMiddle(std::string_view middle) {
  std::string_view s = Trim(middle);
  QueryTerm term;
  term.nocase = TakeCaret(s);
  if (s.empty()) return {};
  if (s.front() == '*') {
    s = s.substr(1);
    if (!s.empty() && s.back() == '*') s.remove_suffix(1);
    term.nocase = TakeCaret(s) || term.nocase;
    if (s.empty()) return {};  // "*": anything at all, so no restriction
    term.op = QueryOp::kContains;
    term.value = std::string(s);
    return term;
  }
  for (const Operator& o : kOperators) {
    if (s.starts_with(o.text)) {
      s = TrimLeft(s.substr(o.text.size()));
      term.nocase = TakeCaret(s) || term.nocase;
      term.op = o.op;
      term.value = std::string(s);
      return term;
    }
  }
  if (s.back() == '*') {
    s.remove_suffix(1);
    if (s.empty()) return {};
    term.op = QueryOp::kBegins;
  } else {
    term.op = QueryOp::kEqual;
  }
  term.value = std::string(s);
  return term;
}

QueryTerm ParseBound(std::string_view bound, QueryPart part) {
  std::string_view s = Trim(bound);
  QueryTerm term;
  term.nocase = TakeCaret(s);
  if (s.empty()) return {};
  term.op = part == QueryPart::kHigh ? QueryOp::kLessEqual : QueryOp::kGreaterEqual;
  term.value = std::string(s);
  return term;
}

std::string ComposeMiddle(const QueryTerm& term) {
  std::string out = term.nocase ? "^" : "";
  switch (term.op) {
    case QueryOp::kNone:
      return {};
    case QueryOp::kContains:
      return out + "*" + term.value;
    case QueryOp::kBegins:
      return out + term.value + "*";
    default:
      return out + std::string(OperatorText(term.op)) + term.value;
  }
}

std::string ComposeBound(const QueryTerm& term) {
  if (term.op == QueryOp::kNone || term.value.empty()) return {};
  return (term.nocase ? "^" : "") + term.value;
}

bool IsTextField(const QueryField& field) {
  return !field.PICTURE.empty() && (field.PICTURE.front() == 'S' || field.PICTURE.front() == 's');
}

std::string TermText(const QueryField& field, const QueryTerm& term) {
  if (term.op == QueryOp::kNone) return {};
  const bool pattern = term.op == QueryOp::kContains || term.op == QueryOp::kBegins;
  if (pattern && term.value.empty()) return {};
  const bool text = IsTextField(field);
  std::string name(Trim(field.NAME));
  // A field read through UPPER() holds no lower-case letters: its values compare in upper case
  // too, or a value typed in lower case could never match.
  bool nocase = term.nocase || StartsWithUpper(name);
  if (pattern && !field.PICTURE.empty() && !text) {
    // A number or a date is searched in the text its picture shows. That text may start with
    // blanks (numbers are right-aligned), which a search for its beginning must not see.
    name = "FORMAT(" + name + ",@" + field.PICTURE + ")";
    if (term.op == QueryOp::kBegins) name = "LEFT(" + name + ")";
    nocase = true;
  }
  std::string value = term.value;
  if (nocase) {
    value = Upper(value);
    if (!StartsWithUpper(name)) name = std::string(kUpperCall) + name + ")";
  }
  switch (term.op) {
    case QueryOp::kContains:
      return "INSTRING(" + Quote(value) + "," + name + ",1,1) <> 0";
    case QueryOp::kBegins:
      return "SUB(" + name + ",1," + std::to_string(value.size()) + ") = " + Quote(value);
    default:
      return "(" + name + " " + std::string(OperatorText(term.op)) + " " +
             (text ? Quote(value) : NumberText(value, field.PICTURE)) + ")";
  }
}

std::string FilterText(const std::vector<QueryField>& fields) {
  std::string filter;
  for (const QueryField& field : fields) {
    const QueryTerm terms[] = {ParseBound(field.LOW, QueryPart::kLow), ParseMiddle(field.MIDDLE),
                               ParseBound(field.HIGH, QueryPart::kHigh)};
    for (const QueryTerm& term : terms) {
      const std::string text = TermText(field, term);
      if (text.empty()) continue;
      if (!filter.empty()) filter += " AND ";
      filter += text;
    }
  }
  return filter;
}

}  // namespace pellucor::framework::query_detail
