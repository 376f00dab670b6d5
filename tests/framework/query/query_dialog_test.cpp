// The query dialog and the saved-query dialog on real widgets offscreen: terms typed, inserted,
// changed and deleted; OK runs the query (kept as tsMRU) and Cancel leaves it as it was; queries
// saved (asking before one is replaced), loaded (message 41 for a column that is gone) and
// deleted. Every message box is answered through the engine's responder.
#include "framework/query/query_dialog.h"
#include "framework/query/saved_query_dialog.h"
#include "runtime/locale/picture.h"
#include "tests/framework/query/query_test_util.h"

namespace pellucor::framework {
namespace {

using platform::testing::ReadWholeFile;
using testing::AddNoteColumns;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace qbe = query_detail::qbe;
namespace saved = query_detail::saved;

class QueryDialogTest : public testing::QueryTest {
 protected:
  // The browse's window, which the dialogs open over.
  void OpenBrowse() {
    runtime::WindowDescription d;
    d.name = "BROWSE";
    d.title = "Notes";
    d.at = runtime::DialogRect{10, 10, 200, 120};
    ui::testing::Add(d, 1, runtime::ControlKind::kButton, "&Find By", {4, 4, 50, 14});
    browse_ = std::make_unique<runtime::Window>(d);
    OpenAndShow(*browse_);
  }

  std::unique_ptr<runtime::Window> browse_;
};

TEST_F(QueryDialogTest, TermsAreInsertedChangedAndDeletedAndOkRunsTheQuery) {
  OpenBrowse();
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  AddNoteColumns(query);
  query.SetValue("UPPER(sno:Done)", QueryPart::kMiddle, "N");

  testing::Script script(engine_);
  script
      .On("QBEList",
          [&] {
            EXPECT_THAT(Rows(qbe::kList), ElementsAre("Done? | = | N"));
            EXPECT_EQ(Entries(qbe::kField), "Topic|Done?|Note Date|Reminder Date|Memo");
            EXPECT_EQ(Entries(qbe::kOperator), "Contains|Begins|NOT =|=|<=|>=");
            EXPECT_EQ(Chosen(qbe::kField), "Done?");  // the highlighted term is in the editor
            EXPECT_EQ(Text(qbe::kValue), "N");
            Choose(qbe::kField, 0);
            Choose(qbe::kOperator, 0);
            Type(qbe::kValue, "meet");
            Click(qbe::kInsert);
          })
      .On("QBEList",
          [&] {
            EXPECT_THAT(Rows(qbe::kList), ElementsAre("Topic | Contains | meet", "Done? | = | N"));
            // A range on one field: ">=" and "<=" are kept as its two bounds.
            Choose(qbe::kField, 2);
            Choose(qbe::kOperator, 5);
            Type(qbe::kValue, "81000");
            Click(qbe::kInsert);
          })
      .On("QBEList",
          [&] {
            Choose(qbe::kOperator, 4);
            Type(qbe::kValue, "81010");
            Click(qbe::kInsert);
          })
      .On("QBEList",
          [&] {
            EXPECT_THAT(Rows(qbe::kList),
                        ElementsAre("Topic | Contains | meet", "Done? | = | N",
                                    "Note Date | >= | 81000", "Note Date | <= | 81010"));
            ClickRow(qbe::kList, 1);
          })
      .On("QBEList",
          [&] {
            EXPECT_EQ(Chosen(qbe::kField), "Done?");
            EXPECT_EQ(Chosen(qbe::kOperator), "=");
            EXPECT_EQ(Text(qbe::kValue), "N");
            Choose(qbe::kOperator, 2);  // NOT =
            Toggle(qbe::kIgnoreCase);
            Click(qbe::kChange);
          })
      .On("QBEList",
          [&] {
            EXPECT_EQ(Rows(qbe::kList).at(1), "Done? | NOT = | ^N");
            ClickRow(qbe::kList, 0);
            Click(qbe::kDelete);
          })
      .On("QBEList", [&] {
        EXPECT_THAT(Rows(qbe::kList), ElementsAre("Done? | NOT = | ^N", "Note Date | >= | 81000",
                                                  "Note Date | <= | 81010"));
        Click(qbe::kOk);
      });
  EXPECT_EQ(query.Ask(), Level::Proceed);
  EXPECT_EQ(script.Left(), 0u);
  EXPECT_EQ(query.WINDOW, nullptr);
  EXPECT_THAT(boxes_, IsEmpty());
  EXPECT_EQ(query.GetFilter(),
            "(UPPER(sno:Done) <> 'N') AND (UPPER(sno:NOTEDATE) >= 81000) AND "
            "(UPPER(sno:NOTEDATE) <= 81010)");
  // The query run is kept as the most recently used one.
  query.Kill();
  ini_.Kill();
  const std::string bytes = ReadWholeFile(file_);
  EXPECT_NE(bytes.find("Main$tsMRU$$Query_2=UPPER(sno:Done),^<>N\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Main$tsMRU$$Query_6=UPPER(sno:NOTEDATE),>=81000\n"), std::string::npos);
  EXPECT_NE(bytes.find("Sectors_1=Main,tsMRU,Query\n"), std::string::npos);
}

TEST_F(QueryDialogTest, AnIncompleteTermIsRefusedAndCancelKeepsTheQuery) {
  OpenBrowse();
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  AddNoteColumns(query);
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "*x");
  const std::string before = query.GetFilter();

