// The expression evaluator: compiles texts such as
//   (sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')
// into trees once and evaluates them many times against program variables bound to names
// beforehand. Besides values, a tree answers which key ranges it implies (for the VIEW engine's
// key scans) and prints itself as an SQL-like condition for drivers that accept one.
//
// Names live in name tables, one per bind scope. The current table and the stack of saved scopes
// are process-wide and unguarded: compile and bind from one thread at a time (the run lock's
// holder). Evaluating a finished tree reads only the variables it names.
//
// A tree keeps its bound variables alive by reference counting of the binding, so a tree may
// outlive the scope whose names it used; the variables' own storage must outlive the tree.
//
// Errors: a text that does not scan or parse compiles to nothing and posts nothing; an unknown
// name posts 801 "No BIND on variable (name)"; EVALUATE of a bad text posts 800; POPSCOPE with
// nothing saved is the fatal error 802.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/type_codes.h"

namespace pellucor::runtime::expr {

namespace err {
inline constexpr int32_t kNoReturnValue = 406;    // "No return value from function" (fatal)
inline constexpr int32_t kInvalidEvaluate = 800;  // "Invalid expression for EVALUATE"
inline constexpr int32_t kNoBind = 801;           // "No BIND on variable"
inline constexpr int32_t kMismatchedScope = 802;  // "Mismatched PUSHSCOPE/POPSCOPE" (fatal)
}  // namespace err

// The class of a node's value, fixed when the node is built. Integer is a 32-bit LONG, real a
// double, picture a picture token held as text, string a text.
enum class ValueClass : uint8_t { kInteger = 1, kReal = 2, kPicture = 3, kString = 4 };

// Operator codes, shared by the scanner, parser, evaluator and printers.
enum class Op : uint8_t {
  kSubscript = 0,
  kSlice = 1,
  kPower = 2,
  kMultiply = 3,
  kDivide = 4,
  kModulus = 5,
  kNegate = 6,
  kAdd = 7,
  kSubtract = 8,
  kConcat = 9,
  kEqual = 10,
  kNotEqual = 11,
  kLess = 12,
  kGreater = 13,
  kLessEqual = 14,
  kGreaterEqual = 15,
  kNot = 16,
  kAnd = 17,
  kOr = 18,
  kXor = 19,
  kComma = 20,  // parser only
  kColon = 21,  // parser only
};

// A value handed to and returned by a bound procedure.
struct Value {
  ValueClass cls = ValueClass::kString;
  int32_t integer = 0;
  double real = 0.0;
  std::string text;
  bool omitted = false;  // an argument slot the caller left empty

  static Value Integer(int32_t v);
  static Value Real(double v);
  static Value Text(std::string v);

  // Conversions between the classes follow the runtime's value rules (text reads as a number
  // from its first 40 characters; reals truncate toward zero).
  [[nodiscard]] int32_t AsInteger() const;
  [[nodiscard]] double AsReal() const;
  [[nodiscard]] std::string AsText() const;
};

// A procedure that expressions may call like a built-in. Arguments arrive in call order (they
// are evaluated from the last to the first); the result is taken in the class given at BIND.
using BoundProcedure = std::function<Value(std::span<const Value> arguments)>;

// Name binding. The stored name is the text cut at the first character that is not a letter,
// digit, "_" or ":" (so "sno:done" is one name), keeping one trailing "#", "$" or '"'; at most
// 100 characters are read. Binding a name that the current table holds replaces that entry.
//
// A variable of the given type at `address` (size in bytes; places for DECIMAL and PDECIMAL).
// REQUIRES: the storage stays valid while a tree or table refers to it.
void BIND(std::string_view name, TypeCode type, void* address, uint32_t size, uint8_t places = 0);
void BIND(std::string_view name, BoundProcedure procedure, int argument_count,
          ValueClass result_class);
// Discards the current scope's table (bindings and its copy of the built-ins).
void ClearBindings();
enum class OuterNames : uint8_t { kHidden, kVisible };
// Saves the current table and starts an empty one; with kHidden, lookups stop at this scope.
void PUSHSCOPE(OuterNames outer = OuterNames::kVisible);
// Discards the current table and makes the most recently saved one current again. With nothing
// saved: fatal error 802.
void POPSCOPE();
// Number of saved scopes (0 at the outermost).
[[nodiscard]] size_t ScopeDepth();

namespace detail {
struct Node;
struct Extras;
}  // namespace detail

// A compiled tree. Owned by the caller of CompileExpression.
class Expression {
 public:
  explicit Expression(std::unique_ptr<detail::Node> root);
  ~Expression();
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  [[nodiscard]] ValueClass ResultClass() const;
  [[nodiscard]] const detail::Node& Root() const { return *root_; }
  // Nodes made for the key-range analysis (bounds derived from prefix tests); kept with the
  // tree so that the operands handed to a receiver live as long as the tree. An equal constant
  // kept before is handed out again, so analysing a tree repeatedly does not grow it.
  const detail::Node& Keep(std::unique_ptr<detail::Node> node) const;

