// Helpers shared by the evaluator's tests: every test starts from an empty outermost scope.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"

namespace pellucor::runtime::expr::testing {

class ExprTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    while (ScopeDepth() > 0) POPSCOPE();
    ClearBindings();
    ClearError();
  }

  static std::unique_ptr<Expression> Compile(std::string_view text) {
    return CompileExpression(text);
  }
  static bool Compiles(std::string_view text) { return CompileExpression(text) != nullptr; }
  // The value of a text that must compile; a failed compile fails the test.
  static std::string Str(std::string_view text) {
    auto tree = CompileExpression(text);
    EXPECT_TRUE(tree) << text;
    return tree ? EvaluateString(*tree) : "<no tree>";
  }
  static int32_t Int(std::string_view text) {
    auto tree = CompileExpression(text);
    EXPECT_TRUE(tree) << text;
    return tree ? EvaluateInteger(*tree) : -999999;
  }
  static double Real(std::string_view text) {
    auto tree = CompileExpression(text);
    EXPECT_TRUE(tree) << text;
    return tree ? EvaluateReal(*tree) : -999999.0;
  }
  static bool Truth(std::string_view text) {
    auto tree = CompileExpression(text);
    EXPECT_TRUE(tree) << text;
    return tree ? EvaluateBoolean(*tree) : false;
  }
};

}  // namespace pellucor::runtime::expr::testing
