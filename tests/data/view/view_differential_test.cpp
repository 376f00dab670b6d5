// Views against a brute-force reading: random note tables (duplicates, blank topics, dates 0,
// mixed letter case) and random filters of the forms the program writes (the tab filters, the
// query-by-example forms, comparisons, AND, OR, NOT), over each key of the notes table. The
// view's rows, read forwards and then backwards, must be the records for which the filter is
// true, in key order (equal key values in the order the records were added), leaving out the
// records the OPT key does not hold. A view whose filter is a pure key range reads no more
// records than the range holds, plus the one that ends it.
#include <algorithm>
#include <random>

#include "runtime/values/compare.h"
#include "tests/data/view/view_test_util.h"

namespace pellucor::data::view::test {
namespace {

namespace err = runtime::err;

struct Stored {
  Note note;
  int sequence = 0;  // order of adding = record number order
};

class Differential : public ::testing::Test {
 protected:
  ScratchCwd dir;
  CountingDriver driver;
  std::unique_ptr<FileDecl> notes = MakeNotesTable(&driver);
  std::vector<Stored> table;
  int32_t today = Today();

  void SetUp() override { ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText(); }
  void TearDown() override { (void)Dispatch(*notes, Op::kCLOSE); }

  void MakeTable(std::mt19937& rng, int n) {
    const std::vector<std::string> topics = {"Meeting", "meeting", "MEET Bob", "Memo", "",
                                             "apple",   "Apple",   "Zoo",      "me",   "Mex"};
    const std::string flags = "YNyN N";
    Bulk bulk(*notes);
    for (int i = 0; i < n; ++i) {
      Note x;
      x.topic = topics[rng() % topics.size()];
      x.reminder = flags[rng() % flags.size()];
      x.note_date = rng() % 5 == 0 ? 0 : today - 15 + static_cast<int32_t>(rng() % 30);
      x.reminder_date = rng() % 3 == 0 ? 0 : today - 6 + static_cast<int32_t>(rng() % 14);
      x.done = flags[rng() % flags.size()];
      x.memo = "id" + std::to_string(i) + (rng() % 2 ? " meeting notes" : " shopping");
      ASSERT_EQ(Add(*notes, x), 0);
      table.push_back({x, i});
    }
  }

  // The filter evaluated on every record, with the fields bound as the view binds them.
  std::vector<bool> Matches(const std::string& filter) {
    std::vector<bool> out;
    runtime::expr::PUSHSCOPE();
    uint8_t* r = notes->RecordBuffer();
    runtime::expr::BIND("SNO:TOPIC", runtime::TypeCode::kString, r + nr::kTopicOffset, 60);
    runtime::expr::BIND("SNO:REMINDER", runtime::TypeCode::kString, r + nr::kReminderOffset, 1);
    runtime::expr::BIND("SNO:NOTEDATE", runtime::TypeCode::kDate, r + nr::kNoteDateOffset, 4);
    runtime::expr::BIND("SNO:REMINDERDATE", runtime::TypeCode::kDate, r + nr::kReminderDateOffset,
                        4);
    runtime::expr::BIND("SNO:MAINMEMO", runtime::TypeCode::kString, r + nr::kMainMemoOffset, 5050);
    runtime::expr::BIND("SNO:DONE", runtime::TypeCode::kString, r + nr::kDoneOffset, 1);
    auto tree = filter.empty() ? nullptr : runtime::expr::CompileExpression(filter);
    runtime::expr::POPSCOPE();
    EXPECT_TRUE(filter.empty() || tree) << filter;
    for (const Stored& s : table) {
      Fill(*notes, s.note);
      out.push_back(!tree || runtime::expr::EvaluateBoolean(*tree));
    }
    return out;
  }

