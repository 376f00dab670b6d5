// Saved queries in the settings file (checked in the file's bytes), their sectors, "tsMRU",
// message 41 for a stored column the query no longer has, and the query's popup items.
#include <QAction>
#include <QMenu>

#include "framework/popup/popup_manager.h"
#include "tests/framework/query/query_test_util.h"

namespace pellucor::framework {
namespace {

using platform::testing::ReadWholeFile;
using testing::AddNoteColumns;
using ::testing::ElementsAre;

class SavedQueryTest : public testing::QueryTest {};

TEST_F(SavedQueryTest, ASavedQueryRoundTripsThroughTheSettingsFile) {
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  AddNoteColumns(query);
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "^*meet");
  query.SetValue("UPPER(sno:NOTEDATE)", QueryPart::kLow, "81000");
  query.SetValue("UPPER(sno:NOTEDATE)", QueryPart::kHigh, "81010");
  query.SetValue("UPPER(sno:MAINMEMO)", QueryPart::kMiddle, "<>a,b");
  const std::string filter = query.GetFilter();
  EXPECT_EQ(query.SaveQuery(" Open, meetings "), Level::Proceed);
  EXPECT_EQ(query.SaveQuery("a=b"), Level::Notified);  // "=" cannot stand in a settings key
  EXPECT_EQ(query.SaveQuery(""), Level::Notified);
  EXPECT_THAT(query.SavedQueries(), ElementsAre("Open, meetings"));
  query.Kill();
  ini_.Kill();  // the sector register reaches the file here

  const std::string key = "Main$Open, meetings$$Query";
  EXPECT_EQ(ReadWholeFile(file_),
            "[Query]\n" + key + "=7\n" + key + "_1=UPPER(sno:TOPIC),^*meet\n" + key +
                "_2=UPPER(sno:Done),\n" + key + "_3=UPPER(sno:NOTEDATE),\n" + key +
                "_4=UPPER(sno:REMINDERDATE),\n" + key + "_5=UPPER(sno:MAINMEMO),<>a,b\n" + key +
                "_6=UPPER(sno:NOTEDATE),>=81000\n" + key +
                "_7=UPPER(sno:NOTEDATE),<=81010\n"
                "\n[__Dont_Touch_Me__]\nSectors=1\n"
                "Sectors_1=Main,Open, meetings,Query\n");

  // A later run: a fresh INI manager and query find it by name in any letter case.
  IniManager ini;
  ini.Init(file_);
  QueryManager again;
  again.Init("main", errors_, &ini);
  AddNoteColumns(again);
  again.SetValue("UPPER(sno:Done)", QueryPart::kMiddle, "Y");  // cleared by the load
  EXPECT_EQ(again.LoadQuery("OPEN, MEETINGS"), Level::Proceed);
  EXPECT_EQ(again.GetFilter(), filter);
  EXPECT_EQ(again.Fields()[2].LOW, "81000");
  EXPECT_EQ(again.Fields()[4].MIDDLE, "<>a,b");
  EXPECT_TRUE(boxes_.empty());
  // A query that was never saved leaves the fields as they are.
  EXPECT_EQ(again.LoadQuery("Nothing"), Level::Notified);
  EXPECT_EQ(again.GetFilter(), filter);
  ini.Kill();
}

TEST_F(SavedQueryTest, ARemovedFieldIsReportedOnceWithMessage41AndDropped) {
  {
    QueryManager old;
    old.Init("Main", errors_, &ini_);
    AddNoteColumns(old);
    old.AddField("sno:PRIORITY", "Priority", "@n3");
    old.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "meet*");
    old.SetValue("sno:PRIORITY", QueryPart::kLow, "2");
    old.SetValue("sno:PRIORITY", QueryPart::kHigh, "5");
    old.SetValue("UPPER(sno:MAINMEMO)", QueryPart::kMiddle, "*x");
    ASSERT_EQ(old.SaveQuery("Busy"), Level::Proceed);
    old.Kill();
  }
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");  // no memo and no priority any more
  query.AddField("UPPER(sno:Done)", "Done?", "@s2");
  query.AddField("UPPER(sno:NOTEDATE)", "Note Date", "@D17");
  query.AddField("UPPER(sno:REMINDERDATE)", "Reminder Date", "@D17");
  EXPECT_EQ(query.LoadQuery("Busy"), Level::Proceed);
  EXPECT_THAT(
      boxes_,
      ElementsAre("Unsupported QBE Column: The saved QBE column, UPPER(sno:MAINMEMO) is not "
                  "supported. It will be dropped from the query.",
                  "Unsupported QBE Column: The saved QBE column, sno:PRIORITY is not supported. "
                  "It will be dropped from the query."));
  EXPECT_EQ(query.GetFilter(), "SUB(UPPER(sno:TOPIC),1,4) = 'MEET'");
}

