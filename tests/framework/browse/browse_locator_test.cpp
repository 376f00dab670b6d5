// The step locator on the list's real keys, and the string step manager's positions.
#include <algorithm>
#include <cstdio>
#include <random>

#include "framework/browse/step_locator.h"
#include "framework/browse/step_manager.h"
#include "runtime/values/compare.h"
#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

class BrowseLocatorTest : public BrowseTest {
 protected:
  void SetUp() override {
    std::vector<Note> notes = {{"apple"}, {"Apricot"},   {"banana"},
                               {"Berry"}, {"blueberry"}, {"cherry"}};
    for (int i = 0; i < 60; ++i) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "d%03d", i);
      notes.push_back({buf});
    }
    AddNotes(notes);
    OpenBrowse();
  }
  void Type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Tree(), key, modifiers);
    Pump();
  }
  // The page is always full and the record buffer holds the highlighted note.
  void ExpectFullPage() {
    EXPECT_EQ(window_->browse.Rows(), VisibleRows());
    EXPECT_EQ(TopicOf(notes_.Buffer()), HighlightedTopic());
  }
};

TEST_F(BrowseLocatorTest, TypingTheSameLetterStepsThroughTheNotesThatBeginWithIt) {
  ASSERT_EQ(HighlightedTopic(), "apple");
  Type(Qt::Key_B);
  EXPECT_EQ(HighlightedTopic(), "banana");
  Type(Qt::Key_B);
  EXPECT_EQ(HighlightedTopic(), "Berry");  // the second note beginning with "b", in any case
  Type(Qt::Key_B);
  EXPECT_EQ(HighlightedTopic(), "blueberry");
  ExpectFullPage();
  // After the last note that begins with "b" the next row does not: the locator starts over at
  // the first one.
  Type(Qt::Key_B);
  EXPECT_EQ(HighlightedTopic(), "banana");
  Type(Qt::Key_C);
  EXPECT_EQ(HighlightedTopic(), "cherry");
  ExpectFullPage();
  // A capital letter finds the same notes.
  Type(Qt::Key_A, Qt::ShiftModifier);
  EXPECT_EQ(HighlightedTopic(), "apple");
  Type(Qt::Key_A, Qt::ShiftModifier);
  EXPECT_EQ(HighlightedTopic(), "Apricot");
  ExpectFullPage();
}

TEST_F(BrowseLocatorTest, ALetterPastEveryNoteShowsTheLastPageAndOneNearTheEndKeepsItFull) {
  Type(Qt::Key_Z);
  EXPECT_EQ(HighlightedTopic(), "d059");
  ExpectFullPage();
  EXPECT_EQ(window_->queue.Topics().back(), "d059");
  // A jump to a note near the end still shows a full page, with the note highlighted.
  Type(Qt::Key_C);
  EXPECT_EQ(HighlightedTopic(), "cherry");
  Type(Qt::Key_D);
  EXPECT_EQ(HighlightedTopic(), "d000");
  ExpectFullPage();
  // Keys that type nothing are not the locator's.
  const std::string before = HighlightedTopic();
  Type(Qt::Key_F5);
  Type(Qt::Key_B, Qt::ControlModifier);
  EXPECT_EQ(HighlightedTopic(), before);
}

// The key finds the first note at or after the typed letter; the order's filter still decides
// what is shown, in an order that reads by its key and in one that sorts.
TEST_F(BrowseTest, ALocatedNoteThatTheFilterLeavesOutGivesWayToTheNextOne) {
  AddNotes({{"apple"}, {"banana"}, {"berry"}, {"cherry", 80000, 0, 'Y'}, {"date", 80000, 0, 'Y'}});
  OpenBrowse(ListPlace::kPlain, [this](BrowseManager& b) {
    b.AddSortOrder(notes_decl_->FindKey("SNO:SNOT"));
    b.AddRange({&window_->archive_flag, 1, runtime::TypeCode::kString, 0});
    b.AddRange({&window_->no_date, 4, runtime::TypeCode::kLong, 0});
    b.AddLocator(true);
    b.SetFilter("UPPER(sno:TOPIC) <> 'BANANA'");
  });
  ASSERT_EQ(HighlightedTopic(), "apple");
  QTest::keyClick(Tree(), Qt::Key_C);
  Pump();
  EXPECT_EQ(HighlightedTopic(), "cherry");
  QTest::keyClick(Tree(), Qt::Key_B);
  Pump();
  EXPECT_EQ(HighlightedTopic(), "berry");
  EXPECT_THAT(window_->queue.Topics(), ::testing::ElementsAre("apple", "berry", "cherry", "date"));
}

