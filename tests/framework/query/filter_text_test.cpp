// The filter texts the query writes: the stated forms for every operator, quoting, "^", FORMAT()
// for numbers and dates, bounds; every text compiled by the runtime's expression compiler and
// evaluated against values that must and must not match; and texts over the note tables' own
// columns run through a real VIEW, whose rows must be the notes a direct reading selects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/note_store.h"
#include "framework/error/error_manager.h"
#include "framework/query/query_manager.h"
#include "runtime/expr/expression.h"
#include "runtime/locale/picture.h"
#include "runtime/values/accessor.h"
#include "tests/data/view/view_test_util.h"

namespace pellucor::framework {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// Variables the texts name, bound for compiling as the VIEW binds a table's fields.
struct Record {
  char topic[20];
  char name[30];
  int32_t count = 0;
  uint8_t date[4] = {};
};

class FilterTextTest : public ::testing::Test {
 protected:
  FilterTextTest() {
    query_.Init("Test", errors_, nullptr);
    query_.AddField("Topic", "Topic", "@s20");
    query_.AddField("Name", "Name", "S30");
    query_.AddField("Count", "Count", "@n5");
    query_.AddField("Day", "Day", "@D17");
    runtime::expr::PUSHSCOPE();
    runtime::expr::BIND("Topic", runtime::TypeCode::kString, record_.topic, sizeof(record_.topic));
    runtime::expr::BIND("Name", runtime::TypeCode::kString, record_.name, sizeof(record_.name));
    runtime::expr::BIND("Count", runtime::TypeCode::kLong, &record_.count, 4);
    runtime::expr::BIND("Day", runtime::TypeCode::kDate, record_.date, 4);
  }
  ~FilterTextTest() override { runtime::expr::POPSCOPE(); }

  // The value `text` given to the field the way a typed value reaches the record.
  void SetRecord(std::string_view field, std::string_view text) {
    auto set = [&](runtime::TypeCode type, void* at, uint32_t size) {
      runtime::AccessorFactory(type, at, size)->SetText(text);
    };
    if (field == "Topic") set(runtime::TypeCode::kString, record_.topic, sizeof(record_.topic));
    if (field == "Name") set(runtime::TypeCode::kString, record_.name, sizeof(record_.name));
    if (field == "Count") set(runtime::TypeCode::kLong, &record_.count, 4);
    if (field == "Day") {
      runtime::AccessorFactory(runtime::TypeCode::kDate, record_.date, 4)
          ->SetInteger(std::stoi(std::string(text)));
    }
  }

  std::string Filter(std::string_view field, std::string_view middle) {
    query_.ClearQuery();
    EXPECT_TRUE(query_.SetValue(field, QueryPart::kMiddle, middle));
    return query_.GetFilter();
  }

