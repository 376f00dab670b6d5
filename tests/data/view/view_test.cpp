// The VIEW engine over real Kestrune files: key ranges from filters and prefix tests, joins, the
// row buffer (PREVIOUS without reads, the temporary file past 16384 bytes), restarts after a SET
// on the primary file, positions, orders no key gives, the state marks and the trace.
#include <fstream>
#include <regex>

#include "platform/fault_injection_env.h"
#include "tests/data/view/view_test_util.h"

namespace pellucor::data::view::test {
namespace {

namespace err = runtime::err;

// A notes table with one more key, on the topic alone, for the prefix tests.
std::unique_ptr<FileDecl> NotesByTopic(Driver* driver) {
  constexpr uint32_t kFlags = key_flag::kDup | key_flag::kOpt | key_flag::kNoCase;
  return DeclarationBuilder("Topics", "top", driver)
      .Name("plk\\!topics")
      .Attributes(decl_attr::kCreate)
      .String("TOPIC", 60)
      .String("REMINDER", 1)
      .Date("NOTEDATE")
      .Date("REMINDERDATE")
      .String("MAINMEMO", 5050)
      .String("DONE", 1)
      .Key("BYTOPIC", "top:bytopic", kFlags, {"TOPIC"})
      .Build();
}

class ViewTest : public ::testing::Test {
 protected:
  ScratchCwd dir;
  CountingDriver driver;
  std::unique_ptr<FileDecl> notes = MakeNotesTable(&driver);

