#include "runtime/expr/expression.h"

#include "runtime/core/error_state.h"
#include "runtime/expr/eval.h"
#include "runtime/expr/name_table.h"
#include "runtime/expr/parser.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime::expr {

Value Value::Integer(int32_t v) {
  Value r;
  r.cls = ValueClass::kInteger;
  r.integer = v;
  return r;
}
Value Value::Real(double v) {
  Value r;
  r.cls = ValueClass::kReal;
  r.real = v;
  return r;
}
Value Value::Text(std::string v) {
  Value r;
  r.cls = ValueClass::kString;
  r.text = std::move(v);
  return r;
}

int32_t Value::AsInteger() const {
  switch (cls) {
    case ValueClass::kInteger:
      return integer;
    case ValueClass::kReal:
      return RealToInteger(real);
    default:
      return TextToInteger(text);
  }
}
double Value::AsReal() const {
  switch (cls) {
    case ValueClass::kInteger:
      return integer;
    case ValueClass::kReal:
      return real;
    default:
      return TextToReal(text);
  }
}
std::string Value::AsText() const {
  switch (cls) {
    case ValueClass::kInteger:
      return IntegerText(integer);
    case ValueClass::kReal:
      return RealText(real);
    default:
      return text;
  }
}

Expression::Expression(std::unique_ptr<detail::Node> root) : root_(std::move(root)) {}
Expression::~Expression() = default;

ValueClass Expression::ResultClass() const {
  return root_->cls;
}

const detail::Node& Expression::Keep(std::unique_ptr<detail::Node> node) const {
  if (!extras_) extras_ = std::make_unique<detail::Extras>();
  // A view analysed again at every start asks for the same bounds: hand out the node it kept.
  for (const auto& kept : extras_->kept)
    if (kept->kind == node->kind && kept->cls == node->cls && kept->text == node->text &&
        kept->integer == node->integer)
      return *kept;
  extras_->kept.push_back(std::move(node));
  return *extras_->kept.back();
}

std::unique_ptr<Expression> CompileExpression(std::string_view text, CompileFailure* why) {
  if (why) *why = CompileFailure{};
  std::unique_ptr<detail::Node> root = detail::Parse(text, why);
  if (!root) return nullptr;
  return std::make_unique<Expression>(std::move(root));
}

std::vector<std::unique_ptr<Expression>> CompileExpressionList(std::string_view text,
                                                               CompileFailure* why) {
  if (why) *why = CompileFailure{};
  std::vector<std::unique_ptr<Expression>> trees;
  for (auto& root : detail::ParseList(text, why))
    trees.push_back(std::make_unique<Expression>(std::move(root)));
  return trees;
}

bool EvaluateBoolean(const Expression& tree) {
  return detail::EvalTruth(tree.Root());
}

std::string EvaluateString(const Expression& tree) {
  detail::TextBuf t;
  detail::EvalText(tree.Root(), t);
  if (t.owned) return std::move(t.own);
  return std::string(t.view);
}

int32_t EvaluateInteger(const Expression& tree) {
  return detail::EvalInteger(tree.Root());
}
double EvaluateReal(const Expression& tree) {
  return detail::EvalReal(tree.Root());
}

std::string EVALUATE(std::string_view text) {
  detail::EnsureErrorTexts();
  ClearError();
  std::unique_ptr<Expression> tree = CompileExpression(text);
  if (!tree) {
    PostErrorWithSystem(err::kInvalidEvaluate, 0);
    return {};
  }
  return EvaluateString(*tree);
}

}  // namespace pellucor::runtime::expr
