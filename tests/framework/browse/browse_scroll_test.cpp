// A browse over thousands of notes on a real list offscreen: the list holds exactly one
// screenful after every move, and every move lands where a page model says it should.
#include <cstdio>
#include <random>

#include "framework/browse/step_manager.h"
#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

using ::testing::ElementsAreArray;

std::string TopicFor(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "T%04d", i);
  return buf;
}

std::vector<Note> NumberedNotes(int n) {
  std::vector<Note> notes;
  // Added out of order: the browse's order must come from the key, not from the file.
  for (int i = 0; i < n; ++i) notes.push_back({TopicFor((i * 7919) % n), 80000 + i, 0, 'N'});
  return notes;
}

// Where a page of `items` rows over `n` records should stand after each move.
struct PageModel {
  int n = 0;
  int items = 0;
  int first = 0;  // the record in the first row (from 0)
  int row = 1;    // the highlighted row (from 1)

  int Rows() const { return std::min(items, n); }
  void Down() {
    if (row < Rows()) {
      ++row;
    } else if (first + items < n) {
      ++first;
    }
  }
  void Up() {
    if (row > 1) {
      --row;
    } else if (first > 0) {
      --first;
    }
  }
  void PageDown() {
    const int got = std::min(items, std::max(0, n - (first + Rows())));
    first += got;
    row = std::min(row + items - got, Rows());
  }
  void PageUp() {
    const int got = std::min(items, first);
    first -= got;
    row = std::max(row - (items - got), 1);
  }
  void Top() { first = 0, row = 1; }
  void Bottom() { first = n - Rows(), row = Rows(); }
  std::vector<std::string> Topics() const {
    std::vector<std::string> t;
    for (int i = first; i < first + Rows(); ++i) t.push_back(TopicFor(i));
    return t;
  }
};

class BrowseScrollTest : public BrowseTest {
 protected:
  // The queue, the list control and the highlight all agree with the model.
  void ExpectPage(const PageModel& m, const std::string& after) {
    BrowseManager& b = window_->browse;
    const std::vector<std::string> want = m.Topics();
    ASSERT_EQ(b.Rows(), m.Rows()) << after;
    EXPECT_EQ(b.LASTITEMS, m.items) << after;
    EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(want)) << after;
    EXPECT_THAT(ShownTopics(), ElementsAreArray(want)) << after;
    EXPECT_EQ(b.CURRENTCHOICE, m.row) << after;
    EXPECT_EQ(HighlightedTopic(), want[static_cast<size_t>(m.row - 1)]) << after;
    // The record buffer holds the highlighted note.
    EXPECT_EQ(TopicOf(notes_.Buffer()), want[static_cast<size_t>(m.row - 1)]) << after;
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Tree(), key, modifiers);
    Pump();
  }
};

TEST_F(BrowseScrollTest, EveryMoveKeepsExactlyOneScreenfulWhereThePageModelSays) {
  constexpr int kNotes = 2500;
  AddNotes(NumberedNotes(kNotes));
  OpenBrowse();
  PageModel m{kNotes, VisibleRows()};
  ASSERT_GE(m.items, 5);
  ExpectPage(m, "at open");

  // The keys of the real list: inside the page they move its highlight, at its edges they
  // become the browse's scroll events.
  std::mt19937 rng(7);
  for (int step = 0; step < 400; ++step) {
    const unsigned pick = rng() % 20;
    std::string what;
    if (pick < 7) {
      Key(Qt::Key_Down);
      m.Down();
      what = "down";
    } else if (pick < 13) {
      Key(Qt::Key_Up);
      m.Up();
      what = "up";
    } else if (pick < 16) {
      Key(Qt::Key_PageDown);
      m.PageDown();
      what = "page down";
    } else if (pick < 19) {
      Key(Qt::Key_PageUp);
      m.PageUp();
      what = "page up";
    } else if (rng() % 2 == 0) {
      Key(Qt::Key_End, Qt::ControlModifier);
      m.Bottom();
      what = "bottom";
    } else {
      Key(Qt::Key_Home, Qt::ControlModifier);
      m.Top();
      what = "top";
    }
    ExpectPage(m, "step " + std::to_string(step) + " (" + what + ")");
    if (HasFatalFailure() || HasFailure()) return;
  }
}