  void SetUp() override { ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText(); }
  void TearDown() override {
    for (FileDecl* f : {notes.get()}) {
      if (f->Block()) (void)Dispatch(*f, Op::kCLOSE);
    }
  }
  const KeyDecl* Key(std::string_view label) { return notes->FindKey(label); }
  void AddNotes(int n) {
    Bulk bulk(*notes);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(Add(*notes, {"Topic " + std::to_string(i % 7), 'N', 80000 + i, 0,
                             "memo " + std::to_string(i), i % 3 == 0 ? 'Y' : 'N'}),
                0);
    }
  }
};

TEST_F(ViewTest, EmptyFileEndsAtFirstNextAndFirstPrevious) {
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:SNOT"));
  ASSERT_EQ(v.Set(), 0);
  EXPECT_EQ(v.Next(), err::kRecordNotAvailable);
  EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
  EXPECT_EQ(v.Previous(), err::kRecordNotAvailable);
  EXPECT_EQ(v.Position(), "");
  EXPECT_EQ(v.Close(), 0);
}

TEST_F(ViewTest, OpenMarksFilesInViewAndCloseEndsIt) {
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  EXPECT_TRUE(notes->Block()->state & state_bit::kInView);
  ASSERT_EQ(v.Close(), 0);
  EXPECT_FALSE(notes->Block()->state & state_bit::kInView);

  // A view over a file that is not open cannot be opened; NEXT without SETview ends at once.
  auto closed = MakeArchiveTable(&driver);
  View w({closed.get(), {}, {}});
  EXPECT_EQ(w.Open(), err::kFileNotOpen);
  EXPECT_EQ(w.Set(), err::kFileNotOpen);
  View u({notes.get(), {}, {}});
  ASSERT_EQ(u.Open(), 0);
  EXPECT_EQ(u.Next(), err::kRecordNotAvailable);
}

TEST_F(ViewTest, FilterErrorsAreReported) {
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetFilter("sno:nosuchfield = 1");
  EXPECT_EQ(v.Set(), runtime::expr::err::kNoBind);
  v.SetFilter("sno:done = ");
  EXPECT_EQ(v.Set(), runtime::expr::err::kInvalidEvaluate);
  EXPECT_EQ(v.SetOrderText("+sno:done,-sno:nothing"), err::kInvalidIndexString);
  v.SetFilter("(sno:done = 'Y')");
  EXPECT_EQ(v.Set(), 0);
}

TEST_F(ViewTest, PrefixTestOnTopicKeyReadsOnlyRecordsInItsRange) {
  auto topics = NotesByTopic(&driver);
  ASSERT_EQ(OpenOrCreate(*topics), 0) << runtime::ErrorText();
  const char* words[] = {"Meeting", "meet Bob", "MEEK", "Memo", "Apple",  "Zebra",
                         "Mee",     "Me",       "",     "Mex",  "Meeting"};
  int id = 0;
  {
    Bulk bulk(*topics);
    for (int round = 0; round < 20; ++round) {
      for (const char* w : words) {
        ASSERT_EQ(Add(*topics, {w, 'N', 0, 0, "n" + std::to_string(id++), 'N'}), 0);
      }
    }
  }
  View v({topics.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetFilter("SUB(top:topic,1,3) = 'Mee'");
  ASSERT_EQ(v.Set(), 0);
  EXPECT_EQ(v.CurrentPlan().key, topics->FindKey("TOP:BYTOPIC"));
  EXPECT_EQ(v.CurrentPlan().bounded_components, 1);
  driver.Reset();
  std::vector<std::string> got;
  while (v.Next() == 0) got.push_back(Read(*topics).topic);
  // Exactly the topics that begin with "Mee", in the key's order.
  ASSERT_EQ(got.size(), 60u);
  for (const std::string& t : got) EXPECT_EQ(t.substr(0, 3), "Mee");
  EXPECT_EQ(got.front(), "Mee");
  // The key ignores case: "meet Bob" and "MEEK" lie inside its range too, nothing else does;
  // one more read finds the end.
  EXPECT_LE(driver.Reads(), 100u + 1u);
  EXPECT_EQ(v.Close(), 0);
  (void)Dispatch(*topics, Op::kCLOSE);
}

TEST_F(ViewTest, BoundedKeyScanOfTheNoteKeys) {
  const int32_t today = Today();
  {
    Bulk bulk(*notes);
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(Add(*notes, {"Meeting " + std::to_string(i % 5), i % 2 ? 'Y' : 'N', today - i,
                             i % 4 ? 0 : today + (i % 9) - 4, "m" + std::to_string(i),
                             i % 3 == 0 ? 'Y' : 'N'}),
                0);
    }
  }
  struct Case {
    const char* key;
    std::string filter;
    int bounded;
    int matching;
  };
  const std::vector<Case> cases = {
      {"SNO:SNOT",
       "sno:reminder = 'N' and sno:reminderdate = '' and SUB(sno:topic,1,9) = 'Meeting 2'", 3, 0},
      {"SNO:ALLNOTES",
       "sno:notedate >= " + std::to_string(today - 20) + " and sno:notedate < " +
           std::to_string(today - 10),
       1, 10},
      {"SNO:DONYET", "(sno:done='Y')", 1, 100},
      {"SNO:DONYET", "sno:done='N' and sno:reminderdate > '' and sno:reminderdate <= today()+3", 2,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    View v({notes.get(), {}, {}});
    ASSERT_EQ(v.Open(), 0);
    v.SetKey(Key(c.key));
    v.SetFilter(c.filter);
    ASSERT_EQ(v.Set(), 0);
    EXPECT_EQ(v.CurrentPlan().bounded_components, c.bounded);
    // The matching records, counted the slow way.
    View all({notes.get(), {}, {}});
    ASSERT_EQ(all.Open(), 0);
    all.SetFilter(c.filter);
    ASSERT_EQ(all.Set(), 0);
    EXPECT_EQ(all.CurrentPlan().key == nullptr, c.bounded == 0);
    driver.Reset();
    const size_t rows = ReadForward(v, *notes).size();
    EXPECT_LE(driver.Reads(), rows + 1);
    if (c.matching > 0) {
      EXPECT_EQ(rows, static_cast<size_t>(c.matching));
    }
    EXPECT_EQ(v.Close(), 0);
  }
}

TEST_F(ViewTest, PreviousAfterNextsComesFromTheBufferWithoutDriverCalls) {
  AddNotes(40);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  std::vector<std::string> forward;
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(v.Next(), 0);
    forward.push_back(Read(*notes).memo);
  }
  driver.Reset();
  for (int i = 8; i >= 0; --i) {
    ASSERT_EQ(v.Previous(), 0);
    EXPECT_EQ(Read(*notes).memo, forward[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(v.Previous(), err::kRecordNotAvailable);  // before the first row, known
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(v.Next(), 0);
    EXPECT_EQ(Read(*notes).memo, forward[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(driver.Total(), 0u);
  // Reading on past the buffered rows goes back to the file.
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 10");
  EXPECT_GT(driver.Reads(), 0u);
}

TEST_F(ViewTest, RowsShownAgainComeBackAsReadNotAsTheProgramLeftThem) {
  // The row just fetched is shown from the record buffers themselves; once the program has
  // changed them, moving away and back must restore the row from the buffer.
  AddNotes(5);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  ASSERT_EQ(v.Next(), 0);
  ASSERT_EQ(v.Next(), 0);
  const std::string second = Read(*notes).memo;
  Fill(*notes, {"scribbled", 'Y', 1, 1, "scribbled", 'Y'});
  ASSERT_EQ(v.Previous(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 0");
  Fill(*notes, {"scribbled", 'Y', 1, 1, "scribbled", 'Y'});
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, second);
  ASSERT_EQ(v.Next(), 0);  // a fresh row again
  EXPECT_EQ(Read(*notes).memo, "memo 2");
}

TEST_F(ViewTest, RowsKeepTextsWhoseLastCharacterFallsAnywhere) {
  // Rows keep texts without their trailing blanks; the blanks are found in steps of 64, 32, 8
  // and 1 bytes, so the last character is put on either side of every step's boundary, and
  // blanks are put inside the text too.
  const std::vector<size_t> lengths = {0,  1,   7,   8,   9,   31,   32,   33,   63,   64,  65,
                                       96, 127, 128, 129, 200, 4985, 4986, 4987, 5049, 5050};
  std::vector<std::string> memos;
  {
    Bulk bulk(*notes);
    for (size_t i = 0; i < lengths.size(); ++i) {
      std::string memo(lengths[i], ' ');
      if (!memo.empty()) {
        memo.front() = 'a';
        memo.back() = 'z';
      }
      if (memo.size() > 40) memo[memo.size() / 2] = 'm';
      memos.push_back(memo);
      ASSERT_EQ(Add(*notes, {"t", 'N', 7000 + static_cast<int32_t>(i), 0, memo, 'N'}), 0);
    }
  }
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  for (size_t i = 0; i < memos.size(); ++i) {
    ASSERT_EQ(v.Next(), 0);
    EXPECT_EQ(Read(*notes).memo, memos[i]) << "length " << lengths[i];
  }
  EXPECT_EQ(v.Next(), err::kRecordNotAvailable);
  for (size_t i = memos.size(); i-- > 0;) {
    ASSERT_EQ(v.Previous(), 0);
    const uint8_t* memo = notes->RecordBuffer() + nr::kMainMemoOffset;
    std::string padded = memos[i];
    padded.resize(5050, ' ');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memo), 5050), padded)
        << "length " << lengths[i];
  }
}

TEST_F(ViewTest, BufferReadsAheadInPages) {
  AddNotes(40);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Buffer({5, 1, 2, 0}), 0);
  ASSERT_EQ(v.Set(), 0);
  driver.Reset();
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(v.BufferedRows(), 11u);  // the row asked for and two pages ahead
  const uint64_t reads = driver.Reads();
  for (int i = 1; i < 11; ++i) ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(driver.Reads(), reads);
  EXPECT_EQ(Read(*notes).memo, "memo 10");
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(v.BufferedRows(), 22u);
  EXPECT_EQ(runtime::ErrorCode(), 0);  // a row read clears the error state
}

TEST_F(ViewTest, SetOnThePrimaryFileRestartsTheSequence) {
  AddNotes(20);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 4");
  OpArgs args;
  args.key = Key("SNO:SNOT");
  ASSERT_EQ(Dispatch(*notes, Op::kSETkey, args).error, 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 0");
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 1");
  // Without a SET in between, the sequence goes on.
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 2");
}

TEST_F(ViewTest, InnerJoinDropsUnmatchedRowsAndOuterJoinKeepsThemCleared) {
  auto arc = MakeArchiveTable(&driver);
  ASSERT_EQ(OpenOrCreate(*arc), 0);
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(Add(*notes, {"note", 'N', 1000 + i, 0, "n" + std::to_string(i), 'N'}), 0);
  }
  // Archive notes on the dates of notes 1 (twice) and 4.
  for (int32_t date : {1001, 1004, 1001, 2000}) {
    ASSERT_EQ(Add(*arc, {"arc", 'N', date, 0, "a" + std::to_string(date), 'N'}), 0);
  }
  JoinDecl join;
  join.file = arc.get();
  join.key = arc->FindKey("ARC:ALLNOTES");
  join.links = {{notes.get(), 3}};  // sno:notedate
  auto rows_of = [&](JoinKind kind) {
    join.kind = kind;
    View v({notes.get(), {}, {join}});
    EXPECT_EQ(v.Open(), 0);
    v.SetKey(Key("SNO:ALLNOTES"));
    EXPECT_EQ(v.Set(), 0);
    std::vector<std::string> out;
    while (v.Next() == 0) out.push_back(Read(*notes).memo + "/" + Read(*arc).memo);
    // Backwards the same rows come out reversed, from the buffer.
    std::vector<std::string> back;
    while (v.Previous() == 0) back.push_back(Read(*notes).memo + "/" + Read(*arc).memo);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, out);
    return out;
  };
  EXPECT_EQ(rows_of(JoinKind::kInner),
            (std::vector<std::string>{"n1/a1001", "n1/a1001", "n4/a1004"}));
  EXPECT_EQ(rows_of(JoinKind::kOuter), (std::vector<std::string>{"n0/", "n1/a1001", "n1/a1001",
                                                                 "n2/", "n3/", "n4/a1004", "n5/"}));
  (void)Dispatch(*arc, Op::kCLOSE);
}

TEST_F(ViewTest, JoinRowsResumeAtTheirPositions) {
  auto arc = MakeArchiveTable(&driver);
  ASSERT_EQ(OpenOrCreate(*arc), 0);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Add(*notes, {"note", 'N', 1000 + i, 0, "n" + std::to_string(i), 'N'}), 0);
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(Add(*arc, {"arc", 'N', 1000 + i, 0, "a" + std::to_string(i * 10 + k), 'N'}), 0);
    }
  }
  JoinDecl join{arc.get(), arc->FindKey("ARC:ALLNOTES"), {{notes.get(), 3}}, JoinKind::kInner, {},
                {}};
  View v({notes.get(), {}, {join}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*arc).memo, "a11");
  const std::string pos = v.Position();
  ASSERT_FALSE(pos.empty());
  ASSERT_EQ(v.Reset(pos), 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo + Read(*arc).memo, "n1a11");
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*arc).memo, "a12");
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*arc).memo, "a20");
  // Back past the row the reset started at: the files are read backwards from there.
  for (const char* want : {"a12", "a11", "a10", "a2", "a1", "a0"}) {
    ASSERT_EQ(v.Previous(), 0);
    EXPECT_EQ(Read(*arc).memo, want);
  }
  EXPECT_EQ(v.Previous(), err::kRecordNotAvailable);
  (void)Dispatch(*arc, Op::kCLOSE);
}

