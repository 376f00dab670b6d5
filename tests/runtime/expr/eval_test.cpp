// Evaluation: the comparison rules by operand class, the rule for nearly equal reals, truth
// values, arithmetic, and the browse's tab filters over real note records.
#include <cmath>
#include <limits>

#include "runtime/values/calendar.h"
#include "tests/runtime/expr/expr_test_util.h"
#include "tests/runtime/expr/note_record.h"

namespace pellucor::runtime::expr::testing {
namespace {

using EvalTest = ExprTest;

TEST_F(EvalTest, ComparisonByOperandClass) {
  // Two texts compare as texts: trailing blanks never matter, case does.
  EXPECT_EQ(Int("'xyz' = 'xyz   '"), 1);
  EXPECT_EQ(Int("'XYZ' = 'xyz'"), 0);
  EXPECT_EQ(Int("'abc' < 'abd'"), 1);
  EXPECT_EQ(Int("'10' < '9'"), 1);  // texts, not numbers
  // A number and a text compare as reals: the text reads as its number.
  EXPECT_EQ(Int("10 > '9'"), 1);
  EXPECT_EQ(Int("0 = ''"), 1);
  EXPECT_EQ(Int("12 = '12abc'"), 1);
  // Integer against real compares as reals.
  EXPECT_EQ(Int("1 = 1.0"), 1);
  EXPECT_EQ(Int("2 < 2.5"), 1);
}

TEST_F(EvalTest, NearlyEqualRealsCountAsEqual) {
  double a = 0.1 + 0.2;  // 0.30000000000000004
  double b = 0.3;
  BIND("a", TypeCode::kReal, &a, 8);
  BIND("b", TypeCode::kReal, &b, 8);
  EXPECT_NE(a, b);
  EXPECT_EQ(Int("a = b"), 1);
  EXPECT_EQ(Int("a > b"), 0);
  EXPECT_EQ(Int("a <> b"), 0);
  // A difference 2^-40 of the operand is a real difference.
  b = 0.3 + std::ldexp(0.3, -40);
  EXPECT_EQ(Int("a = b"), 0);
  EXPECT_EQ(Int("a < b"), 1);
  // Zero counts as exponent 0: only differences more than 50 binary places below 1 vanish.
  a = 1e-10;
  b = 0;
  EXPECT_EQ(Int("a = b"), 0);
  a = std::ldexp(1.0, -60);  // 60 binary places below zero's exponent
  EXPECT_EQ(Int("a = b"), 1);
}

TEST_F(EvalTest, TruthValues) {
  EXPECT_TRUE(Truth("1"));
  EXPECT_FALSE(Truth("0"));
  EXPECT_TRUE(Truth("0.5"));
  EXPECT_FALSE(Truth("0.0"));
  EXPECT_TRUE(Truth("'0'"));  // a text is true when it is not empty
  EXPECT_TRUE(Truth("' '"));
  EXPECT_FALSE(Truth("''"));
  EXPECT_EQ(Int("2 AND 3"), 1);
  EXPECT_EQ(Int("'a' AND ''"), 0);
  EXPECT_EQ(Int("1 XOR 0"), 1);
  EXPECT_EQ(Int("1 XOR 1"), 0);
  EXPECT_EQ(Int("0 XOR 0"), 0);
  EXPECT_EQ(Int("0 OR 0.1"), 1);
  // A variable is true by the rule of its own type: a text field of blanks is false.
  char blanks[3] = {' ', ' ', ' '};
  BIND("blanks", TypeCode::kString, blanks, 3);
  EXPECT_FALSE(Truth("blanks"));
  EXPECT_EQ(Int("NOT blanks"), 1);
  blanks[1] = 'x';
  EXPECT_TRUE(Truth("blanks"));
}

TEST_F(EvalTest, AndAndOrEvaluateBothSides) {
  int calls = 0;
  BIND(
      "count",
      [&calls](std::span<const Value>) {
        ++calls;
        return Value::Integer(1);
      },
      0, ValueClass::kInteger);
  EXPECT_EQ(Int("0 AND count()"), 0);
  EXPECT_EQ(Int("1 OR count()"), 1);
  EXPECT_EQ(calls, 2);
}

TEST_F(EvalTest, ArithmeticIsReal) {
  EXPECT_DOUBLE_EQ(Real("7 / 2"), 3.5);
  EXPECT_EQ(Int("7 / 2"), 3);  // truncated when an integer is asked for
  EXPECT_EQ(Int("-7 / 2"), -3);
  EXPECT_EQ(Str("7 / 2"), "3.5");
  EXPECT_EQ(Str("1 + 2"), "3");
  EXPECT_DOUBLE_EQ(Real("7.5 % 2"), 1.5);
  EXPECT_DOUBLE_EQ(Real("2 ^ 0.5"), std::sqrt(2.0));
  EXPECT_EQ(Str("1/3"), "0.33333333333333");  // 14 significant digits
  EXPECT_EQ(Int("'3' + '4'"), 7);
  // Division and remainder by zero give 0, not an infinity that would spread into fields.
  EXPECT_EQ(Real("5 / 0"), 0.0);
  EXPECT_EQ(Real("5 % 0"), 0.0);
  // Unary minus asked for an integer negates the integer value.
  int32_t lowest = std::numeric_limits<int32_t>::min();
  BIND("lowest", TypeCode::kLong, &lowest, 4);
  EXPECT_EQ(Int("-(-lowest)"), lowest);
  // Results beyond the integer range saturate instead of wrapping.
  EXPECT_EQ(Int("1.0e30"), std::numeric_limits<int32_t>::max());
}

TEST_F(EvalTest, DateFieldComparedWithEmptyText) {
  unsigned char date[4];
  BIND("d", TypeCode::kDate, date, 4);
  AccessorFactory(TypeCode::kDate, date, 4)->SetInteger(0);
  EXPECT_EQ(Int("d > ''"), 0);
  EXPECT_EQ(Int("d = ''"), 1);
  EXPECT_EQ(Int("d > '0'"), 0);
  AccessorFactory(TypeCode::kDate, date, 4)->SetInteger(DATE(10, 31, 1959));
  EXPECT_EQ(Int("d > ''"), 1);
  EXPECT_EQ(Int("d > '0'"), 1);
  EXPECT_EQ(Int("d = DATE(10,31,1959)"), 1);
  EXPECT_EQ(Int("d + 1 = DATE(11,1,1959)"), 1);
}

TEST_F(EvalTest, BrowseTabFilters) {
  NoteRecord rec;
  rec.Bind();
  auto notes_only = Compile(kNotesOnly);
  auto current = Compile(kCurrentReminders);
  auto done = Compile(kDoneItems);
  ASSERT_TRUE(notes_only && current && done);
  const int32_t today = TODAY();
  struct Case {
    int32_t reminder;  // 0: none; otherwise days from today
    char done;
    bool notes_only, current, done_items;
  } cases[] = {
      {0, 'N', true, false, false},           // open note without reminder
      {today + 3, 'N', false, true, false},   // due within three days
      {today + 4, 'N', false, false, false},  // later: only under "Everything"
      {today - 10, 'N', false, true, false},  // overdue
      {today - 10, 'Y', false, false, true},  // done, with an old reminder
      {0, 'Y', false, false, true},           // done, without reminder
  };
  for (const Case& c : cases) {
    rec.Set("topic", 'N', today, c.reminder, c.done);
    EXPECT_EQ(EvaluateBoolean(*notes_only), c.notes_only) << c.reminder - today << c.done;
    EXPECT_EQ(EvaluateBoolean(*current), c.current) << c.reminder - today << c.done;
    EXPECT_EQ(EvaluateBoolean(*done), c.done_items) << c.reminder - today << c.done;
  }
}

TEST_F(EvalTest, FieldsOfEveryLayoutReadThroughTheirType) {
  char cstr[8] = "abc";
  char pstr[8] = {3, 'x', 'y', 'z', 'q', 'q', 'q', 'q'};
  uint8_t byte = 200;
  int16_t shrt = -5;
  uint32_t ulong = 4000000000u;
  float sreal = 1.5f;
  BIND("cs", TypeCode::kCString, cstr, 8);
  BIND("ps", TypeCode::kPString, pstr, 8);
  BIND("b", TypeCode::kByte, &byte, 1);
  BIND("s", TypeCode::kShort, &shrt, 2);
  BIND("u", TypeCode::kULong, &ulong, 4);
  BIND("f", TypeCode::kSReal, &sreal, 4);
  EXPECT_EQ(Str("cs & '|' & ps"), "abc|xyz");
  EXPECT_EQ(Int("LEN(cs) + LEN(ps)"), 6);
  EXPECT_EQ(Int("b + s"), 195);
  EXPECT_DOUBLE_EQ(Real("u"), 4000000000.0);  // ULONG is of real class: no wrap
  EXPECT_EQ(Int("u > 2147483647"), 1);
  EXPECT_EQ(Str("f * 2"), "3");
  // Changes to the variables are seen by a tree compiled earlier.
  auto tree = Compile("b * 2");
  ASSERT_TRUE(tree);
  EXPECT_EQ(EvaluateInteger(*tree), 400);
  byte = 1;
  EXPECT_EQ(EvaluateInteger(*tree), 2);
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
