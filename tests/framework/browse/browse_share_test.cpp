// Another station deletes notes while the browse shows them: the next fill neither repeats nor
// loses a note, and a form is never run on a note that is gone.
#include <cstdio>

#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string TopicFor(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "T%04d", i);
  return buf;
}

std::vector<std::string> Range(int first, int count, int gone = -1) {
  std::vector<std::string> out;
  for (int i = first; static_cast<int>(out.size()) < count; ++i) {
    if (i != gone) out.push_back(TopicFor(i));
  }
  return out;
}

class BrowseShareTest : public BrowseTest {
 protected:
  void SetUp() override {
    std::vector<Note> notes;
    for (int i = 0; i < 200; ++i) notes.push_back({TopicFor(i), 80000 + i, 0, 'N'});
    AddNotes(notes);
  }
  void DeleteElsewhere(const std::string& topics) {
    OtherStation other("delete", topics);
    ASSERT_EQ(other.Read(), "deleted");
    ASSERT_TRUE(other.ExitedCleanly());
  }
};

TEST_F(BrowseShareTest, ABoundaryNoteDeletedElsewhereIsNeitherShownTwiceNorSkippedPast) {
  OpenBrowse();
  const int items = VisibleRows();
  ASSERT_THAT(window_->queue.Topics(), ElementsAreArray(Range(0, items)));

  // Reading on from the last row: the view returns that row again first, and it is skipped
  // because its position is still the row's.
  Post(Event::kPageDown);
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(Range(items, items)));

  // The last row's note goes: the view returns the note after it first, which is new.
  DeleteElsewhere(TopicFor(2 * items - 1));
  Post(Event::kPageDown);
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(Range(2 * items, items)));
  EXPECT_EQ(window_->browse.Rows(), items);

  // The same reading backwards from the first row: the page ends just above the first row's
  // note, which is gone (as is the one before it).
  DeleteElsewhere(TopicFor(2 * items));
  Post(Event::kPageUp);
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(Range(items - 1, items)));

  // And a row at a time at the bottom edge.
  Post(Event::kScrollBottom);
  Post(Event::kPageUp);
  const std::vector<std::string> before = window_->queue.Topics();
  DeleteElsewhere(before.back());
  const std::string next = TopicFor(std::stoi(before.back().substr(1)) + 1);
  Post(Event::kScrollDown);  // the highlight is on the last row, after the page up
  const std::vector<std::string> after = window_->queue.Topics();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.back(), next);
  EXPECT_EQ(std::count(after.begin(), after.end(), next), 1);
}

TEST_F(BrowseShareTest, AChangeOfANoteDeletedElsewhereSaysSoAndRunsNoForm) {
  OpenBrowse();
  int forms = 0;
  window_->procedures = [&](uint16_t, uint8_t) {
    ++forms;
    return response::kCancelled;
  };
  Post(Event::kScrollDown);
  Post(Event::kScrollDown);
  ASSERT_EQ(HighlightedTopic(), "T0002");
  DeleteElsewhere("T0002");
  runtime::PostEvent(Event::kAccepted, ctl::kChange);
  Pump();
  EXPECT_EQ(forms, 0);
  EXPECT_THAT(boxes_, ElementsAre("Record Retrieval Error"));
  // The list shows what is there now.
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(Range(0, VisibleRows(), 2)));
}

}  // namespace
}  // namespace pellucor::framework::testing