  // Key order: text without regard to case, dates as numbers, then the order of adding.
  static int CompareText(const std::string& a, const std::string& b) {
    return runtime::OrderSign(runtime::CompareStringsNoCase(a, b));
  }
  static bool Before(const Stored& a, const Stored& b, int key, bool notedate_desc) {
    auto three = [](int c) { return c; };
    int c = 0;
    auto num = [](int32_t x, int32_t y) { return x < y ? -1 : (x > y ? 1 : 0); };
    if (key == 0) {
      c = CompareText(std::string(1, a.note.reminder), std::string(1, b.note.reminder));
      if (!c) c = num(a.note.reminder_date, b.note.reminder_date);
      if (!c) c = CompareText(a.note.topic, b.note.topic);
    } else if (key == 1) {
      c = num(a.note.note_date, b.note.note_date);
    } else {
      c = CompareText(std::string(1, a.note.done), std::string(1, b.note.done));
      if (!c) c = num(a.note.reminder_date, b.note.reminder_date);
      if (!c && notedate_desc) c = -num(a.note.note_date, b.note.note_date);
    }
    if (three(c)) {
      return c < 0;
    }
    return a.sequence < b.sequence;
  }
  static bool InKey(const Note& n, int key) {
    auto blank = [](const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; };
    if (key == 0) return !(n.reminder == ' ' && n.reminder_date == 0 && blank(n.topic));
    if (key == 1) return n.note_date != 0;
    return !(n.done == ' ' && n.reminder_date == 0);
  }

  std::vector<std::string> Expected(const std::string& filter, int key, bool notedate_desc) {
    const std::vector<bool> m = Matches(filter);
    std::vector<Stored> rows;
    for (size_t i = 0; i < table.size(); ++i) {
      if (m[i] && InKey(table[i].note, key)) rows.push_back(table[i]);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Stored& a, const Stored& b) {
      return Before(a, b, key, notedate_desc);
    });
    std::vector<std::string> out;
    for (const Stored& s : rows) out.push_back(s.note.memo);
    return out;
  }

  // Reads the view forwards, then backwards from the end; returns the forward rows.
  std::vector<std::string> ViewRows(const std::string& filter, int key, bool notedate_desc,
                                    uint64_t* reads) {
    static const char* kKeys[] = {"SNO:SNOT", "SNO:ALLNOTES", "SNO:DONYET"};
    View v({notes.get(), {}, {}});
    EXPECT_EQ(v.Open(), 0);
    v.SetKey(notes->FindKey(kKeys[key]));
    v.SetFilter(filter);
    if (notedate_desc) {
      EXPECT_EQ(v.SetOrderText("+sno:done,+sno:reminderdate,-sno:notedate"), 0);
    }
    EXPECT_EQ(v.Set(), 0) << runtime::ErrorText();
    driver.Reset();
    std::vector<std::string> forward;
    while (v.Next() == 0) forward.push_back(Read(*notes).memo);
    EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
    *reads = driver.Reads();
    std::vector<std::string> backward;
    while (v.Previous() == 0) backward.push_back(Read(*notes).memo);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward) << "backwards differs";
    EXPECT_EQ(driver.Reads(), *reads) << "PREVIOUS read the file again";
    // Read from the end backwards on a fresh sequence: the same rows.
    EXPECT_EQ(v.Set(), 0);
    std::vector<std::string> from_end;
    while (v.Previous() == 0) from_end.push_back(Read(*notes).memo);
    std::reverse(from_end.begin(), from_end.end());
    EXPECT_EQ(from_end, forward) << "reading from the end differs";
    EXPECT_EQ(v.Close(), 0);
    return forward;
  }

