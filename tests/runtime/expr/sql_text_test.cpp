// The SQL-like text: operator forms and parentheses, the rewrite patterns of the query form's
// terms, field-typed literals, sort lists, and round trips through the compiler.
#include "runtime/values/calendar.h"
#include "tests/runtime/expr/expr_test_util.h"
#include "tests/runtime/expr/note_record.h"

namespace pellucor::runtime::expr::testing {
namespace {

// A driver's printer: upper-case field names and braced date and time literals.
class DriverPrinter : public SqlPrinter {
 public:
  std::string FieldName(std::string_view name, const void*) const override {
    std::string s(name);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
  std::string DateLiteral(int32_t day) const override { return "{d " + std::to_string(day) + "}"; }
  std::string TimeLiteral(int32_t t) const override { return "{t " + std::to_string(t) + "}"; }
};

class SqlTextTest : public ExprTest {
 protected:
  void SetUp() override {
    ExprTest::SetUp();
    rec.Bind();
    BIND("count", TypeCode::kLong, &count, 4);
    BIND("at", TypeCode::kTime, at, 4);
  }
  std::string Sql(const char* text, SqlForm form = SqlForm::kCondition) {
    auto tree = Compile(text);
    EXPECT_TRUE(tree) << text;
    return tree ? SqlText(*tree, SqlPrinter(), form) : "<no tree>";
  }
  NoteRecord rec;
  int32_t count = 0;
  unsigned char at[4] = {};
};

TEST_F(SqlTextTest, QueryFormPatterns) {
  EXPECT_EQ(Sql("INSTRING('abc', sno:topic, 1, 1) <> 0"), "sno:topic LIKE '%abc%'");
  EXPECT_EQ(Sql("SUB(sno:topic,1,3) = 'abc'"), "sno:topic LIKE 'abc%'");
  EXPECT_EQ(Sql("SUB(sno:topic,1,2) = 'abc'"), "SUB(sno:topic, 1, 2) = 'abc'");
  EXPECT_EQ(Sql("SUB(sno:topic,1,4) = 'O''Br'"), "sno:topic LIKE 'O''Br%'");
  EXPECT_EQ(Sql("INSTRING('MEET',UPPER(sno:topic),1,1) <> 0 AND (sno:done = 'N')"),
            "UPPER(sno:topic) LIKE '%MEET%' AND sno:done = 'N'");
  // Only the substring test against the constant 0 is rewritten.
  EXPECT_EQ(Sql("INSTRING('abc', sno:topic, 1, 1) <> 1"), "INSTRING('abc', sno:topic, 1, 1) <> 1");
  // A LIKE wildcard in the text would change the test's meaning: left as it is.
  EXPECT_EQ(Sql("SUB(sno:topic,1,3) = '5%x'"), "SUB(sno:topic, 1, 3) = '5%x'");
  EXPECT_EQ(Sql("INSTRING('a_b', sno:topic, 1, 1) <> 0"), "INSTRING('a_b', sno:topic, 1, 1) <> 0");
}

TEST_F(SqlTextTest, NullTests) {
  EXPECT_EQ(Sql("NULL(count) = 0"), "count IS NOT NULL ");
  EXPECT_EQ(Sql("NULL(count) <> 0"), "count IS NULL ");
  EXPECT_EQ(Sql("NULL(count) = 1"), "count IS NULL ");
  EXPECT_EQ(Sql("NULL(count) <> 1"), "count IS NOT NULL ");
}

TEST_F(SqlTextTest, ConditionsAndBareOperands) {
  EXPECT_EQ(Sql("NOT sno:done = 'N'"), "NOT sno:done = 'N'");
  EXPECT_EQ(Sql("~(sno:done = 'N' OR count > 1)"), "NOT (sno:done = 'N' OR count > 1)");
  EXPECT_EQ(Sql("count AND sno:done"), "count <> 0 AND sno:done <> ''");
  EXPECT_EQ(Sql("NOT count"), "NOT count <> 0");
  EXPECT_EQ(Sql("count XOR 1 = 1"), "count XOR 1 = 1");
  EXPECT_EQ(Sql("1 OR 2 AND 3"), "1 <> 0 OR 2 <> 0 AND 3 <> 0");
}

TEST_F(SqlTextTest, LiteralsInTheFieldsTerms) {
  DriverPrinter driver;
  auto tree = Compile(kCurrentReminders);
  ASSERT_TRUE(tree);
  EXPECT_EQ(SqlText(*tree, driver),
            "SNO:REMINDERDATE <= TODAY() + 3 AND SNO:REMINDERDATE > {d 0} AND SNO:DONE = 'N'");
  tree = Compile("sno:notedate = 73466 OR 4 < sno:notedate");
  EXPECT_EQ(SqlText(*tree, driver), "SNO:NOTEDATE = {d 73466} OR {d 4} < SNO:NOTEDATE");
  tree = Compile("at >= 360001");
  EXPECT_EQ(SqlText(*tree, driver), "AT >= {t 360001}");
  EXPECT_EQ(Sql("sno:done = 1"), "sno:done = '1'");
  EXPECT_EQ(Sql("count = '12'"), "count = '12'");  // a LONG keeps the constant as written
  EXPECT_EQ(Sql("count = 1.5"), "count = 1.5");
}

TEST_F(SqlTextTest, SortLists) {
  EXPECT_EQ(Sql("-sno:notedate", SqlForm::kSortList), "sno:notedate DESC");
  EXPECT_EQ(Sql("sno:notedate", SqlForm::kSortList), "sno:notedate");
  EXPECT_EQ(Sql("-sno:notedate"), "-sno:notedate");
}

TEST_F(SqlTextTest, OperatorsAndParentheses) {
  EXPECT_EQ(Sql("(1 + 2) * 3"), "(1 + 2) * 3");
  EXPECT_EQ(Sql("1 + 2 * 3"), "1 + 2 * 3");
  EXPECT_EQ(Sql("1 - (2 - 3)"), "1 - (2 - 3)");
  EXPECT_EQ(Sql("1 - (2 + 3)"), "1 - (2 + 3)");
  EXPECT_EQ(Sql("8 / (2 * 2)"), "8 / (2 * 2)");
  EXPECT_EQ(Sql("2 ^ 3 ^ 2"), "2 ^ 3 ^ 2");
  EXPECT_EQ(Sql("2 ^ (3 ^ 2)"), "2 ^ (3 ^ 2)");
  EXPECT_EQ(Sql("-(1 + 2)"), "-(1 + 2)");
  EXPECT_EQ(Sql("(count OR 1) AND 0"), "(count <> 0 OR 1 <> 0) AND 0 <> 0");
  EXPECT_EQ(Sql("'a' & 'b' = 'ab'"), "'a' & 'b' = 'ab'");
  EXPECT_EQ(Sql("sno:topic[2:3] & sno:topic[1]"), "sno:topic[2 : 3] & sno:topic[1]");
  EXPECT_EQ(Sql("FORMAT(sno:notedate,@D17) = '10/31/59'"),
            "FORMAT(sno:notedate, @D17) = '10/31/59'");
  EXPECT_EQ(Sql("SUB(sno:topic,,2) = 'ab'"), "SUB(sno:topic, , 2) = 'ab'");
  EXPECT_EQ(Sql("1.5e20 > 0.25"), "1.5E+20 > 0.25");
}

TEST_F(SqlTextTest, SortOrderLists) {
  auto items = CompileExpressionList("+sno:done, -sno:notedate,UPPER(sno:topic)");
  ASSERT_EQ(items.size(), 3u);
  std::string joined;
  for (const auto& item : items) {
    if (!joined.empty()) joined += ", ";
    joined += SqlText(*item, SqlPrinter(), SqlForm::kSortList);
  }
  EXPECT_EQ(joined, "sno:done, sno:notedate DESC, UPPER(sno:topic)");
  EXPECT_TRUE(CompileExpressionList("sno:done,").empty());
  EXPECT_TRUE(CompileExpressionList("sno:done,,sno:topic").empty());
  EXPECT_TRUE(CompileExpressionList("sno:done sno:topic").empty());
  EXPECT_EQ(CompileExpressionList("SUB(sno:topic,1,2)").size(), 1u);  // commas inside calls
}

// Texts without a rewrite pattern read back into trees of the same value.
TEST_F(SqlTextTest, RoundTripsKeepTheValue) {
  count = 7;
  rec.Set("Meeting notes", 'N', DATE(10, 31, 1959), TODAY() + 1, 'N');
  const char* texts[] = {
      kNotesOnly,
      kCurrentReminders,
      kDoneItems,
      "1 - (2 - 3) * 4 / (5 % 3) ^ 2",
      "-(count + 1) * -2",
      "(count > 3 OR count < 0) AND NOT (sno:done = 'Y' XOR count = 7)",
      "'a' & (count + 1) & SUB(sno:topic, 2, 3)",
      "CHOOSE(2, 'x', UPPER(sno:topic)) & FORMAT(sno:notedate, @D2)",
      "INLIST(sno:done, 'Y', 'N') * 10 + LEN(CLIP(sno:topic))",
      "count = count = 1",
      "count < (count = 1)",
      "sno:topic[1:4] = 'Meet'",
      "~~count",
      "1 + 2 & 3",
      "(1 & 2) + 3",
      "2 ^ -1",
  };
  for (const char* text : texts) {
    auto tree = Compile(text);
    ASSERT_TRUE(tree) << text;
    const std::string sql = SqlText(*tree, SqlPrinter());
    auto again = Compile(sql);
    ASSERT_TRUE(again) << text << " printed as " << sql;
    EXPECT_EQ(EvaluateString(*again), EvaluateString(*tree)) << text << " printed as " << sql;
    EXPECT_EQ(SqlText(*again, SqlPrinter()), sql) << text;  // printing is stable
  }
}

}  // namespace
}  // namespace pellucor::runtime::expr::testing