 private:
  std::unique_ptr<detail::Node> root_;
  mutable std::unique_ptr<detail::Extras> extras_;
};

// Why a compile failed, for callers that show it (a browse's filter error, a tool).
struct CompileFailure {
  enum class Kind : uint8_t { kNone, kScan, kParse, kUnknownName, kTooDeep };
  Kind kind = Kind::kNone;
  size_t offset = 0;  // position in the text where compiling stopped
  std::string name;   // the unknown name (kUnknownName)
};

// The tree of `text`, or nothing when the text does not scan or parse, names an unknown name
// (posting 801) or nests deeper than the compiler allows. The whole text must be consumed.
[[nodiscard]] std::unique_ptr<Expression> CompileExpression(std::string_view text,
                                                            CompileFailure* why = nullptr);

// A comma-separated list of expressions, such as a sort order "+sno:done,-sno:notedate": one
// tree per item, or an empty list when any item fails to compile (as CompileExpression).
[[nodiscard]] std::vector<std::unique_ptr<Expression>> CompileExpressionList(
    std::string_view text, CompileFailure* why = nullptr);

// The value of a tree in the class asked for. The truth of an integer or real is "not zero", of
// a text "its length is not zero".
[[nodiscard]] bool EvaluateBoolean(const Expression& tree);
[[nodiscard]] std::string EvaluateString(const Expression& tree);
[[nodiscard]] int32_t EvaluateInteger(const Expression& tree);
[[nodiscard]] double EvaluateReal(const Expression& tree);

// Compiles `text`, evaluates it as a string and discards the tree. A pending error is cleared
// first; a text that does not compile gives '' and posts 800.
[[nodiscard]] std::string EVALUATE(std::string_view text);

// ---- Key-range analysis --------------------------------------------------------------------

// What a tree is known to give before any record is read.
enum class Truth3 : uint8_t { kAlwaysTrue = 0, kAlwaysFalse = 1, kDepends = 2 };

// A subtree that bounds a key component, valid while its tree lives. Its value may depend on
// the key's earlier components (whose fields the key scan fills first), never on the bounded one.
class Operand {
 public:
  explicit Operand(const detail::Node& node) : node_(&node) {}
  [[nodiscard]] ValueClass Class() const;
  [[nodiscard]] bool IsConstant() const;  // names no variable and calls nothing variable
  [[nodiscard]] int32_t Integer() const;
  [[nodiscard]] double Real() const;
  [[nodiscard]] std::string Text() const;

 private:
  const detail::Node* node_;
};

// Answers of KeyRangeReceiver::ComponentOf besides a component number.
inline constexpr int kNotInRecord = -1;         // a variable the scan does not change
inline constexpr int kOtherField = 0x7fffffff;  // a field of the record outside the key

class KeyRangeReceiver {
 public:
  virtual ~KeyRangeReceiver() = default;
  // The key component (0 the leading one) that the variable bound at `address` stands for;
  // kOtherField for any other field of the records read, kNotInRecord for a variable that
  // keeps its value during the scan (a program variable). An operand may bound a component only
  // when every variable it names answers kNotInRecord or an earlier component.
  [[nodiscard]] virtual int ComponentOf(const void* address) const = 0;
  // One bound on the analysed component: component `op` operand, op one of kEqual, kLess,
  // kGreater, kLessEqual, kGreaterEqual (already mirrored when the component stood on the right).
  virtual void Bound(Op op, const Operand& operand) = 0;
  // True when the key orders this component without regard to case; UPPER(field) then bounds
  // the component as the field itself does (the query form wraps case-insensitive terms so).
  [[nodiscard]] virtual bool IgnoresCase(int /*component*/) const { return false; }
};

// Reports the bounds that `tree` sets on key component `component` and says whether the tree is
// known true, known false or record-dependent. Only AND passes the analysis on; <> and every
// other node set no bound. A prefix test SUB(field, 1, n) = 'text' with n the length of the text
// bounds the field from 'text' to 'text' followed by the highest-sorting character. A missing
// tree (a view without a filter) gives kDepends.
Truth3 KeyRangeAnalysis(const Expression* tree, KeyRangeReceiver& receiver, int component);

// ---- SQL-like text -------------------------------------------------------------------------

class SqlPrinter {
 public:
  virtual ~SqlPrinter() = default;
  // The name a driver knows a bound variable by; by default the name it was bound under.
  [[nodiscard]] virtual std::string FieldName(std::string_view bound_name,
                                              const void* address) const;
  // Literals for a constant compared with a DATE or TIME field; by default the number.
  [[nodiscard]] virtual std::string DateLiteral(int32_t day_number) const;
  [[nodiscard]] virtual std::string TimeLiteral(int32_t time_value) const;
};

enum class SqlForm : uint8_t { kCondition, kSortList };
// The tree as an SQL-like condition. In a sort list a negated field is written "field DESC".
[[nodiscard]] std::string SqlText(const Expression& tree, const SqlPrinter& printer,
                                  SqlForm form = SqlForm::kCondition);

// The highest nesting of brackets and operators a text may have; deeper texts fail to compile
// rather than exhaust the stack.
inline constexpr int kMaxNesting = 200;
// Longest text a string operation builds; lengths asked for beyond it are cut to it.
inline constexpr size_t kMaxStringLength = 65535;

}  // namespace pellucor::runtime::expr