TEST_F(ViewTest, PositionResetAndResetViewFile) {
  AddNotes(30);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  v.SetFilter("sno:done = 'N'");
  ASSERT_EQ(v.Set(), 0);
  std::vector<std::string> rows = ReadForward(v, *notes);
  ASSERT_EQ(rows.size(), 20u);
  ASSERT_EQ(v.Set(), 0);
  for (int i = 0; i < 7; ++i) ASSERT_EQ(v.Next(), 0);
  const std::string pos = v.Position();
  ASSERT_EQ(v.Set(), 0);
  ASSERT_EQ(v.Reset(pos), 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, rows[6]);
  ASSERT_EQ(v.Reset(pos), 0);
  ASSERT_EQ(v.Previous(), 0);
  EXPECT_EQ(Read(*notes).memo, rows[6]);
  ASSERT_EQ(v.Previous(), 0);
  EXPECT_EQ(Read(*notes).memo, rows[5]);
  EXPECT_EQ(v.Reset(std::string(40, ' ')), err::kRecordNotFound);

  // From the primary file's current record: a note read by its key.
  Fill(*notes, {"", ' ', 80000 + 10, 0, "", ' '});
  OpArgs get;
  get.key = Key("SNO:ALLNOTES");
  ASSERT_EQ(Dispatch(*notes, Op::kGETfilekey, get).error, 0);
  ASSERT_EQ(v.ResetViewFile(), 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 10");
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, "memo 11");
}