TEST_F(BrowseScrollTest, BothEndsAndThePartialPagesThere) {
  // A prime number of notes: the last page is a partial one.
  constexpr int kNotes = 997;
  AddNotes(NumberedNotes(kNotes));
  OpenBrowse();
  const int items = VisibleRows();
  PageModel m{kNotes, items};
  ASSERT_NE(kNotes % items, 0);

  Post(Event::kScrollBottom);
  m.Bottom();
  ExpectPage(m, "bottom");
  EXPECT_EQ(HighlightedTopic(), TopicFor(kNotes - 1));
  Post(Event::kScrollDown);  // nothing beyond the last note
  ExpectPage(m, "down at the end");
  Post(Event::kPageDown);
  ExpectPage(m, "page down at the end");

  Post(Event::kScrollTop);
  m.Top();
  ExpectPage(m, "top");
  Post(Event::kScrollUp);
  Post(Event::kPageUp);
  ExpectPage(m, "up and page up at the start");

  // Paging down from the second row: every page is full, and the one that meets the end moves
  // the highlight instead of showing a short page at the top.
  Post(Event::kScrollDown);
  m.Down();
  int pages = 0;
  while (m.first + m.Rows() < m.n) {
    Post(Event::kPageDown);
    m.PageDown();
    ExpectPage(m, "page " + std::to_string(++pages));
  }
  EXPECT_EQ(m.first, kNotes - items);
  EXPECT_EQ(m.row,
            std::min(items, 2 + items - kNotes % items));  // moved by what the last page lacked
  Post(Event::kPageDown);
  m.PageDown();
  ExpectPage(m, "page down on the last page");
  EXPECT_EQ(HighlightedTopic(), TopicFor(kNotes - 1));

  // And back up to the first note.
  while (m.first > 0) {
    Post(Event::kPageUp);
    m.PageUp();
    ExpectPage(m, "page up");
  }
  Post(Event::kPageUp);
  m.PageUp();
  ExpectPage(m, "page up on the first page");
  EXPECT_EQ(HighlightedTopic(), "T0000");
}

TEST_F(BrowseScrollTest, AShortTableIsOnePageThatNeverScrolls) {
  AddNotes(NumberedNotes(3));
  OpenBrowse();
  PageModel m{3, VisibleRows()};
  ExpectPage(m, "open");
  EXPECT_TRUE(window_->browse.FILELOADED);
  for (Event e : {Event::kPageDown, Event::kScrollDown, Event::kScrollBottom}) Post(e);
  m.Bottom();
  ExpectPage(m, "at the end");
  Post(Event::kPageUp);
  m.PageUp();
  ExpectPage(m, "page up");
}

TEST_F(BrowseScrollTest, AnEmptyTableShowsNothingAndClearsTheRecordBuffer) {
  AddNotes({});
  std::memset(notes_.Buffer(), 'x', nr::kSize);
  OpenBrowse();
  EXPECT_EQ(window_->browse.Rows(), 0);
  EXPECT_TRUE(ShownTopics().empty());
  EXPECT_EQ(TopicOf(notes_.Buffer()), "");
  Post(Event::kPageDown);
  Post(Event::kScrollBottom);
  EXPECT_EQ(window_->browse.Rows(), 0);
}

// The thumb follows the highlighted note through the order's step manager, and a dragged thumb
// positions the browse by it.
TEST_F(BrowseScrollTest, TheThumbFollowsTheStepManagerAndADraggedThumbPositions) {
  std::vector<Note> notes;
  for (char c = 'a'; c <= 'z'; ++c) {
    for (int i = 0; i < 40; ++i) notes.push_back({std::string(1, c) + TopicFor(i), 80000, 0, 'N'});
  }
  AddNotes(notes);
  OpenBrowse(ListPlace::kPlain, [this](BrowseManager& b) {
    b.AddSortOrder(notes_decl_->FindKey("SNO:SNOT"));
    b.AddRange({&window_->archive_flag, 1, runtime::TypeCode::kString, 0});
    b.AddRange({&window_->no_date, 4, runtime::TypeCode::kLong, 0});
    b.AddLocator(true);
    auto step = std::make_unique<StringStepManager>();
    step->Init(step_case::kNoCase, 3);
    b.AddStepManager(std::move(step));
  });
  auto thumb = [] {
    return std::atoi(runtime::GetProperty(ctl::kList, runtime::Prop::kProgress).c_str());
  };
  EXPECT_EQ(thumb(), 0);
  Post(Event::kScrollBottom);
  EXPECT_EQ(thumb(), 100);

  runtime::SetProperty(ctl::kList, runtime::Prop::kProgress, "50");
  Post(Event::kScrollDrag);
  const std::string at = HighlightedTopic();
  ASSERT_FALSE(at.empty());
  // Halfway between "aT0" and "zT0" lies "m" or "n".
  EXPECT_TRUE(at[0] == 'm' || at[0] == 'n') << at;
  EXPECT_NEAR(thumb(), 50, 4);
  EXPECT_EQ(window_->browse.Rows(), VisibleRows());
  EXPECT_EQ(window_->browse.CURRENTCHOICE, 1);
}

}  // namespace
}  // namespace pellucor::framework::testing