  ErrorManager errors_;
  QueryManager query_;
  Record record_;
};

struct Case {
  const char* field;
  const char* middle;
  const char* text;   // the filter text
  const char* match;  // a value of the field for which the filter is true
  const char* miss;   // and one for which it is false
};

TEST_F(FilterTextTest, EveryOperatorQuotingAndCaseGiveTheStatedTextsWhichCompileAndSelect) {
  const Case cases[] = {
      {"Name", "*abc", "INSTRING('abc',Name,1,1) <> 0", "xxabcx", "xxABCx"},
      {"Name", "abc*", "SUB(Name,1,3) = 'abc'", "abcdef", "xabc"},
      {"Name", "<>abc", "(Name <> 'abc')", "abd", "abc"},
      {"Name", "=abc", "(Name = 'abc')", "abc", "abcd"},
      {"Name", "abc", "(Name = 'abc')", "abc", "ab"},
      {"Name", "<abc", "(Name < 'abc')", "abb", "abc"},
      {"Name", ">abc", "(Name > 'abc')", "abd", "abc"},
      {"Name", "<=abc", "(Name <= 'abc')", "abc", "abd"},
      {"Name", ">= abc", "(Name >= 'abc')", "abc", "abb"},
      // A single quote is doubled inside the quotes.
      {"Name", "O'Brien", "(Name = 'O''Brien')", "O'Brien", "OBrien"},
      {"Name", "*'B", "INSTRING('''B',Name,1,1) <> 0", "O'Brien", "OBrien"},
      {"Name", "O'B*", "SUB(Name,1,3) = 'O''B'", "O'Brien", "OBrien"},
      // "^": the value in upper case against UPPER(name), before or after the operator.
      {"Name", "^*meet", "INSTRING('MEET',UPPER(Name),1,1) <> 0", "a Meeting", "a meal"},
      {"Name", "^mee*", "SUB(UPPER(Name),1,3) = 'MEE'", "meeting", "a meeting"},
      {"Name", "^=abc", "(UPPER(Name) = 'ABC')", "aBc", "abd"},
      {"Name", "=^abc", "(UPPER(Name) = 'ABC')", "ABC", "abd"},
      {"Name", "<>", "(Name <> '')", "x", ""},
      // An explicit operator wins over a trailing "*".
      {"Name", "=ab*", "(Name = 'ab*')", "ab*", "abc"},
      // Numbers stand as they are; an empty value is 0; text is quoted, never bare.
      {"Count", ">=5", "(Count >= 5)", "5", "4"},
      {"Count", "-3.5", "(Count = -3.5)", "0", "0"},
      {"Count", "<>", "(Count <> 0)", "7", "0"},
      {"Count", "=", "(Count = 0)", "0", "7"},
      {"Count", "=1,234", "(Count = 1234)", "1234", "1"},
      {"Count", "=x) OR (1", "(Count = 'x) OR (1')", "0", "1"},
      // Contains and Begins on a number search the text its picture shows.
      {"Count", "*23", "INSTRING('23',UPPER(FORMAT(Count,@n5)),1,1) <> 0", "1234", "1324"},
      {"Count", "12*", "SUB(UPPER(LEFT(FORMAT(Count,@n5))),1,2) = '12'", "123", "312"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.middle);
    const std::string text = Filter(c.field, c.middle);
    EXPECT_EQ(text, c.text);
    auto tree = runtime::expr::CompileExpression(text);
    ASSERT_NE(tree, nullptr);
    if (std::string_view(c.middle) == "-3.5") continue;  // a LONG holds no -3.5
    if (std::string_view(c.middle).starts_with("=x)")) {
      // The value is a string that cannot match, not an OR that matches everything.
      SetRecord(c.field, c.miss);
      EXPECT_FALSE(runtime::expr::EvaluateBoolean(*tree));
      continue;
    }
    SetRecord(c.field, c.match);
    EXPECT_TRUE(runtime::expr::EvaluateBoolean(*tree));
    SetRecord(c.field, c.miss);
    EXPECT_FALSE(runtime::expr::EvaluateBoolean(*tree));
  }
  // No value, a lone "^" or a lone "*" give no term.
  for (const char* nothing : {"", "  ", "^", "*", "^*"}) EXPECT_EQ(Filter("Name", nothing), "");
}

TEST_F(FilterTextTest, ThePartsExampleAndTheNameItLeavesAlone) {
  QueryManager query;
  query.Init("Main", errors_, nullptr);
  query.AddField("Topic", "Topic", "@s20");
  query.AddField("Done", "Done", "@n1");
  query.SetValue("Topic", QueryPart::kMiddle, "^*meet");
  query.SetValue("done", QueryPart::kMiddle, "=0");
  EXPECT_EQ(query.GetFilter(), "INSTRING('MEET',UPPER(Topic),1,1) <> 0 AND (Done = 0)");
  // The field keeps its own name: a later term that heeds case compares the field itself, and a
  // saved query still names Topic.
  EXPECT_EQ(query.Fields()[0].NAME, "Topic");
  query.SetValue("Topic", QueryPart::kMiddle, "=Meet");
  EXPECT_EQ(query.GetFilter(), "(Topic = 'Meet') AND (Done = 0)");
}

TEST_F(FilterTextTest, DatesBoundsAndNamesReadThroughUpper) {
  // Day 81000 is 5 October 2022, day 81500 17 February 2024, in whatever form @D17 shows them.
  const std::string shown = runtime::FORMAT(int64_t{81000}, runtime::CompilePicture("@D17"));
  const std::string part = shown.substr(0, 5);
  const std::string contains = "*" + part;
  const std::string contains_text = "INSTRING('" + part + "',UPPER(FORMAT(Day,@D17)),1,1) <> 0";
  const Case cases[] = {
      {"Day", contains.c_str(), contains_text.c_str(), "81000", "81500"},
      {"Day", "81000", "(Day = 81000)", "81000", "81001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.middle);
    const std::string text = Filter(c.field, c.middle);
    ASSERT_EQ(text, c.text);
    auto tree = runtime::expr::CompileExpression(text);
    ASSERT_NE(tree, nullptr);
    SetRecord(c.field, c.match);
    EXPECT_TRUE(runtime::expr::EvaluateBoolean(*tree));
    SetRecord(c.field, c.miss);
    EXPECT_FALSE(runtime::expr::EvaluateBoolean(*tree));
  }
  // A date typed as the field shows it is compared as its day number.
  EXPECT_EQ(Filter("Day", "=" + shown), "(Day = 81000)");
  EXPECT_EQ(Filter("Day", "<=soon"), "(Day <= 'soon')");

  // Bounds are inclusive and stand around MIDDLE's own term; fields follow in their order.
  query_.ClearQuery();
  query_.SetValue("Day", QueryPart::kLow, "81000");
  query_.SetValue("Day", QueryPart::kHigh, shown);
  query_.SetValue("Day", QueryPart::kMiddle, "<>81005");
  query_.SetValue("Topic", QueryPart::kLow, "^m");
  EXPECT_EQ(query_.GetFilter(),
            "(UPPER(Topic) >= 'M') AND (Day >= 81000) AND (Day <> 81005) AND (Day <= 81000)");
  EXPECT_NE(runtime::expr::CompileExpression(query_.GetFilter()), nullptr);

  // A name already read through UPPER() keeps it, and its values compare in upper case: a value
  // typed in lower case could never match an upper-cased field otherwise.
  QueryManager upper;
  upper.Init("Main", errors_, nullptr);
  upper.AddField("UPPER(Topic)", "Topic", "@s20");
  upper.SetValue("UPPER(TOPIC)", QueryPart::kMiddle, "mee*");
  EXPECT_EQ(upper.GetFilter(), "SUB(UPPER(Topic),1,3) = 'MEE'");
  upper.SetValue("UPPER(TOPIC)", QueryPart::kMiddle, "^*o'b");
  EXPECT_EQ(upper.GetFilter(), "INSTRING('O''B',UPPER(Topic),1,1) <> 0");
}

// The note table under the columns Main's query offers: what the VIEW reads with the query's
// filter must be exactly the notes the filter selects when evaluated note by note.
TEST(QueryViewTest, TheTextsRunAsTheFilterOfARealView) {
  using namespace data::view::test;
  ScratchCwd dir;
  CountingDriver driver;
  std::unique_ptr<data::FileDecl> notes = app::MakeSNotes(&driver);
  ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText();
  const int32_t day = 81000;
  const std::vector<Note> all = {
      {"Meeting with Ann", 'N', day, 0, "m1", 'N'},
      {"meeting notes", 'N', day + 3, 0, "m2", 'Y'},
      {"O'Brien call", 'N', day + 5, day, "m3", 'N'},
      {"Shopping", 'N', day + 9, 0, "m4", 'N'},
      {"Memo to self", 'N', 0, 0, "m5", 'N'},
      {"MEET Bob", 'N', day + 1, day + 2, "m6", 'N'},
  };
  for (const Note& n : all) ASSERT_EQ(Add(*notes, n), 0);

  ErrorManager errors;
  QueryManager query;
  query.Init("Main", errors, nullptr);
  query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");
  query.AddField("UPPER(sno:Done)", "Done?", "@s2");
  query.AddField("UPPER(sno:NOTEDATE)", "Note Date", "@D17");
  query.AddField("UPPER(sno:REMINDERDATE)", "Reminder Date", "@D17");
  query.AddField("UPPER(sno:MAINMEMO)", "Memo", "@s40");

  auto read = [&](const std::string& filter) {
    data::view::ViewDecl decl;
    decl.primary = notes.get();
    data::view::View view(std::move(decl));
    EXPECT_EQ(view.Open(), 0);
    view.SetFilter(filter);
    EXPECT_EQ(view.Set(), 0) << filter << ": " << runtime::ErrorText();
    std::vector<std::string> memos = ReadForward(view, *notes);
    view.Close();
    return memos;
  };

  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "*meet");
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m1", "m2", "m6"));
  query.SetValue("UPPER(sno:Done)", QueryPart::kMiddle, "<>y");
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m1", "m6"));
  query.ClearQuery();
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "me*");
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m1", "m2", "m5", "m6"));
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "o'brien call");
  EXPECT_THAT(read(query.GetFilter()), ElementsAre("m3"));
  query.ClearQuery();
  query.SetValue("UPPER(sno:NOTEDATE)", QueryPart::kLow, std::to_string(day + 1));
  query.SetValue("UPPER(sno:NOTEDATE)", QueryPart::kHigh,
                 runtime::FORMAT(int64_t{day + 5}, runtime::CompilePicture("@D17")));
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m2", "m3", "m6"));
  query.ClearQuery();
  query.SetValue("UPPER(sno:REMINDERDATE)", QueryPart::kMiddle, "<>");
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m3", "m6"));
  // A date searched in its shown text: the year of the notes' dates (all in October 2022).
  const std::string shown = runtime::FORMAT(int64_t{day}, runtime::CompilePicture("@D17"));
  const std::string year = shown.substr(shown.find_last_not_of(' ') - 1, 2);
  query.ClearQuery();
  query.SetValue("UPPER(sno:NOTEDATE)", QueryPart::kMiddle, "*" + year);
  EXPECT_THAT(read(query.GetFilter()), UnorderedElementsAre("m1", "m2", "m3", "m4", "m6"));
  query.SetValue("UPPER(sno:MAINMEMO)", QueryPart::kMiddle, "M4");
  EXPECT_THAT(read(query.GetFilter()), ElementsAre("m4"));
  (void)data::Dispatch(*notes, data::Op::kCLOSE);
}

}  // namespace
}  // namespace pellucor::framework