TEST_F(ViewTest, DoneItemsOrderIsKeyThenNoteDateNewestFirst) {
  // Runs of equal (done, reminder date) in the key; note dates within a run shuffled.
  int id = 0;
  for (int rem : {0, 500, 300}) {
    for (int nd : {5, 9, 1, 7, 3}) {
      ASSERT_EQ(Add(*notes, {"t", 'N', 1000 + nd, rem, "x" + std::to_string(id++), 'Y'}), 0);
    }
  }
  for (int i = 0; i < 50; ++i) ASSERT_EQ(Add(*notes, {"t", 'N', 1, 1, "open", 'N'}), 0);
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:DONYET"));
  v.SetFilter("(sno:done='Y')");
  ASSERT_EQ(v.SetOrderText("+sno:done,+sno:reminderdate,-sno:notedate"), 0);
  ASSERT_EQ(v.Set(), 0);
  EXPECT_TRUE(v.CurrentPlan().sorts);
  EXPECT_EQ(v.CurrentPlan().key_order_components, 2);
  driver.Reset();
  // The first page needs only the first run and the row that ends it.
  ASSERT_EQ(v.Next(), 0);
  EXPECT_LE(driver.Reads(), 6u);
  std::vector<std::pair<int32_t, int32_t>> got;
  do {
    const Note n = Read(*notes);
    got.emplace_back(n.reminder_date, n.note_date);
  } while (v.Next() == 0);
  ASSERT_EQ(got.size(), 15u);
  for (size_t i = 1; i < got.size(); ++i) {
    const bool ordered = got[i - 1].first < got[i].first ||
                         (got[i - 1].first == got[i].first && got[i - 1].second > got[i].second);
    EXPECT_TRUE(ordered) << i;
  }
  // The same order as the tab gives it: the key, then its added order.
  View tab({notes.get(), {}, {}});
  ASSERT_EQ(tab.Open(), 0);
  tab.SetKey(Key("SNO:DONYET"));
  tab.SetFilter("(sno:done='Y')");
  ASSERT_EQ(tab.AddOrderText("-sno:notedate"), 0);
  ASSERT_EQ(tab.Order().size(), 3u);
  ASSERT_EQ(tab.Set(), 0);
  for (const auto& [reminder_date, note_date] : got) {
    ASSERT_EQ(tab.Next(), 0);
    EXPECT_EQ(Read(*notes).reminder_date, reminder_date);
    EXPECT_EQ(Read(*notes).note_date, note_date);
  }
  EXPECT_EQ(tab.Next(), err::kRecordNotAvailable);
  // PREVIOUS first on a sorting view gives the last row.
  ASSERT_EQ(v.Set(), 0);
  ASSERT_EQ(v.Previous(), 0);
  EXPECT_EQ(Read(*notes).reminder_date, 500);
  EXPECT_EQ(Read(*notes).note_date, 1001);
  // A position in a sorting view finds its row again.
  ASSERT_EQ(v.Set(), 0);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(v.Next(), 0);
  const Note eighth = Read(*notes);
  const std::string pos = v.Position();
  ASSERT_EQ(v.Set(), 0);
  ASSERT_EQ(v.Reset(pos), 0);
  ASSERT_EQ(v.Next(), 0);
  EXPECT_EQ(Read(*notes).memo, eighth.memo);
}

