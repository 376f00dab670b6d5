// Two programs on one file: what one writes the other sees, watches, holds, table locks, the
// sharing classes of OPEN, and a writer killed in the middle of a commit.
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/fault_injection_env.h"
#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {

int RunSoakChild();         // soak_test.cpp
int RunTransactionChild();  // transaction_test.cpp

namespace {

namespace err = runtime::err;

constexpr int32_t kShared = 0x42;      // read and write, deny none
constexpr int32_t kReadShared = 0x40;  // read only, deny none

std::unique_ptr<FileDecl> Notes() {
  return MakeNotesTable(&KestruneDriverInstance());
}

uint32_t AddNote(FileDecl& f, const Note& n) {
  FillNote(f, n);
  EXPECT_EQ(Call(f, Op::kADD), 0) << runtime::ErrorText();
  return Pointer(f);
}

// ---- the child's side ----

int ChildMain(const std::string& role) {
  const int in = ChildIn(), out = ChildOut();
  auto notes = Notes();
  auto expect = [&](bool ok, const char* what) {
    if (!ok) WriteLine(out, std::string("failed ") + what + ": " + runtime::ErrorText());
    return ok;
  };
  if (role == "add") {
    if (!expect(Open(*notes, kShared) == 0, "open")) return 1;
    AddNote(*notes, {"from the child", 'N', 1, 1, 2026});
    WriteLine(out, "added " + std::to_string(Pointer(*notes)));
    ReadLine(in, 20000);
    return Call(*notes, Op::kCLOSE);
  }
  if (role == "change") {  // KD_ARG: the record to change
    if (!expect(Open(*notes, kShared) == 0, "open")) return 1;
    const uint32_t ptr = static_cast<uint32_t>(std::atoi(std::getenv("KD_ARG")));
    if (!expect(GetPtr(*notes, ptr) == 0, "get")) return 1;
    FillNote(*notes, {"changed by the child", 'N', 2, 2, 2026});
    if (!expect(Call(*notes, Op::kPUT) == 0, "put")) return 1;
    WriteLine(out, "changed");
    return Call(*notes, Op::kCLOSE);
  }
  if (role == "hold") {  // holds KD_ARG until told "release"
    if (!expect(Open(*notes, kShared) == 0, "open")) return 1;
    const uint32_t ptr = static_cast<uint32_t>(std::atoi(std::getenv("KD_ARG")));
    (void)Call(*notes, Op::kHOLDfile);
    if (!expect(GetPtr(*notes, ptr) == 0, "hold")) return 1;
    WriteLine(out, "held");
    const std::string what = ReadLine(in, 30000);
    if (what.rfind("sleep", 0) == 0) platform::SleepMilliseconds(std::atoi(what.c_str() + 5));
    (void)Call(*notes, Op::kRELEASE);
    WriteLine(out, "released");
    ReadLine(in, 30000);
    return Call(*notes, Op::kCLOSE);
  }
  if (role == "lock") {
    if (!expect(Open(*notes, kShared) == 0, "open")) return 1;
    if (!expect(Call(*notes, Op::kLOCKfile) == 0, "lock")) return 1;
    WriteLine(out, "locked");
    const std::string what = ReadLine(in, 30000);
    if (what.rfind("sleep", 0) == 0) platform::SleepMilliseconds(std::atoi(what.c_str() + 5));
    (void)Call(*notes, Op::kUNLOCK);
    WriteLine(out, "unlocked");
    ReadLine(in, 30000);
    return Call(*notes, Op::kCLOSE);
  }
  if (role == "open") {  // opens with the mode KD_ARG and stays until told
    const int32_t mode = std::atoi(std::getenv("KD_ARG"));
    if (!expect(Open(*notes, mode) == 0, "open")) return 1;
    WriteLine(out, "open");
    ReadLine(in, 30000);
    return Call(*notes, Op::kCLOSE);
  }
  if (role == "crash") {
    // The file layer stops at the KD_ARG-th write or flush of the ADD; the child says so and
    // waits to be killed, as if the machine had stopped there.
    static platform::FaultInjectionEnv env(platform::Env::Default());
    KestruneSettings s;
    s.env = &env;
    KestruneDriverInstance().SetSettings(s);
    if (!expect(Open(*notes, kShared) == 0, "open")) return 1;
    env.StopAt(env.operations() + static_cast<uint64_t>(std::atoi(std::getenv("KD_ARG"))));
    FillNote(*notes, {"the crash note", 'N', 9, 9, 2026});
    const int32_t e = Call(*notes, Op::kADD);
    WriteLine(out, e == 0 ? "added" : "stopped");
    ReadLine(in, 60000);
    return 0;
  }
  if (role == "soak") return RunSoakChild();
  if (role == "transaction") return RunTransactionChild();
  WriteLine(out, "unknown role");
  return 2;
}

// ---- the parent's side ----

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    auto notes = Notes();
    ASSERT_EQ(OpenOrCreate(*notes, kShared), 0);
    first = AddNote(*notes, {"first", 'N', 1, 1, 2026});
    ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  }
  ScratchCwd dir;
  uint32_t first = 0;
  std::string Arg(uint32_t v) { return "KD_ARG=" + std::to_string(v); }
};

