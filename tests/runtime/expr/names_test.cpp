// Name binding, lookups without regard to case, scopes with visible and hidden outer names,
// ClearBindings, bound procedures, and the evaluator's errors 800, 801, 802 and 406.
#include <vector>

#include "runtime/core/fatal.h"
#include "tests/runtime/expr/expr_test_util.h"

namespace pellucor::runtime::expr::testing {
namespace {

using NamesTest = ExprTest;

TEST_F(NamesTest, NamesMatchWithoutRegardToCase) {
  char done = 'Y';
  BIND("sno:done", TypeCode::kString, &done, 1);
  EXPECT_EQ(Str("SNO:DONE"), "Y");
  EXPECT_EQ(Str("Sno:Done"), "Y");
  EXPECT_EQ(Str("upper(sno:done) & Clip('a  ')"), "Ya");
}

TEST_F(NamesTest, BindCutsTheNameAtItsFirstForeignCharacter) {
  int32_t a = 1;
  int32_t b = 2;
  int32_t c = 3;
  BIND("total$ and more", TypeCode::kLong, &a, 4);
  BIND("x:y_1 = 4", TypeCode::kLong, &b, 4);
  BIND(std::string(150, 'n'), TypeCode::kLong, &c, 4);
  EXPECT_EQ(Int("total$"), 1);
  EXPECT_EQ(Int("X:Y_1"), 2);
  EXPECT_FALSE(Compiles("total"));
  EXPECT_EQ(Int(std::string(100, 'n')), 3);  // at most 100 characters are read
  EXPECT_FALSE(Compiles(std::string(150, 'n')));
}

TEST_F(NamesTest, RebindingReplacesTheEntry) {
  int32_t first = 1;
  int32_t second = 2;
  BIND("v", TypeCode::kLong, &first, 4);
  auto old_tree = Compile("v");
  BIND("v", TypeCode::kLong, &second, 4);
  EXPECT_EQ(Int("v"), 2);
  ASSERT_TRUE(old_tree);
  EXPECT_EQ(EvaluateInteger(*old_tree), 1);  // a tree keeps the variable it was built with
}

TEST_F(NamesTest, UnknownNamePosts801WithTheName) {
  ClearError();
  EXPECT_FALSE(Compiles("1 + nosuch:name"));
  EXPECT_EQ(ErrorCode(), 801);
  EXPECT_EQ(Errors().text, "No BIND on variable (nosuch:name)");
  // The text is cut to 79 characters.
  EXPECT_FALSE(Compiles(std::string(90, 'q')));
  EXPECT_EQ(Errors().text.size(), 79u);
}

TEST_F(NamesTest, ScopesSeeOuterNamesUnlessHidden) {
  int32_t outer = 1;
  int32_t inner = 2;
  BIND("outer", TypeCode::kLong, &outer, 4);
  PUSHSCOPE(OuterNames::kVisible);
  BIND("inner", TypeCode::kLong, &inner, 4);
  EXPECT_EQ(Int("outer + inner"), 3);
  EXPECT_EQ(Int("LEN('ab')"), 2);  // every scope has the built-ins
  PUSHSCOPE(OuterNames::kHidden);
  EXPECT_FALSE(Compiles("inner"));
  EXPECT_FALSE(Compiles("outer"));
  EXPECT_EQ(Int("LEN('abc')"), 3);
  // A hidden scope also shadows: a name of its own wins.
  int32_t shadow = 7;
  BIND("outer", TypeCode::kLong, &shadow, 4);
  EXPECT_EQ(Int("outer"), 7);
  POPSCOPE();
  EXPECT_EQ(Int("outer + inner"), 3);
  auto tree = Compile("inner * 10");
  POPSCOPE();
  EXPECT_FALSE(Compiles("inner"));
  EXPECT_EQ(Int("outer"), 1);
  // A tree stays sound after the scope of its names is gone.
  ASSERT_TRUE(tree);
  EXPECT_EQ(EvaluateInteger(*tree), 20);
  EXPECT_EQ(ScopeDepth(), 0u);
}

TEST_F(NamesTest, NestedVisibleScopesSearchNewestFirst) {
  int32_t a = 1;
  int32_t b = 2;
  int32_t c = 3;
  BIND("n", TypeCode::kLong, &a, 4);
  PUSHSCOPE();
  BIND("n", TypeCode::kLong, &b, 4);
  PUSHSCOPE();
  PUSHSCOPE();  // scopes that never bind anything are passed over
  EXPECT_EQ(Int("n"), 2);
  BIND("n", TypeCode::kLong, &c, 4);
  EXPECT_EQ(Int("n"), 3);
  POPSCOPE();
  POPSCOPE();
  EXPECT_EQ(Int("n"), 2);
  POPSCOPE();
  EXPECT_EQ(Int("n"), 1);
}

TEST_F(NamesTest, ClearBindingsDiscardsTheCurrentTableOnly) {
  int32_t a = 5;
  BIND("a", TypeCode::kLong, &a, 4);
  PUSHSCOPE();
  int32_t b = 6;
  BIND("b", TypeCode::kLong, &b, 4);
  ClearBindings();
  EXPECT_FALSE(Compiles("b"));
  EXPECT_EQ(Int("a + LEN('x')"), 6);  // built-ins come back with the rebuilt table
  POPSCOPE();
  ClearBindings();
  EXPECT_FALSE(Compiles("a"));
  EXPECT_EQ(Int("ABS(-2)"), 2);
}

TEST_F(NamesTest, PopWithoutPushIsFatal802) {
  auto previous = SetHaltHook(HaltHookThrows());
  try {
    POPSCOPE();
    ADD_FAILURE() << "POPSCOPE returned";
  } catch (const HaltException& e) {
    EXPECT_EQ(e.code, 802);
    EXPECT_EQ(e.text, "Mismatched PUSHSCOPE/POPSCOPE : Mismatched POPSCOPE");
  }
  SetHaltHook(previous);
}

TEST_F(NamesTest, BoundProceduresTakeTheirArgumentsLastToFirst) {
  std::vector<std::string> order;
  BIND(
      "note",
      [&order](std::span<const Value> args) {
        order.push_back(args[0].AsText());
        return Value::Text("");
      },
      1, ValueClass::kString);
  BIND(
      "join3",
      [](std::span<const Value> args) {
        std::string s;
        for (const Value& v : args) s += v.omitted ? "_" : v.AsText();
        return Value::Text(s);
      },
      3, ValueClass::kString);
  BIND(
      "half", [](std::span<const Value> args) { return Value::Real(args[0].AsReal() / 2); }, 1,
      ValueClass::kInteger);
  EXPECT_EQ(Str("join3(note('a'), note('b'), note('c'))"), "");
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), order);
  EXPECT_EQ(Str("join3(1,,2.5)"), "1_2.5");
  EXPECT_EQ(Str("join3()"), "");
  EXPECT_FALSE(Compiles("join3(1,2,3,4)"));
  // The result is taken in the class the procedure was bound with.
  EXPECT_EQ(Str("half(7)"), "3");
  EXPECT_EQ(Int("half(7) = 3"), 1);
}

TEST_F(NamesTest, EvaluateReportsBadTextWith800) {
  PostErrorWithSystem(33, 0);
  EXPECT_EQ(EVALUATE("1 + 2"), "3");
  EXPECT_EQ(ErrorCode(), 0);  // the pending error was cleared first
  EXPECT_EQ(EVALUATE("1 +"), "");
  EXPECT_EQ(ErrorCode(), 800);
  EXPECT_EQ(Errors().text, "Invalid expression for EVALUATE");
  EXPECT_EQ(EVALUATE("unbound_name"), "");
  EXPECT_EQ(ErrorCode(), 800);
  EXPECT_EQ(EVALUATE("UPPER('abc') & SUB('xyz',2,1)"), "ABCy");
}

TEST_F(NamesTest, ErrorTextsAreRegistered) {
  (void)EVALUATE("1");
  EXPECT_EQ(ErrorTableText(406), "No return value from function");
  EXPECT_EQ(ErrorTableText(800), "Invalid expression for EVALUATE");
  EXPECT_EQ(ErrorTableText(801), "No BIND on variable");
  EXPECT_EQ(ErrorTableText(802), "Mismatched PUSHSCOPE/POPSCOPE");
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