TEST_F(BrowseTest, TheLocatorOfASortingOrderFindsTheFirstRowOfItsRun) {
  // Done notes by the Donyet key (done, reminder date), newest note first within a reminder date.
  AddNotes({{"n1", 80001, 5, 'N'},
            {"y1", 80001, 5, 'Y'},
            {"y3", 80003, 5, 'Y'},
            {"y2", 80002, 5, 'Y'},
            {"n2", 80002, 7, 'N'}});
  OpenBrowse(ListPlace::kPlain, [this](BrowseManager& b) {
    b.AddSortOrder(notes_decl_->FindKey("SNO:DONYET"), "-sno:notedate");
    b.AddLocator(true);
  });
  EXPECT_THAT(window_->queue.Topics(), ::testing::ElementsAre("n1", "n2", "y3", "y2", "y1"));
  QTest::keyClick(Tree(), Qt::Key_Y);
  Pump();
  EXPECT_EQ(HighlightedTopic(), "y3");
}

TEST(StepLocator, CharactersOfKeyCodes) {
  namespace key = runtime::key;
  EXPECT_EQ(StepLocator::CharacterOf(key::kA + 1), 'b');
  EXPECT_EQ(StepLocator::CharacterOf(key::kA + 1 + key::kShift), 'B');
  EXPECT_EQ(StepLocator::CharacterOf(key::k0 + 7), '7');
  EXPECT_EQ(StepLocator::CharacterOf(key::kSpace), ' ');
  EXPECT_EQ(StepLocator::CharacterOf(key::kA + key::kCtrl), 0);
  EXPECT_EQ(StepLocator::CharacterOf(key::kA + key::kAlt), 0);
  EXPECT_EQ(StepLocator::CharacterOf(key::kF1), 0);
  EXPECT_EQ(StepLocator::CharacterOf(key::kMouseRightUp), 0);
  EXPECT_EQ(StepLocator::CharacterOf(key::kDown), 0);
}

std::string RandomText(std::mt19937& rng) {
  static constexpr std::string_view kChars = " -09AZaz\xC4\xE4\xE9Mmq";
  std::string s;
  const size_t n = rng() % 6;
  for (size_t i = 0; i < n; ++i) s += kChars[rng() % kChars.size()];
  return s;
}

TEST(StringStepManager, PositionsFollowTheCollationOrderAndValuesMapBack) {
  std::mt19937 rng(11);
  for (uint8_t controls : {step_case::kExact, step_case::kNoCase}) {
    StringStepManager step;
    step.Init(controls, 3);
    step.SetLimits("Apple", "Zebra");
    EXPECT_EQ(step.GetPercentile("Apple"), 0);
    EXPECT_EQ(step.GetPercentile("Zebra"), 100);
    EXPECT_EQ(step.GetPercentile(""), 0);      // below the lowest
    EXPECT_EQ(step.GetPercentile("zz"), 100);  // above the highest
    EXPECT_NEAR(step.GetPercentile("Mango"), 48, 1);

    // Any two texts in the order's collation have positions in the same order.
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) texts.push_back(RandomText(rng));
    std::sort(texts.begin(), texts.end(), [&](const std::string& a, const std::string& b) {
      const runtime::Order o = controls == step_case::kNoCase ? runtime::CompareStringsNoCase(a, b)
                                                              : runtime::CompareStrings(a, b);
      return runtime::OrderSign(o) < 0;
    });
    for (size_t i = 1; i < texts.size(); ++i) {
      EXPECT_LE(step.GetPercentile(texts[i - 1]), step.GetPercentile(texts[i]))
          << "'" << texts[i - 1] << "' before '" << texts[i] << "'";
    }
    // The value for a position lies there (or, where no text that the order can hold does, at
    // the next), and values grow with their positions.
    std::string previous;
    for (int p = 0; p <= 100; ++p) {
      const std::string v = step.GetValue(p);
      EXPECT_GE(step.GetPercentile(v), p) << "'" << v << "'";
      EXPECT_LE(step.GetPercentile(v), p + 1) << "'" << v << "'";
      const runtime::Order o = controls == step_case::kNoCase
                                   ? runtime::CompareStringsNoCase(previous, v)
                                   : runtime::CompareStrings(previous, v);
      EXPECT_LE(runtime::OrderSign(o), 0) << "'" << previous << "' then '" << v << "'";
      previous = v;
    }
  }
  StringStepManager same;
  same.Init(step_case::kNoCase, 3);
  same.SetLimits("N", "N");
  EXPECT_EQ(same.GetPercentile("N"), 0);
  EXPECT_EQ(same.GetPercentile("n"), 0);
  EXPECT_EQ(same.GetPercentile("Y"), 100);
}

}  // namespace
}  // namespace pellucor::framework::testing