  testing::Script script(engine_);
  script
      .On("QBEList",
          [&] {
            Click(qbe::kClear);
            Choose(qbe::kOperator, 0);
            Type(qbe::kValue, "");
            Click(qbe::kInsert);  // Contains what?
          })
      .On("QBEList", [&] {
        EXPECT_THAT(Rows(qbe::kList), IsEmpty());
        Click(qbe::kCancel);
      });
  EXPECT_EQ(query.Ask(), Level::Cancelled);
  EXPECT_EQ(script.Left(), 0u);
  EXPECT_THAT(boxes_, ElementsAre("Query: Type the text to look for."));
  EXPECT_EQ(query.GetFilter(), before);
}

TEST_F(QueryDialogTest, QueriesAreSavedLoadedAndDeletedInTheSavedQueryDialog) {
  OpenBrowse();
  {
    QueryManager old;
    old.Init("Main", errors_, &ini_);
    AddNoteColumns(old);
    old.AddField("sno:GONE", "Gone", "@s10");
    old.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "mee*");
    old.SetValue("sno:GONE", QueryPart::kMiddle, "x");
    ASSERT_EQ(old.SaveQuery("Old"), Level::Proceed);
    old.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "*meet");
    ASSERT_EQ(old.SaveQuery("Meetings"), Level::Proceed);
    old.Kill();
  }
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  AddNoteColumns(query);
  AnswerWith({runtime::button::kNo, runtime::button::kOk, runtime::button::kYes});

  testing::Script script(engine_);
  script
      .On("QBEList",
          [&] {
            Choose(qbe::kField, 1);
            Choose(qbe::kOperator, 3);
            Type(qbe::kValue, "Y");
            Click(qbe::kInsert);
            Click(qbe::kSaved);
          })
      .On("QBESaved",
          [&] {
            EXPECT_THAT(Rows(saved::kList), ElementsAre("Meetings", "Old"));
            Type(saved::kName, "meetings");
            Click(saved::kSave);  // asks before replacing: No
          })
      .On("QBESaved",
          [&] {
            EXPECT_EQ(boxes_.size(), 1u);
            Type(saved::kName, "Done items");
            Click(saved::kSave);
          })
      .On("QBEList", [&] { Click(qbe::kSaved); })
      .On("QBESaved",
          [&] {
            EXPECT_THAT(Rows(saved::kList), ElementsAre("Done items", "Meetings", "Old"));
            ClickRow(saved::kList, 2);
          })
      .On("QBESaved",
          [&] {
            EXPECT_EQ(Text(saved::kName), "Old");
            Click(saved::kLoad);  // message 41 for the column that is gone
          })
      .On("QBEList",
          [&] {
            EXPECT_THAT(Rows(qbe::kList), ElementsAre("Topic | Begins | mee"));
            Click(qbe::kSaved);
          })
      .On("QBESaved",
          [&] {
            ClickRow(saved::kList, 1);
            Click(saved::kDelete);  // asks first: Yes
          })
      .On("QBESaved",
          [&] {
            EXPECT_THAT(Rows(saved::kList), ElementsAre("Done items", "Old"));
            EXPECT_EQ(Text(saved::kName), "");
            Click(saved::kCancel);
          })
      .On("QBEList", [&] { Click(qbe::kOk); });
  EXPECT_EQ(query.Ask(), Level::Proceed);
  EXPECT_EQ(script.Left(), 0u);
  EXPECT_THAT(boxes_,
              ElementsAre("Saved Queries: A query named meetings is saved already. Do you want "
                          "to replace it?",
                          "Unsupported QBE Column: The saved QBE column, sno:GONE is not "
                          "supported. It will be dropped from the query.",
                          "Saved Queries: Do you want to delete the saved query Meetings?"));
  EXPECT_EQ(query.QKCURRENTQUERY, "Old");
  EXPECT_EQ(query.GetFilter(), "SUB(UPPER(sno:TOPIC),1,3) = 'MEE'");
  EXPECT_THAT(query.SavedQueries(), ElementsAre("Done items", "Old"));
  ASSERT_EQ(query.LoadQuery("done items"), Level::Proceed);
  EXPECT_EQ(query.GetFilter(), "(UPPER(sno:Done) = 'Y')");
}

TEST_F(QueryDialogTest, AFieldThatForcesItsPictureIsEditedThroughIt) {
  OpenBrowse();
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  query.AddField("sno:NOTEDATE", "Note Date", "@D17", true);
  const std::string shown =
      runtime::FORMAT(int64_t{81000}, runtime::CompilePicture("@D17")).substr(0, 8);

  testing::Script script(engine_);
  script
      .On("QBEList",
          [&] {
            Choose(qbe::kField, 0);
            Choose(qbe::kOperator, 3);  // "=": the date is typed as the field shows it
          })
      .On("QBEList",
          [&] {
            Type(qbe::kValue, QString::fromStdString(shown));
            Click(qbe::kInsert);
          })
      .On("QBEList", [&] {
        EXPECT_THAT(Rows(qbe::kList), ElementsAre("Note Date | = | " + shown));
        EXPECT_EQ(Text(qbe::kValue), shown);
        Click(qbe::kOk);
      });
  EXPECT_EQ(query.Ask(), Level::Proceed);
  EXPECT_EQ(script.Left(), 0u);
  EXPECT_EQ(query.GetFilter(), "(sno:NOTEDATE = 81000)");
}

}  // namespace
}  // namespace pellucor::framework
