// Key reads with an entry test: the driver reads each key entry back into the key's fields,
// lets the caller refuse it, and reads only the records of the entries the test lets through.
#include <string>
#include <vector>

#include "runtime/values/accessor.h"
#include "runtime/values/calendar.h"
#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {
namespace {

namespace err = runtime::err;

constexpr size_t kSnot = 0, kAllNotes = 1;

class EntryTests : public ::testing::Test {
 protected:
  ScratchCwd dir;
  std::unique_ptr<FileDecl> notes = MakeNotesTable(&KestruneDriverInstance());

  void SetUp() override {
    ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText();
    // SNOT order: reminder, reminder date, topic without regard to case.
    Add({"Meeting Bob", 'N', 2, 1, 2026, 0, 0, 0, "m1", 'N'});
    Add({"memo to self", 'N', 3, 1, 2026, 0, 0, 0, "m2", 'Y'});
    Add({"apple pie", 'N', 4, 1, 2026, 7, 1, 2026, "m3", 'N'});
    Add({"MEET again", 'y', 5, 1, 2026, 0, 0, 0, "m4", 'N'});
    Add({"zoo", 'Y', 6, 1, 2026, 9, 1, 2026, "m5", 'N'});
  }
  void TearDown() override {
    if (notes->Block()) (void)Call(*notes, Op::kCLOSE);
  }
  void Add(const Note& n) {
    FillNote(*notes, n);
    ASSERT_EQ(Call(*notes, Op::kADD), 0) << runtime::ErrorText();
  }
  std::string Field(uint32_t offset, uint32_t size) const {
    return {reinterpret_cast<const char*>(notes->RecordBuffer()) + offset, size};
  }
  int32_t Date(uint32_t offset) const {
    return runtime::AccessorFactory(runtime::TypeCode::kDate, notes->RecordBuffer() + offset, 4)
        ->GetInteger();
  }
  std::string Memo() const {
    std::string m = Field(nr::kMainMemoOffset, 8);
    return m.substr(0, m.find(' '));
  }
  int32_t Read(Op op, const EntryTest& test) {
    OpArgs a;
    a.entry_test = &test;
    return Dispatch(*notes, op, a).error;
  }
};

TEST_F(EntryTests, TheTestSeesTheKeyFieldsAndOnlyAcceptedRecordsAreRead) {
  std::vector<std::string> seen;
  EntryTest begins_mee;
  begins_mee.accept = [&] {
    // A NOCASE key gives its text upper-cased; the date comes back as it was stored.
    seen.push_back(Field(nr::kReminderOffset, 1) + "|" +
                   std::to_string(Date(nr::kReminderDateOffset)) + "|" +
                   Field(nr::kTopicOffset, 12));
    return Field(nr::kTopicOffset, 3) == "MEE";
  };
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kSnot), 0);
  std::vector<std::string> rows;
  // The buffer then holds the record as stored, not the entry's upper-cased text.
  while (Read(Op::kNEXT, begins_mee) == 0) rows.push_back(Memo() + " " + Topic(*notes));
  EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
  EXPECT_EQ(rows, (std::vector<std::string>{"m1 Meeting Bob", "m4 MEET again"}));
  const std::string jan7 = std::to_string(runtime::DayNumber(2026, 1, 7));
  const std::string jan9 = std::to_string(runtime::DayNumber(2026, 1, 9));
  EXPECT_EQ(seen, (std::vector<std::string>{"N|0|MEETING BOB ", "N|0|MEMO TO SELF",
                                            "N|" + jan7 + "|APPLE PIE   ", "Y|0|MEET AGAIN  ",
                                            "Y|" + jan9 + "|ZOO         "}));
}

TEST_F(EntryTests, ReadsGoOnFromTheAcceptedEntryBothWays) {
  EntryTest dated;
  dated.accept = [&] { return Date(nr::kReminderDateOffset) != 0; };
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kSnot), 0);
  ASSERT_EQ(Read(Op::kNEXT, dated), 0);
  EXPECT_EQ(Memo(), "m3");
  // Without a test the sequence goes on from there.
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Memo(), "m4");
  ASSERT_EQ(Read(Op::kPREVIOUS, dated), 0);
  EXPECT_EQ(Memo(), "m3");
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kSnot), 0);
  ASSERT_EQ(Read(Op::kPREVIOUS, dated), 0);
  EXPECT_EQ(Memo(), "m5");
}

TEST_F(EntryTests, AnEndWithoutAcceptedEntryLeavesTheFieldsAsTheyWere) {
  EntryTest none;
  int calls = 0;
  none.accept = [&] {
    ++calls;
    return false;
  };
  FillNote(*notes, {"left by the program", 'Q', 1, 1, 2001, 2, 2, 2002, "kept", 'N'});
  const std::string before(reinterpret_cast<const char*>(notes->RecordBuffer()), nr::kSize);
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kAllNotes), 0);
  EXPECT_EQ(Read(Op::kNEXT, none), err::kRecordNotAvailable);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(notes->RecordBuffer()), nr::kSize), before);
}

// A physical read has no key entry to test: every record is read, and the test is not asked.
TEST_F(EntryTests, PhysicalReadsIgnoreTheTest) {
  EntryTest never;
  never.accept = [] {
    ADD_FAILURE() << "asked on a physical read";
    return false;
  };
  ASSERT_EQ(Call(*notes, Op::kSETfile), 0);
  int n = 0;
  while (Read(Op::kNEXT, never) == 0) ++n;
  EXPECT_EQ(n, 5);
}

}  // namespace
}  // namespace pellucor::data::kdtest