TEST_F(ViewTest, OrderNoKeyGivesIsSorted) {
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(Add(*notes, {"T" + std::to_string((i * 7) % 13), 'N', 100 + (i * 11) % 17, 0,
                           "m" + std::to_string(i), 'N'}),
              0);
  }
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  ASSERT_EQ(v.SetOrderText("-sno:notedate, +UPPER(sno:topic)"), 0);
  ASSERT_EQ(v.Set(), 0);
  EXPECT_EQ(v.CurrentPlan().key, nullptr);
  EXPECT_TRUE(v.CurrentPlan().sorts);
  std::vector<Note> rows;
  while (v.Next() == 0) rows.push_back(Read(*notes));
  ASSERT_EQ(rows.size(), 40u);
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_GE(rows[i - 1].note_date, rows[i].note_date);
    if (rows[i - 1].note_date == rows[i].note_date) {
      EXPECT_LE(rows[i - 1].topic, rows[i].topic);
    }
  }
}

TEST_F(ViewTest, LocatorStartsAtTheBufferValues) {
  AddNotes(30);
  for (bool sorting : {false, true}) {
    SCOPED_TRACE(sorting);
    View v({notes.get(), {}, {}});
    ASSERT_EQ(v.Open(), 0);
    v.SetKey(Key("SNO:ALLNOTES"));
    if (sorting) {
      ASSERT_EQ(v.SetOrderText("+sno:notedate,-sno:topic"), 0);
    }
    Fill(*notes, {"", ' ', 80000 + 12, 0, "", ' '});
    ASSERT_EQ(v.Set(1), 0);
    ASSERT_EQ(v.Next(), 0);
    EXPECT_EQ(Read(*notes).memo, "memo 12");
    ASSERT_EQ(v.Previous(), 0);
    EXPECT_EQ(Read(*notes).memo, "memo 11");
    // A start beyond every row: nothing forwards, the last row backwards.
    Fill(*notes, {"", ' ', 90000, 0, "", ' '});
    ASSERT_EQ(v.Set(1), 0);
    EXPECT_EQ(v.Next(), err::kRecordNotAvailable);
    ASSERT_EQ(v.Previous(), 0);
    EXPECT_EQ(Read(*notes).memo, "memo 29");
  }
}