  std::string RandomAtom(std::mt19937& rng) {
    const std::string d1 = std::to_string(today - 10 + static_cast<int32_t>(rng() % 20));
    const std::string d2 = std::to_string(today - 4 + static_cast<int32_t>(rng() % 8));
    const std::vector<std::string> atoms = {
        "(sno:done ='N' and sno:reminderdate='')",
        "(sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')",
        "(sno:done='Y')",
        "INSTRING('MEET',UPPER(sno:topic),1,1) <> 0",
        "INSTRING('meeting',sno:mainmemo,1,1) <> 0",
        "SUB(sno:topic,1,2) = 'Me'",
        "SUB(UPPER(sno:topic),1,3) = 'MEE'",
        "UPPER(sno:done) = 'Y'",
        "(UPPER(sno:reminder) = 'N')",
        "INSTRING('/',FORMAT(sno:notedate,@D17),1,1) <> 0",
        "sno:notedate >= " + d1,
        "sno:notedate < " + d1,
        "sno:reminderdate = " + d2,
        "sno:reminderdate > " + d2,
        "sno:reminder = 'Y'",
        "sno:reminder = 'Y' and sno:reminderdate = " + d2,
        "sno:done = 'N' and sno:reminderdate >= " + d2,
        "sno:topic >= 'M'",
        "sno:topic = 'Meeting'",
        "sno:reminder = 'N' and sno:reminderdate = '' and SUB(sno:topic,1,2) = 'Me'",
        "sno:reminder = 'N' and sno:reminderdate = 0 and sno:topic = ''",
        "sno:notedate = 0",
    };
    return atoms[rng() % atoms.size()];
  }
  std::string RandomFilter(std::mt19937& rng) {
    switch (rng() % 6) {
      case 0:
        return "";
      case 1:
        return RandomAtom(rng) + " AND " + RandomAtom(rng);
      case 2:
        return RandomAtom(rng) + " OR " + RandomAtom(rng);
      case 3:
        return "NOT (" + RandomAtom(rng) + ")";
      default:
        return RandomAtom(rng);
    }
  }
};

TEST_F(Differential, RandomFiltersOverEveryKeyMatchABruteForceReading) {
  std::mt19937 rng(20261208);
  MakeTable(rng, 400);
  for (int round = 0; round < 60; ++round) {
    const std::string filter = RandomFilter(rng);
    const int key = static_cast<int>(rng() % 3);
    const bool desc = key == 2 && rng() % 2;
    SCOPED_TRACE("key " + std::to_string(key) + (desc ? " -notedate" : "") + ": " + filter);
    uint64_t reads = 0;
    const std::vector<std::string> got = ViewRows(filter, key, desc, &reads);
    EXPECT_EQ(got, Expected(filter, key, desc));
    if (HasFailure()) break;
  }
}

TEST_F(Differential, PureKeyRangesReadOnlyTheirRecordsPlusOne) {
  std::mt19937 rng(77);
  MakeTable(rng, 500);
  const std::string d = std::to_string(today - 3);
  const std::string e = std::to_string(today + 2);
  struct Case {
    int key;
    std::string filter;  // what the view runs
    std::string range;   // the same range as the key sees it (letters without case)
  };
  const std::vector<Case> cases = {
      {1, "sno:notedate >= " + d + " and sno:notedate <= " + e,
       "sno:notedate >= " + d + " and sno:notedate <= " + e},
      {1, "sno:notedate > " + d, "sno:notedate > " + d},
      {2, "sno:done = 'Y'", "UPPER(sno:done) = 'Y'"},
      {2, "sno:done = 'N' and sno:reminderdate > '' and sno:reminderdate <= " + e,
       "UPPER(sno:done) = 'N' and sno:reminderdate > 0 and sno:reminderdate <= " + e},
      {0, "sno:reminder = 'Y' and sno:reminderdate = " + d,
       "UPPER(sno:reminder) = 'Y' and sno:reminderdate = " + d},
      {0, "sno:reminder = 'N' and sno:reminderdate = '' and SUB(sno:topic,1,2) = 'Me'",
       "UPPER(sno:reminder) = 'N' and sno:reminderdate = 0 and SUB(UPPER(sno:topic),1,2) = 'ME'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    uint64_t reads = 0;
    const std::vector<std::string> got = ViewRows(c.filter, c.key, false, &reads);
    EXPECT_EQ(got, Expected(c.filter, c.key, false));
    const std::vector<std::string> in_range = Expected(c.range, c.key, false);
    EXPECT_LE(reads, in_range.size() + 1);
    EXPECT_LT(in_range.size(), table.size() / 2);  // the range is a real restriction
  }
}

}  // namespace
}  // namespace pellucor::data::view::test