TEST_F(Sharing, RecordAddedByOneIsSeenByTheOtherAtItsNextOperation) {
  auto notes = Notes();
  ASSERT_EQ(Open(*notes, kShared), 0);
  EXPECT_EQ(Records(*notes), 1);
  Child child("add");
  const std::string line = child.Read();
  ASSERT_EQ(line.rfind("added ", 0), 0u) << line;
  EXPECT_EQ(Records(*notes), 2);
  ASSERT_EQ(GetPtr(*notes, static_cast<uint32_t>(std::stoul(line.substr(6)))), 0);
  EXPECT_EQ(Topic(*notes), "from the child");
  // The key order sees it too.
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, 1), 0);
  int n = 0;
  while (Call(*notes, Op::kNEXT) == 0) ++n;
  EXPECT_EQ(n, 2);
  child.Send("quit");
  EXPECT_TRUE(child.ExitedCleanly());
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

TEST_F(Sharing, PutOfAWatchedRecordChangedElsewhereFails89) {
  auto notes = Notes();
  ASSERT_EQ(Open(*notes, kShared), 0);
  ASSERT_EQ(Call(*notes, Op::kWATCH), 0);
  ASSERT_EQ(GetPtr(*notes, first), 0);
  {
    Child child("change", {Arg(first)});
    EXPECT_EQ(child.Read(), "changed");
    EXPECT_TRUE(child.ExitedCleanly());
  }
  FillNote(*notes, {"changed by the parent", 'N', 3, 3, 2026});
  EXPECT_EQ(Call(*notes, Op::kPUT), err::kRecordChanged);
  ASSERT_EQ(GetPtr(*notes, first), 0);
  EXPECT_EQ(Topic(*notes), "changed by the child");
  // Without a watch the same PUT goes through.
  FillNote(*notes, {"changed by the parent", 'N', 3, 3, 2026});
  EXPECT_EQ(Call(*notes, Op::kPUT), 0);
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

TEST_F(Sharing, HoldWithATimeLimitGivesUpAndHoldWithoutOneWaits) {
  auto notes = Notes();
  ASSERT_EQ(Open(*notes, kShared), 0);
  Child child("hold", {Arg(first)});
  ASSERT_EQ(child.Read(), "held");
  OpArgs hold;
  hold.seconds = 2;
  ASSERT_EQ(Dispatch(*notes, Op::kHOLDfilesec, hold).error, 0);
  int64_t start = platform::MonotonicHundredths();
  EXPECT_EQ(GetPtr(*notes, first), err::kRecordHeld);
  int64_t taken = platform::MonotonicHundredths() - start;
  EXPECT_GE(taken, 190);
  EXPECT_LT(taken, 600);
  // A PUT of a record held elsewhere is refused with 5 (read without hold first).
  ASSERT_EQ(GetPtr(*notes, first), 0);
  EXPECT_EQ(Call(*notes, Op::kPUT), err::kAccessDenied);

  ASSERT_EQ(Call(*notes, Op::kHOLDfile), 0);
  child.Send("sleep700");
  start = platform::MonotonicHundredths();
  EXPECT_EQ(GetPtr(*notes, first), 0);
  taken = platform::MonotonicHundredths() - start;
  EXPECT_GE(taken, 50);
  EXPECT_EQ(child.Read(), "released");
  // Held here now: the child cannot take it (its PUT would fail), and PUT here works.
  FillNote(*notes, {"held and changed", 'N', 1, 1, 2026});
  EXPECT_EQ(Call(*notes, Op::kPUT), 0);
  child.Send("quit");
  EXPECT_TRUE(child.ExitedCleanly());
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

// Inside a transaction with changes this program holds every reader slot; the holder of a
// record may need them to finish, so a hold that cannot be had fails at once instead of waiting.
TEST_F(Sharing, HoldInsideATransactionWithChangesDoesNotWaitForever) {
  auto notes = Notes();
  ASSERT_EQ(Open(*notes, kShared), 0);
  Child child("hold", {Arg(first)});
  ASSERT_EQ(child.Read(), "held");
  ASSERT_EQ(Call(*notes, Op::kLOGOUT), 0);
  AddNote(*notes, {"in the transaction", 'N', 5, 5, 2026});
  ASSERT_EQ(Call(*notes, Op::kHOLDfile), 0);
  const int64_t start = platform::MonotonicHundredths();
  EXPECT_EQ(GetPtr(*notes, first), err::kRecordHeld);
  EXPECT_LT(platform::MonotonicHundredths() - start, 100);
  ASSERT_EQ(Call(*notes, Op::kCOMMIT), 0);
  child.Send("release");
  EXPECT_EQ(child.Read(), "released");
  child.Send("quit");
  EXPECT_TRUE(child.ExitedCleanly());
  EXPECT_EQ(Records(*notes), 2);
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

TEST_F(Sharing, TableLockOfAnotherProgramKeepsLockOutUntilItUnlocks) {
  auto notes = Notes();
  ASSERT_EQ(Open(*notes, kShared), 0);
  Child child("lock");
  ASSERT_EQ(child.Read(), "locked");
  OpArgs lock;
  lock.seconds = 1;
  int64_t start = platform::MonotonicHundredths();
  EXPECT_EQ(Dispatch(*notes, Op::kLOCKfilesec, lock).error, err::kFileLocked);
  EXPECT_GE(platform::MonotonicHundredths() - start, 95);
  child.Send("sleep500");
  start = platform::MonotonicHundredths();
  EXPECT_EQ(Call(*notes, Op::kLOCKfile), 0);  // waits until the child unlocks
  EXPECT_EQ(child.Read(), "unlocked");
  EXPECT_EQ(Call(*notes, Op::kUNLOCK), 0);
  child.Send("quit");
  EXPECT_TRUE(child.ExitedCleanly());
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

TEST_F(Sharing, SingleWriterKeepsWritersOutAndReadersInExclusiveKeepsEveryoneOut) {
  {
    Child single("open", {Arg(0x22)});
    ASSERT_EQ(single.Read(), "open");
    auto writer = Notes();
    EXPECT_EQ(Open(*writer, kShared), err::kAccessDenied);
    auto reader = Notes();
    ASSERT_EQ(Open(*reader, kReadShared), 0) << runtime::ErrorText();
    EXPECT_EQ(Records(*reader), 1);
    FillNote(*reader, {"x"});
    EXPECT_EQ(Call(*reader, Op::kADD), err::kAccessDenied);  // opened to read only
    EXPECT_EQ(Call(*reader, Op::kCLOSE), 0);
    single.Send("quit");
    EXPECT_TRUE(single.ExitedCleanly());
  }
  Child exclusive("open", {Arg(0x12)});
  ASSERT_EQ(exclusive.Read(), "open");
  auto reader = Notes();
  EXPECT_EQ(Open(*reader, kReadShared), err::kAccessDenied);
  exclusive.Send("quit");
  EXPECT_TRUE(exclusive.ExitedCleanly());
  EXPECT_EQ(Open(*reader, kReadShared), 0);
  EXPECT_EQ(Call(*reader, Op::kCLOSE), 0);
}

bool HeaderHasLog(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  uint8_t h[14] = {};
  const size_t got = f ? std::fread(h, 1, sizeof h, f) : 0;
  if (f) std::fclose(f);
  return got == sizeof h && std::memcmp(h + 6, h + 10, 4) != 0;
}

// A writer killed at every point of its commit: a reader reads through what it left, the next
// writer repairs it, and the record is there whole or not at all.
TEST_F(Sharing, WriterKilledDuringCommitLeavesALogTheNextWriterApplies) {
  int logs_seen = 0;
  for (int k = 1; k <= 9; ++k) {
    SCOPED_TRACE("stop at operation " + std::to_string(k));
    {
      Child child("crash", {Arg(static_cast<uint32_t>(k))});
      const std::string said = child.Read();
      ASSERT_TRUE(said == "stopped" || said == "added") << said;
      child.Kill();
      child.Wait();
    }
    const bool log = HeaderHasLog("plk.KSR");
    logs_seen += log ? 1 : 0;
    int64_t seen_by_reader = 0;
    {
      auto reader = Notes();
      ASSERT_EQ(Open(*reader, kReadShared), 0) << runtime::ErrorText();
      seen_by_reader = Records(*reader);
      EXPECT_EQ(Call(*reader, Op::kCLOSE), 0);
      EXPECT_EQ(HeaderHasLog("plk.KSR"), log);  // a reader leaves the log alone
    }
    auto writer = Notes();
    ASSERT_EQ(Open(*writer, kShared), 0);
    EXPECT_FALSE(HeaderHasLog("plk.KSR"));
    const int64_t records = Records(*writer);
    EXPECT_EQ(records, seen_by_reader);
    // The crash note is there whole, with its key entries, or not at all.
    FillNote(*writer, {"", ' ', 9, 9, 2026});
    const int32_t found = KeyOp(*writer, Op::kGETfilekey, 1);
    if (found == 0) {
      EXPECT_EQ(Topic(*writer), "the crash note");
      // Remove it again so that every round starts alike.
      EXPECT_EQ(Call(*writer, Op::kDELETE), 0);
    } else {
      EXPECT_EQ(records, 1);
    }
    EXPECT_EQ(Call(*writer, Op::kCLOSE), 0);
    EXPECT_EQ(CheckFile("plk.KSR"), "");
  }
  EXPECT_GT(logs_seen, 0) << "no stop fell between the log and its application";
}

}  // namespace

// The child entry: does nothing unless the parent started it with a role.
TEST(KdChild, Run) {
  const char* role = std::getenv("PELLUCOR_CHILD_ROLE");
  if (role == nullptr) GTEST_SKIP() << "the second program of the sharing tests";
  std::exit(ChildMain(role));
}

}  // namespace pellucor::data::kdtest