TEST_F(ViewTest, RowBufferSpillsPastItsMemoryAndReadsBack) {
  // Whole records of about 400 bytes: the buffer outgrows 16384 bytes after some forty rows.
  {
    Bulk bulk(*notes);
    for (int i = 0; i < 120; ++i) {
      ASSERT_EQ(
          Add(*notes, {"t", 'N', 5000 + i, 0,
                       "row " + std::to_string(i) + " " + std::string(380, 'a' + i % 26), 'N'}),
          0);
    }
  }
  View v({notes.get(), {}, {}});
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  std::vector<std::string> forward;
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(v.Next(), 0);
    forward.push_back(Read(*notes).memo);
  }
  EXPECT_FALSE(v.BufferSpilled());
  while (v.Next() == 0) forward.push_back(Read(*notes).memo);
  ASSERT_EQ(forward.size(), 120u);
  ASSERT_TRUE(v.BufferSpilled());
  const std::string tmp = v.TemporaryFile();
  EXPECT_EQ(std::filesystem::path(tmp).filename().string().substr(0, 3), "TMP");
  EXPECT_GE(std::filesystem::file_size(tmp), 16384u);
  driver.Reset();
  for (int i = 119; i >= 0; --i) {
    ASSERT_EQ(v.Previous(), 0);
    ASSERT_EQ(Read(*notes).memo, forward[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(driver.Total(), 0u);
  ASSERT_EQ(v.Close(), 0);
  EXPECT_FALSE(std::filesystem::exists(tmp));
}

TEST_F(ViewTest, FailedWriteOfTheTemporaryFileFailsTheRead) {
  {
    Bulk bulk(*notes);
    for (int i = 0; i < 80; ++i) {
      ASSERT_EQ(
          Add(*notes, {"t", 'N', 5000 + i, 0, std::to_string(i) + std::string(1000, 'x'), 'N'}), 0);
    }
  }
  platform::FaultInjectionEnv env(platform::Env::Default());
  env.StopAt(2);  // the memory contents go out, the first full chunk does not
  View v({notes.get(), {}, {}});
  v.SetEnv(&env);
  ASSERT_EQ(v.Open(), 0);
  v.SetKey(Key("SNO:ALLNOTES"));
  ASSERT_EQ(v.Set(), 0);
  int32_t e = 0;
  int rows = 0;
  while ((e = v.Next()) == 0) ++rows;
  EXPECT_EQ(e, err::kFileSystemError);
  EXPECT_LT(rows, 80);
  EXPECT_EQ(v.Next(), err::kFileSystemError);
  ASSERT_EQ(v.Close(), 0);
}

TEST_F(ViewTest, TraceWritesOneLinePerOperation) {
  {
    std::ofstream ini(dir.path() + "/system.ini");
    ini << "[QNVIEW]\nProfile=1\nTraceFile=" << dir.path() << "/v.log\n";
  }
  AddNotes(3);
  {
    View v({notes.get(), {}, {}});
    ASSERT_EQ(v.Open(), 0);
    v.SetKey(Key("SNO:ALLNOTES"));
    ASSERT_EQ(v.Set(), 0);
    while (v.Next() == 0) {
    }
    ASSERT_EQ(v.Close(), 0);
  }
  std::ifstream in(dir.path() + "/v.log");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("VIEW(SNotes)\r\n"), std::string::npos) << text;
  const std::regex line(R"(VIEW:[0-9A-F]+:NEXT {20}=> 0 Time Taken: \d+\.\d\d secs\r)");
  const std::regex end(
      R"(VIEW:[0-9A-F]+:NEXT {20}Error: Record Not Available Time Taken: \d+\.\d\d secs\r)");
  int ok = 0, ends = 0;
  std::istringstream lines(text);
  for (std::string l; std::getline(lines, l);) {
    ok += std::regex_match(l, line);
    ends += std::regex_match(l, end);
  }
  EXPECT_EQ(ok, 3);
  EXPECT_EQ(ends, 1);
  EXPECT_NE(text.find(":SETview"), std::string::npos);
  EXPECT_NE(text.find(":CLOSE"), std::string::npos);
}

}  // namespace
}  // namespace pellucor::data::view::test
