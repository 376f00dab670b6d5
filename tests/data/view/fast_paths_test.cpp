// The two ways a view reads less than the plain plan would: entries a filter refuses on the key
// alone are passed over unread, and a large first run of a sorting view is read in a second
// key's order as far as the reader asks. Both must give exactly the rows and the order of the
// plain reading.
#include <algorithm>
#include <random>

#include "tests/data/view/view_test_util.h"

namespace pellucor::data::view::test {
namespace {

namespace err = runtime::err;

class FastPaths : public ::testing::Test {
 protected:
  ScratchCwd dir;
  CountingDriver driver;
  std::unique_ptr<FileDecl> notes = MakeNotesTable(&driver);
  std::vector<Note> added;

  void SetUp() override { ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText(); }
  void TearDown() override {
    if (notes->Block()) (void)Dispatch(*notes, Op::kCLOSE);
  }
  void AddAll(const std::vector<Note>& ns) {
    Bulk bulk(*notes);
    for (const Note& n : ns) {
      ASSERT_EQ(Add(*notes, n), 0);
      added.push_back(n);
    }
  }
};

// The Done Items tab: a first run of 600 done notes without a reminder date (note dates with
// many ties, some without a date), later runs by reminder date.
TEST_F(FastPaths, ALargeFirstRunComesInTheSortedOrderAndItsFirstPageReadsLittle) {
  std::mt19937 rng(7);
  std::vector<Note> ns;
  for (int i = 0; i < 900; ++i) {
    Note n;
    n.topic = "t" + std::to_string(i % 13);
    n.done = i % 3 == 0 ? 'N' : 'Y';
    n.reminder_date = i % 4 == 0 ? 2000 + static_cast<int32_t>(rng() % 5) : 0;
    n.note_date = rng() % 10 == 0 ? 0 : 1000 + static_cast<int32_t>(rng() % 40);
    n.memo = "n" + std::to_string(i);
    ns.push_back(n);
  }
  AddAll(ns);
  // The order the tab asks for; ties in the order of adding (the key's duplicates).
  std::vector<Note> expected;
  for (const Note& n : added)
    if (n.done == 'Y') expected.push_back(n);
  std::stable_sort(expected.begin(), expected.end(), [](const Note& a, const Note& b) {
    if (a.reminder_date != b.reminder_date) return a.reminder_date < b.reminder_date;
    return a.note_date > b.note_date;
  });
  size_t first_run = 0;
  while (first_run < expected.size() && expected[first_run].reminder_date == 0) ++first_run;
  ASSERT_GT(first_run, 300u);

  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(notes->FindKey("SNO:DONYET"));
  v.SetFilter("(sno:done='Y')");
  ASSERT_EQ(v.SetOrderText("+sno:done,+sno:reminderdate,-sno:notedate"), 0);
  ASSERT_EQ(v.Set(), 0);
  EXPECT_EQ(v.CurrentPlan().first_run_key, notes->FindKey("SNO:ALLNOTES"));
  driver.Reset();
  std::vector<std::string> got;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(v.Next(), 0) << i;
    got.push_back(Read(*notes).memo);
  }
  // A few groups of the note-date key, not the whole run.
  EXPECT_LT(driver.Reads(), first_run / 2);
  while (v.Next() == 0) got.push_back(Read(*notes).memo);
  EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
  std::vector<std::string> want;
  for (const Note& n : expected) want.push_back(n.memo);
  EXPECT_EQ(got, want);
  // Backwards from the end, and a position found again.
  std::vector<std::string> back;
  while (v.Previous() == 0) back.push_back(Read(*notes).memo);
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, want);
  ASSERT_EQ(v.Set(), 0);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(v.Next(), 0);
  const std::string pos = v.Position();
  const std::string memo = Read(*notes).memo;
  ASSERT_EQ(v.Set(), 0);
  ASSERT_EQ(v.Reset(pos), 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, memo);
}

// A "Begins" query on the topic, the third component of the NOCASE key SNOT: no range bounds it,
// but the entries decide it, so only the records that begin so are read.
TEST_F(FastPaths, APrefixOnANocaseComponentReadsOnlyMatchingRecords) {
  std::vector<Note> ns;
  const char* topics[] = {"Meeting", "meet Bob", "MEMO", "Mex", "apple", "zoo", "me"};
  for (int i = 0; i < 140; ++i) {
    Note n;
    n.topic = topics[i % 7];
    n.reminder = i % 2 ? 'Y' : 'N';
    n.reminder_date = i % 5 == 0 ? 0 : 3000 + i % 3;
    n.note_date = 1000 + i;
    n.memo = "b" + std::to_string(i);
    ns.push_back(n);
  }
  AddAll(ns);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(notes->FindKey("SNO:SNOT"));
  v.SetFilter("SUB(UPPER(sno:topic),1,3) = 'MEE' and sno:reminderdate <> 3001");
  ASSERT_EQ(v.Set(), 0);
  driver.Reset();
  std::vector<std::string> got = ReadForward(v, *notes);
  size_t matching = 0;
  for (const Note& n : added) {
    std::string up = n.topic.substr(0, 3);
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    matching += up == "MEE" && n.reminder_date != 3001;
  }
  EXPECT_EQ(got.size(), matching);
  // Every NEXT the view gives the driver returns a matching record, and one more ends the scan.
  EXPECT_EQ(driver.Reads(), matching + 1);
  for (const std::string& memo : got) {
    const Note& n = added[static_cast<size_t>(std::stoi(memo.substr(1)))];
    EXPECT_TRUE(n.topic == "Meeting" || n.topic == "meet Bob") << n.topic;
  }
}

}  // namespace
}  // namespace pellucor::data::view::test