TEST_F(SavedQueryTest, DeletingForgetsTheSectorButKeepsTheEntriesAndTsMruIsNotListed) {
  QueryManager query;
  query.Init("Main", errors_, &ini_);
  AddNoteColumns(query);
  query.SetValue("UPPER(sno:Done)", QueryPart::kMiddle, "N");
  ASSERT_EQ(query.SaveQuery("Open"), Level::Proceed);
  query.SetValue("UPPER(sno:Done)", QueryPart::kMiddle, "Y");
  ASSERT_EQ(query.SaveQuery("open"), Level::Proceed);  // the same query, spelled anew
  ASSERT_EQ(query.SaveQuery("Done"), Level::Proceed);
  query.ClearQuery();
  EXPECT_THAT(query.SavedQueries(), ElementsAre("Done", "open"));

  ASSERT_EQ(query.RunQuery("OPEN"), Level::Proceed);
  EXPECT_EQ(query.QKCURRENTQUERY, "open");
  EXPECT_EQ(query.GetFilter(), "(UPPER(sno:Done) = 'Y')");
  EXPECT_THAT(query.SavedQueries(), ElementsAre("Done", "open"));  // tsMRU is not offered
  EXPECT_EQ(query.DeleteQuery("Open"), Level::Proceed);
  EXPECT_EQ(query.QKCURRENTQUERY, "");
  EXPECT_EQ(query.DeleteQuery("Open"), Level::Notified);
  EXPECT_THAT(query.SavedQueries(), ElementsAre("Done"));
  query.Kill();
  ini_.Kill();
  const std::string bytes = ReadWholeFile(file_);
  EXPECT_NE(bytes.find("Main$open$$Query_2=UPPER(sno:Done),Y\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Main$tsMRU$$Query_2=UPPER(sno:Done),Y\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("[__Dont_Touch_Me__]\nSectors=2\nSectors_1=Main,Done,Query\n"
                       "Sectors_2=Main,tsMRU,Query\n"),
            std::string::npos)
      << bytes;
}

TEST_F(SavedQueryTest, ThePopupOffersTheSavedQueriesAndClear) {
  runtime::WindowDescription d;
  d.name = "BROWSE";
  d.at = runtime::DialogRect{10, 10, 160, 80};
  ui::testing::Add(d, 1, runtime::ControlKind::kButton, "&Query", {4, 4, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);

  QueryManager query;
  query.Init("Main", errors_, &ini_);
  query.QKMENUICON = "QkLoad.ico";
  AddNoteColumns(query);
  PopupManager popup;
  popup.Init(&ini_);
  popup.AddMirroredItem("Insert", 7, "&Insert");  // no such button: left out
  popup.AddSubMenu("&Query", "QueryMenu");
  popup.AddMirroredItem("Query", 1, "&Query");
  query.AddPopupItems(popup);
  popup.EndSubMenu();
  popup.AddItem("&Select");
  EXPECT_EQ(popup.PopupText(), "{&Query|&Query|-|~Empty|-|C&lear}|&Select");
  EXPECT_EQ(query.QKSUBMENUPOS, 4);  // after Insert, the submenu's title and Query

  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "b*");
  ASSERT_EQ(query.SaveQuery("Beta"), Level::Proceed);
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "a*");
  ASSERT_EQ(query.SaveQuery("Alpha | one"), Level::Notified);  // "|" would split the menu
  ASSERT_EQ(query.SaveQuery("alpha"), Level::Proceed);
  query.ClearQuery();

  // Shown through the real popup: the refresher lists what is saved now; choosing Beta runs it.
  std::vector<std::string> shown;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* menu = qobject_cast<QMenu*>(dialog);
    ASSERT_NE(menu, nullptr);
    QMenu* sub = menu->actions().at(0)->menu();
    ASSERT_NE(sub, nullptr);
    for (QAction* a : sub->actions()) {
      if (!a->isSeparator()) shown.push_back(a->text().toStdString());
    }
    sub->actions().at(3)->trigger();
  });
  const std::string chosen = popup.Ask();
  EXPECT_THAT(shown, ElementsAre("&Query", "alpha", "Beta", "C&lear"));
  EXPECT_EQ(chosen, "tsQBE_Beta");
  EXPECT_EQ(query.TakePopupChoice(chosen), QueryChoice::kRun);
  EXPECT_EQ(query.GetFilter(), "SUB(UPPER(sno:TOPIC),1,1) = 'B'");
  EXPECT_EQ(popup.PopupText(),
            "{&Query|&Query|-|[6(~QkLoad.ico)]alpha|+[6(~QkLoad.ico)]Beta|-|C&lear}|&Select");

  EXPECT_EQ(query.TakePopupChoice("Select"), QueryChoice::kNone);
  EXPECT_EQ(query.TakePopupChoice("tsQBEClear"), QueryChoice::kClear);
  EXPECT_EQ(query.GetFilter(), "");
  EXPECT_EQ(query.QKCURRENTQUERY, "");

  // Killing the query takes its items out of the popup.
  query.Kill();
  EXPECT_EQ(popup.PopupText(), "{&Query|&Query}|&Select");
}

}  // namespace
}  // namespace pellucor::framework
