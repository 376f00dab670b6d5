// Grammar: precedence and associativity of every level, the two-character comparison forms,
// constants, function argument lists, subscripts and slices, and what fails to compile.
#include <string>

#include "tests/runtime/expr/expr_test_util.h"

namespace pellucor::runtime::expr::testing {
namespace {

using ParseTest = ExprTest;

TEST_F(ParseTest, BinaryLevelsGroupToTheLeft) {
  EXPECT_EQ(Int("2^3^2"), 64);    // (2^3)^2, not 2^9
  EXPECT_EQ(Int("20-5-3"), 12);   // (20-5)-3
  EXPECT_EQ(Int("100/10/5"), 2);  // (100/10)/5
  EXPECT_EQ(Int("17%5%3"), 2);    // (17%5)%3
  EXPECT_EQ(Str("'a'&'b'&'c'"), "abc");
  // a = b = c compares (a = b) with c: (1 = 1) is 1, and 1 = 1 again.
  EXPECT_EQ(Int("1 = 1 = 1"), 1);
  EXPECT_EQ(Int("2 = 2 = 2"), 0);  // (2 = 2) is 1, and 1 <> 2
  EXPECT_EQ(Int("3 > 2 > 1"), 0);  // (3 > 2) is 1, 1 > 1 is false
}

TEST_F(ParseTest, PrecedenceFromLoosestToTightest) {
  EXPECT_EQ(Int("1 + 2 * 3"), 7);
  EXPECT_EQ(Int("(1 + 2) * 3"), 9);
  EXPECT_EQ(Int("2 * 3 ^ 2"), 18);  // power binds tighter than product
  EXPECT_EQ(Int("-2 ^ 2"), 4);      // the sign binds tighter than power
  EXPECT_EQ(Int("- - 3"), 3);       // an even number of minus signs cancels
  EXPECT_EQ(Int("+ - + 3"), -3);
  EXPECT_EQ(Str("1 + 2 & 3 + 4"), "37");  // sums bind tighter than concatenation
  EXPECT_EQ(Int("'1' & '2' = '12'"), 1);  // concatenation binds tighter than comparison
  EXPECT_EQ(Int("1 = 1 AND 2 = 3"), 0);
  EXPECT_EQ(Int("1 OR 0 AND 0"), 1);  // AND binds tighter than OR
  EXPECT_EQ(Int("(1 OR 0) AND 0"), 0);
  EXPECT_EQ(Int("1 XOR 1 OR 1"), 1);  // XOR and OR share a level, left to right
  EXPECT_EQ(Int("1 OR 1 XOR 1"), 0);
}

TEST_F(ParseTest, NegationCountsAndScope) {
  // NOT a = b is NOT (a = b).
  EXPECT_EQ(Int("NOT 1 = 2"), 1);
  EXPECT_EQ(Int("~ 1 = 1"), 0);
  // Two negations give the operand itself, which is then read as a condition.
  EXPECT_EQ(Int("~~5"), 5);
  EXPECT_TRUE(Truth("~~'x'"));
  EXPECT_EQ(Int("NOT ~ NOT 0"), 1);
  EXPECT_EQ(Int("NOT 0 AND 0"), 0);  // NOT binds tighter than AND
}

TEST_F(ParseTest, TwoCharacterComparisons) {
  struct Case {
    const char* text;
    int32_t expect;
  } cases
      [] =
          {
              {"1 <> 2", 1}, {"2 <> 2", 0},  {"1 <= 1", 1}, {"2 <= 1", 0}, {"1 >= 2", 0},
              {"2 >= 2", 1}, {"1 =< 1", 1},  {"2 =< 1", 0}, {"2 => 1", 1}, {"1 => 2", 0},
              {"1 ~= 1", 0}, {"1 ~= 2", 1},  {"2 ~< 1", 1}, {"1 ~< 2", 0}, {"1 ~> 2", 1},
              {"3 ~> 2", 0}, {"1 < > 2", 1},  // blanks may stand between the two characters
          };
  for (const Case& c : cases) EXPECT_EQ(Int(c.text), c.expect) << c.text;
  // The two-character forms build the same trees as their plain spellings.
  int32_t x = 0;
  BIND("x", TypeCode::kLong, &x, 4);
  const auto same = [](const char* a, const char* b) {
    auto ta = CompileExpression(a);
    auto tb = CompileExpression(b);
    return ta && tb && SqlText(*ta, SqlPrinter()) == SqlText(*tb, SqlPrinter());
  };
  EXPECT_TRUE(same("x ~= 1", "x <> 1"));
  EXPECT_TRUE(same("x ~< 1", "x >= 1"));
  EXPECT_TRUE(same("x ~> 1", "x <= 1"));
  EXPECT_TRUE(same("x =< 1", "x <= 1"));
  EXPECT_FALSE(same("x ~< 1", "x < 1"));
  // A "~" after an operand must start a two-character operator.
  EXPECT_FALSE(Compiles("1 ~ 2"));
  EXPECT_FALSE(Compiles("1 == 2"));
  EXPECT_FALSE(Compiles("1 = ~2"));
}

TEST_F(ParseTest, Constants) {
  EXPECT_EQ(Str("'O''Brien'"), "O'Brien");
  EXPECT_EQ(Int("LEN('O''Brien')"), 7);
  EXPECT_EQ(Str("''''"), "'");
  EXPECT_EQ(Str("''"), "");
  EXPECT_DOUBLE_EQ(Real("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(Real(".5"), 0.5);
  EXPECT_DOUBLE_EQ(Real("1.5e3"), 1500);
  EXPECT_DOUBLE_EQ(Real("2.5E-2"), 0.025);
  EXPECT_DOUBLE_EQ(Real("12.0e+1"), 120);
  EXPECT_EQ(Int("2147483647"), 2147483647);
  // A whole number beyond a LONG keeps its value as a real instead of wrapping around.
  EXPECT_DOUBLE_EQ(Real("4294967296"), 4294967296.0);
  EXPECT_EQ(Str("@D17"), "@D17");
  EXPECT_EQ(Str("@N(12.2)"), "@N(12.2)");
  EXPECT_EQ(Str("@P(###) ###-####P"), "@P(###) ###-####P");
  EXPECT_EQ(Str("@N12.2b"), "@N12.2b");
  EXPECT_EQ(Str("@N~kr ~12.2"), "@N~kr ~12.2");  // a blank inside the currency text
}

TEST_F(ParseTest, ScanErrors) {
  for (const char* text : {"'open", "1.", "1.x", ".", "1 # 2", "$", "{", "@Pno end", "1 ! 2",
                           "'a' 'b'", "", "   ", "(1", "1)", "[1]", "1,2", "a:b"})
    EXPECT_FALSE(Compiles(text)) << text;
  // A syntax error posts nothing; callers decide.
  ClearError();
  EXPECT_FALSE(Compiles("1 +"));
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(ParseTest, FunctionCalls) {
  EXPECT_TRUE(Compiles("today()"));
  EXPECT_TRUE(Compiles("TODAY ( )"));
  EXPECT_FALSE(Compiles("today"));  // a function name must be followed by "("
  EXPECT_EQ(Str("SUB('abcdef',2)"), "bcdef");
  EXPECT_FALSE(Compiles("SUB('a',1,2,3)"));  // more arguments than SUB takes
  EXPECT_FALSE(Compiles("SUB('a',1"));
  EXPECT_FALSE(Compiles("today(1)"));
  EXPECT_EQ(Str("SUB('abcdef',,2)"), "ab");  // a slot left empty takes the default
  EXPECT_EQ(Int("INLIST('z','a','b','c','d','e','f','g','h','i','j','k','l','m','n','o','p',"
                "'q','r','s','t','u','v','w','z')"),
            24);
  EXPECT_FALSE(
      Compiles("INLIST('z','a','b','c','d','e','f','g','h','i','j','k','l','m','n','o',"
               "'p','q','r','s','t','u','v','w','x','y')"));  // 26 arguments
  EXPECT_FALSE(Compiles("AND(1)"));  // keywords are operators, not functions
  EXPECT_FALSE(Compiles("1 AND"));
}

TEST_F(ParseTest, SubscriptsAndSlices) {
  char text[6] = {'h', 'e', 'l', 'l', 'o', 0};
  BIND("word", TypeCode::kString, text, 5);
  int32_t number = 3;
  BIND("number", TypeCode::kLong, &number, 4);
  EXPECT_EQ(Str("word[2]"), "e");
  EXPECT_EQ(Str("word[2:4]"), "ell");
  EXPECT_EQ(Str("word[number : 5]"), "llo");
  EXPECT_FALSE(Compiles("word[number:5]"));  // a colon continues a name: "number:5"
  EXPECT_EQ(Str("word[4:9]"), "lo");         // cut to the text
  EXPECT_EQ(Str("word[4:2]"), "");
  EXPECT_EQ(Str("word[9]"), "");
  EXPECT_EQ(Int("LEN(word[1:number])"), 3);
  EXPECT_FALSE(Compiles("word[2"));
  EXPECT_FALSE(Compiles("word[2:3"));
  EXPECT_FALSE(Compiles("word[]"));
  EXPECT_FALSE(Compiles("number[1]"));  // no arrays are bound; only texts take subscripts
}

TEST_F(ParseTest, DeepNestingFailsInsteadOfOverflowing) {
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  CompileFailure why;
  EXPECT_FALSE(CompileExpression(deep, &why));
  EXPECT_EQ(why.kind, CompileFailure::Kind::kTooDeep);
  std::string ok = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_EQ(Int(ok), 1);
  // A long left-associative chain deepens the tree without brackets.
  std::string chain = "1";
  for (int i = 0; i < 5000; ++i) chain += "+1";
  EXPECT_FALSE(CompileExpression(chain, &why));
  EXPECT_EQ(why.kind, CompileFailure::Kind::kTooDeep);
  std::string signs = std::string(100000, '-') + "1";  // signs fold into one node
  EXPECT_EQ(Int(signs), 1);
  std::string nots = std::string(100001, '~') + "0";
  EXPECT_EQ(Int(nots), 1);
}

TEST_F(ParseTest, FailureTellsWhereAndWhy) {
  CompileFailure why;
  EXPECT_FALSE(CompileExpression("1 + 'x", &why));
  EXPECT_EQ(why.kind, CompileFailure::Kind::kScan);
  EXPECT_EQ(why.offset, 4u);
  EXPECT_FALSE(CompileExpression("1 + * 2", &why));
  EXPECT_EQ(why.kind, CompileFailure::Kind::kParse);
  EXPECT_FALSE(CompileExpression("missing + 1", &why));
  EXPECT_EQ(why.kind, CompileFailure::Kind::kUnknownName);
  EXPECT_EQ(why.name, "missing");
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
