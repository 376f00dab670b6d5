// When the browse fills itself again without being asked: a hidden list when it is shown, a list
// whose height changed, a range whose value changed.
#include <QTabBar>
#include <cstdio>

#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

std::vector<Note> Notes(int n, int32_t reminder_date = 0, const char* prefix = "T") {
  std::vector<Note> notes;
  for (int i = 0; i < n; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%04d", prefix, i);
    notes.push_back({buf, 80000 + i, reminder_date, 'N'});
  }
  return notes;
}

using BrowseRefreshTest = BrowseTest;

TEST_F(BrowseRefreshTest, AListOnAHiddenTabIsFilledWhenItsTabIsShown) {
  AddNotes(Notes(200));
  OpenBrowse(ListPlace::kSecondTab);
  EXPECT_TRUE(window_->browse.LOADPENDING);
  EXPECT_EQ(window_->browse.Rows(), 0);
  // Scrolling a list nobody sees reads nothing either.
  Post(Event::kPageDown);
  EXPECT_EQ(window_->browse.Rows(), 0);

  auto* tabs = engine_.WidgetOf(window_->window().id())->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  Pump();
  EXPECT_FALSE(window_->browse.LOADPENDING);
  EXPECT_EQ(window_->browse.Rows(), VisibleRows());
  EXPECT_EQ(HighlightedTopic(), "T0000");
  EXPECT_EQ(TopicOf(notes_.Buffer()), "T0000");
}

TEST_F(BrowseRefreshTest, AListThatGrowsOrShrinksIsRefilledToItsNewHeight) {
  AddNotes(Notes(200));
  OpenBrowse();
  const int before = VisibleRows();
  Post(Event::kPageDown);
  Post(Event::kScrollDown);
  const std::string highlighted = HighlightedTopic();

  runtime::SetProperty(ctl::kList, runtime::Prop::kHeight, "60");
  const int after = VisibleRows();
  ASSERT_LT(after, before);
  runtime::SELECT(ctl::kList);  // any event lets the window look
  Pump();
  EXPECT_EQ(window_->browse.Rows(), after);
  EXPECT_EQ(window_->browse.LASTITEMS, after);
  EXPECT_EQ(HighlightedTopic(), highlighted);
  EXPECT_EQ(static_cast<int>(ShownTopics().size()), after);
}

TEST_F(BrowseRefreshTest, ARangeWhoseValueChangedIsAppliedAfterTheNextEvent) {
  std::vector<Note> notes = Notes(30);
  for (const Note& n : Notes(5, 81000, "R")) notes.push_back(n);
  AddNotes(notes);
  OpenBrowse();
  EXPECT_EQ(HighlightedTopic(), "T0000");
  window_->no_date = 81000;  // the browse's range on the reminder date
  runtime::SELECT(ctl::kList);
  Pump();
  EXPECT_THAT(window_->queue.Topics(),
              ::testing::ElementsAre("R0000", "R0001", "R0002", "R0003", "R0004"));
  EXPECT_EQ(HighlightedTopic(), "R0000");
}

}  // namespace
}  // namespace pellucor::framework::testing
