// The driver entry's behaviour: preconditions, state changes and the life of the file block,
// seen through a stand-in driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "data/driver/driver.h"
#include "runtime/core/error_state.h"
#include "tests/data/driver/test_driver.h"

namespace pellucor::data {
namespace {

namespace sb = state_bit;
using testing::TestDriver;

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-test-system.ini", 1);
    decl = DeclarationBuilder("Things", "tst", &driver)
               .Name("things.dat")
               .Attributes(decl_attr::kCreate)
               .String("NAME", 10)
               .Long("COUNT")
               .Key("BYNAME", "tst:byname", key_flag::kNoCase, {"NAME"})
               .Key("BYCOUNT", "tst:bycount", key_flag::kIndex, {"-COUNT"})
               .Build();
    runtime::ClearError();
  }
  int32_t Run(Op op, const KeyDecl* key = nullptr, int32_t mode = 0) {
    OpArgs args;
    args.key = key;
    args.mode = mode;
    return Dispatch(*decl, op, args).error;
  }
  int32_t Open(int32_t mode = 0x22) { return Run(Op::kOPEN, nullptr, mode); }
  uint32_t State() { return decl->Block() ? decl->Block()->state : 0; }
  void AddRecords(int n) {
    for (int i = 0; i < n; ++i) driver.records.push_back(std::string(14, char('a' + i)));
  }

  TestDriver driver;
  std::unique_ptr<FileDecl> decl;
};

TEST_F(DispatchTest, SequenceNeedsASetAndACurrentRecord) {
  AddRecords(2);
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(Run(Op::kNEXT), 33);  // NEXT after OPEN without SET
  EXPECT_EQ(runtime::ErrorCode(), 33);
  EXPECT_EQ(runtime::Errors().file, decl.get());
  EXPECT_EQ(Run(Op::kPUT), 33);
  EXPECT_EQ(Run(Op::kDELETE), 33);
  // The refused NEXT never reached the driver.
  EXPECT_EQ(std::count(driver.handled.begin(), driver.handled.end(), Op::kNEXT), 0);

  ASSERT_EQ(Run(Op::kSETkey, decl->Key(0)), 0);
  EXPECT_EQ(State() & sb::kNewSequence, sb::kNewSequence);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  EXPECT_EQ(decl->RecordBuffer()[0], 'a');
  EXPECT_EQ(runtime::ErrorCode(), 0);  // a success clears the error state
  EXPECT_EQ(Run(Op::kPUT), 0);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  // Running off the end leaves no record current and the sequence unset.
  EXPECT_EQ(Run(Op::kNEXT), 33);
  EXPECT_EQ(State() & (sb::kCurrent | sb::kSequence), 0u);
  EXPECT_EQ(Run(Op::kPUT), 33);
}

TEST_F(DispatchTest, AccessModeDecidesWritesAndExclusiveOperations) {
  ASSERT_EQ(Open(0x40), 0);  // read only, deny none
  EXPECT_EQ(State() & (sb::kWritable | sb::kExclusive), 0u);
  driver.records.push_back(std::string(14, 'x'));
  ASSERT_EQ(Run(Op::kSETkey, decl->Key(0)), 0);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  EXPECT_EQ(Run(Op::kPUT), 5);  // read only
  EXPECT_EQ(Run(Op::kADD), 5);
  ASSERT_EQ(Run(Op::kCLOSE), 0);

  ASSERT_EQ(Open(0x42), 0);  // read and write, deny none: shared
  EXPECT_EQ(Run(Op::kBUILDkey, decl->Key(0)), 63);
  EXPECT_EQ(Run(Op::kADD), 0);
  // LOCK makes a shared file exclusive while it is locked, and only while it is.
  driver.lock_path = ::testing::TempDir() + "dispatch_lock";
  ASSERT_EQ(Run(Op::kLOCKfile), 0);
  EXPECT_EQ(Run(Op::kBUILDkey, decl->Key(0)), 0);
  ASSERT_EQ(Run(Op::kUNLOCK), 0);
  EXPECT_EQ(Run(Op::kBUILDkey, decl->Key(0)), 63);
  ASSERT_EQ(Run(Op::kCLOSE), 0);

  ASSERT_EQ(Open(0x12), 0);  // read and write, deny all
  EXPECT_EQ(Run(Op::kBUILDkey, decl->Key(0)), 0);
}

TEST_F(DispatchTest, OpenCloseAndTransactions) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(Open(), 52);
  EXPECT_EQ(State() & sb::kOpen, sb::kOpen);  // still open: the refusal keeps the block
  ASSERT_EQ(Run(Op::kLOGOUT), 0);
  EXPECT_EQ(Run(Op::kLOGOUT), 56);
  EXPECT_EQ(Run(Op::kCLOSE), 56);
  ASSERT_NE(decl->Block(), nullptr);
  EXPECT_EQ(State() & sb::kOpen, sb::kOpen);
  ASSERT_EQ(Run(Op::kCOMMIT), 0);
  EXPECT_EQ(Run(Op::kCOMMIT), -1);  // no LOGOUT active: refused without a word
  EXPECT_EQ(Run(Op::kCLOSE), 0);
  EXPECT_EQ(decl->Block(), nullptr);  // CLOSE leaves no block
  EXPECT_EQ(Run(Op::kCLOSE), 37);
  EXPECT_EQ(decl->Block(), nullptr);  // nor does a failure with 37
}

TEST_F(DispatchTest, BlockLife) {
  EXPECT_EQ(Run(Op::kNEXT), 37);
  EXPECT_EQ(decl->Block(), nullptr);

  driver.open_error = 2;
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(runtime::ErrorText().substr(0, 14), "File Not Found");
  EXPECT_EQ(decl->Block(), nullptr);  // a failed OPEN discards the block
  driver.open_error = 0;

  // An idle block is made anew before OPEN, so that a changed name variable is seen.
  char name[12] = "first.dat  ";
  auto named =
      DeclarationBuilder("Named", "nam", &driver).NameVariable(name, 11).String("X", 4).Build();
  OpArgs args;
  EXPECT_EQ(Dispatch(*named, Op::kNAME, args).text, "first.dat");
  std::memcpy(name, "second.dat ", 11);
  EXPECT_EQ(Dispatch(*named, Op::kNAME, args).text, "second.dat");
  const int made = driver.blocks_made;
  args.mode = 0x22;
  ASSERT_EQ(Dispatch(*named, Op::kOPEN, args).error, 0);
  EXPECT_EQ(driver.blocks_made, made + 1);
  std::memcpy(name, "third.dat  ", 11);
  EXPECT_EQ(Dispatch(*named, Op::kNAME, args).text, "second.dat");  // open: the block stays

  // A block that cannot be made leaves the file without one and posts the error.
  auto other = DeclarationBuilder("Other", "oth", &driver).Name("o").String("X", 4).Build();
  driver.create_error = 47;
  EXPECT_EQ(Dispatch(*other, Op::kNEXT).error, 47);
  EXPECT_EQ(other->Block(), nullptr);
  EXPECT_EQ(runtime::ErrorCode(), 47);
}

TEST_F(DispatchTest, ErrorsDecidedBeforeTheDriver) {
  auto nameless = DeclarationBuilder("Nameless", "nl", &driver).Name("").String("X", 4).Build();
  OpArgs args;
  EXPECT_EQ(Dispatch(*nameless, Op::kOPEN, args).error, 45);
  EXPECT_EQ(Dispatch(*nameless, Op::kCREATE, args).error, 54);  // no CREATE attribute
  EXPECT_EQ(Run(Op::kCREATE), 0);
  EXPECT_EQ(decl->Block(), nullptr);  // CREATE leaves no block

  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(Run(Op::kCREATE), 52);
  EXPECT_EQ(Run(Op::kSETkey, nameless->Key(0)), 38);  // no key: a key operation needs one
  auto more = DeclarationBuilder("More", "mor", &driver)
                  .Name("m")
                  .String("X", 4)
                  .Key("K", "mor:k", 0, {"X"})
                  .Build();
  EXPECT_EQ(Run(Op::kSETkey, more->Key(0)), 38);  // a key of another file
  // An INDEX must be built before it is used, and is built until the file is closed.
  EXPECT_EQ(Run(Op::kSETkey, decl->Key(1)), 46);
  ASSERT_EQ(Run(Op::kBUILDdyn, decl->Key(1)), 0);
  EXPECT_EQ(Run(Op::kSETkey, decl->Key(1)), 0);
  ASSERT_EQ(Run(Op::kCLOSE), 0);
  ASSERT_EQ(Open(0x12), 0);
  EXPECT_EQ(Run(Op::kSETkey, decl->Key(1)), 46);
  ASSERT_EQ(Run(Op::kBUILDkey, decl->Key(1)), 0);
  EXPECT_EQ(Run(Op::kSETkey, decl->Key(1)), 0);

  // A driver answers 80 to what it does not implement, and that is posted.
  EXPECT_EQ(Run(Op::kPACK), 80);
  EXPECT_EQ(runtime::ErrorText().substr(0, 32), "Unsupported File Driver Function");
  // RESET and REGET need a position; all blanks is none.
  OpArgs reset;
  reset.position = "    ";
  EXPECT_EQ(Dispatch(*decl, Op::kRESETfile, reset).error, 35);
  // INVIEW twice fails silently: nothing is posted, the last error is 0.
  runtime::ClearError();
  ASSERT_EQ(Run(Op::kINVIEW), 0);
  EXPECT_EQ(State() & sb::kInView, sb::kInView);
  EXPECT_EQ(Run(Op::kINVIEW), -1);
  EXPECT_EQ(runtime::ErrorCode(), 0);
  EXPECT_EQ(decl->Block()->last_error, 0);
  ASSERT_EQ(Run(Op::kENDVIEW), 0);
  EXPECT_EQ(State() & sb::kInView, 0u);
  // While a build runs, only a few operations pass.
  decl->Block()->state |= sb::kBuildRunning;
  EXPECT_EQ(Run(Op::kSETfile), 92);
  EXPECT_EQ(Run(Op::kCLOSE), 0);
}

TEST_F(DispatchTest, EofOnAFileNeverSetIsTrueAndPosts33) {
  ASSERT_EQ(Open(), 0);
  OpArgs args;
  const OpResult r = Dispatch(*decl, Op::kEOF, args);
  EXPECT_EQ(r.error, 33);
  EXPECT_EQ(r.value, 1);
  EXPECT_EQ(runtime::ErrorCode(), 33);
  // BOF has no driver support here: it fails with 80 and still answers true.
  ASSERT_EQ(Run(Op::kSETfile), 0);
  const OpResult bof = Dispatch(*decl, Op::kBOF, args);
  EXPECT_EQ(bof.error, 80);
  EXPECT_EQ(bof.value, 1);
}

TEST_F(DispatchTest, HoldAndWatchArisesOnlyFromASuccessfulRead) {
  AddRecords(1);
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(Run(Op::kSETfile), 0);
  ASSERT_EQ(Run(Op::kHOLDfile), 0);
  EXPECT_EQ(State() & (sb::kHoldRequested | sb::kHeld), sb::kHoldRequested);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  EXPECT_EQ(State() & sb::kHeld, sb::kHeld);
  EXPECT_EQ(State() & sb::kHoldRequested, 0u);
  ASSERT_EQ(Run(Op::kRELEASE), 0);
  EXPECT_EQ(State() & sb::kHeld, 0u);

  for (Op ends_hold : {Op::kPUT, Op::kADD}) {
    ASSERT_EQ(Run(Op::kSETfile), 0);
    ASSERT_EQ(Run(Op::kHOLDfile), 0);
    ASSERT_EQ(Run(Op::kWATCH), 0);
    ASSERT_EQ(Run(Op::kNEXT), 0);
    EXPECT_EQ(State() & (sb::kHeld | sb::kWatched), sb::kHeld | sb::kWatched);
    ASSERT_EQ(Run(ends_hold), 0);
    EXPECT_EQ(State() & (sb::kHeld | sb::kWatched), 0u) << OpName(ends_hold);
  }

  // A hold followed by a failed read leaves nothing held, nor a request for the read after.
  ASSERT_EQ(driver.records.size(), 2u);  // the one added above
  ASSERT_EQ(Run(Op::kSETfile), 0);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  ASSERT_EQ(Run(Op::kNEXT), 0);
  ASSERT_EQ(Run(Op::kHOLDfile), 0);
  ASSERT_EQ(Run(Op::kWATCH), 0);
  EXPECT_EQ(Run(Op::kNEXT), 33);
  EXPECT_EQ(State() & (sb::kHeld | sb::kHoldRequested | sb::kWatched | sb::kWatchRequested), 0u);
}

TEST_F(DispatchTest, LayerAnswersWithoutTheDriver) {
  EXPECT_EQ(Run(Op::kSETview), 37);  // a view needs an open file
  const int made = driver.blocks_made;
  OpArgs args;
  EXPECT_EQ(Dispatch(*decl, Op::kQUERY_VIEW, args).value, 0);
  EXPECT_EQ(decl->Block(), nullptr);  // answered before any block is made
  args.text = "register";
  const OpResult r = Dispatch(*decl, Op::kSEND, args);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.text, "TESTDRV");
  EXPECT_EQ(State() & sb::kOptionsSet, sb::kOptionsSet);
  EXPECT_EQ(Dispatch(*decl, Op::kInternalEntry, args).pointer, &driver);
  EXPECT_TRUE(driver.handled.empty());
  // With driver options set the block survives until it is closed, even though not open.
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(driver.blocks_made, made + 1);

  // A view marks its files; a SET made directly on the file is noticed once.
  ASSERT_EQ(Run(Op::kSETview), 0);
  EXPECT_EQ(State() & sb::kSequence, sb::kSequence);
  EXPECT_FALSE(TakeNewSequence(*decl));
  ASSERT_EQ(Run(Op::kSETfile), 0);
  EXPECT_TRUE(TakeNewSequence(*decl));
  EXPECT_FALSE(TakeNewSequence(*decl));
  EXPECT_TRUE(driver.handled == std::vector<Op>({Op::kOPEN, Op::kSETfile}));
}

TEST_F(DispatchTest, DeferredBuildRunsFromTheEvent) {
  std::vector<std::pair<uint32_t, FileDecl*>> posted;
  auto previous = SetDeferredBuildPoster(
      [&](uint32_t message, FileDecl* file) { posted.emplace_back(message, file); });
  ASSERT_EQ(Open(0x12), 0);
  ASSERT_EQ(DeferBuilds(*decl), 0);
  int done_calls = 0, done_result = 99;
  OpArgs args;
  args.key = decl->Key(1);
  args.on_build_done = [&](int32_t result) {
    ++done_calls;
    done_result = result;
  };
  ASSERT_EQ(Dispatch(*decl, Op::kBUILDkey, args).error, 0);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].first, 0x2420u);
  EXPECT_EQ(posted[0].second, decl.get());
  EXPECT_EQ(std::count(driver.handled.begin(), driver.handled.end(), Op::kBUILDkey), 0);
  EXPECT_EQ(State() & sb::kBuildsDeferred, 0u);
  EXPECT_EQ(done_calls, 0);

  ASSERT_EQ(Run(Op::kBUILDevent), 0);
  EXPECT_EQ(std::count(driver.handled.begin(), driver.handled.end(), Op::kBUILDkey), 1);
  EXPECT_EQ(driver.state_at_build & sb::kBuildRunning, sb::kBuildRunning);
  EXPECT_EQ(State() & sb::kBuildRunning, 0u);
  EXPECT_EQ(done_calls, 1);
  EXPECT_EQ(done_result, 0);
  EXPECT_EQ(Run(Op::kSETkey, decl->Key(1)), 0);  // the deferred build built the index
  // The deferral covered one build; the next one runs at once.
  ASSERT_EQ(Dispatch(*decl, Op::kBUILDkey, args).error, 0);
  EXPECT_EQ(posted.size(), 1u);
  EXPECT_EQ(done_calls, 2);
  SetDeferredBuildPoster(previous);
}

TEST_F(DispatchTest, ClearFillsFieldsAndMemosByMode) {
  auto d = DeclarationBuilder("Mixed", "mx", &driver)
               .Name("mixed")
               .String("S", 3)
               .CString("C", 4)
               .PString("P", 4)
               .Long("L")
               .Date("D")
               .Memo("TEXT", 5)
               .Memo("BIN", 3, memo_flag::kBinary)
               .Blob("PIC")
               .Build();
  ASSERT_EQ(d->record_length, 19u);
  OpArgs args;
  args.mode = 0x22;
  ASSERT_EQ(Dispatch(*d, Op::kOPEN, args).error, 0);
  uint8_t* rec = d->RecordBuffer();
  auto scribble = [&] {
    std::memset(rec, 0x5A, d->record_length);
    std::memset(d->MemoBuffer(0).data(), 'q', 5);
    std::memset(d->MemoBuffer(1).data(), 7, 3);
    d->MemoBuffer(2).assign(9, 1);
  };
  auto clear = [&](int32_t mode) {
    OpArgs a;
    a.mode = mode;
    return Dispatch(*d, Op::kCLEAR, a).error;
  };
  const auto bytes = [](const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); };
  using V = std::vector<uint8_t>;

  scribble();
  ASSERT_EQ(clear(0), 0);
  EXPECT_EQ(bytes(rec, 3), V({' ', ' ', ' '}));
  EXPECT_EQ(rec[3], 0);                    // CSTRING empty
  EXPECT_EQ(rec[7], 0);                    // PSTRING length 0
  EXPECT_EQ(bytes(rec + 11, 8), V(8, 0));  // LONG and DATE zero
  EXPECT_EQ(d->MemoBuffer(0), V(5, ' '));
  EXPECT_EQ(d->MemoBuffer(1), V(3, 0));   // binary memo: lowest values
  EXPECT_TRUE(d->MemoBuffer(2).empty());  // blob emptied

  scribble();
  ASSERT_EQ(clear(1), 0);
  EXPECT_EQ(bytes(rec, 3), V(3, 0xFF));
  EXPECT_EQ(bytes(rec + 11, 4), V({0xFF, 0xFF, 0xFF, 0x7F}));  // highest LONG
  EXPECT_EQ(d->MemoBuffer(0), V(5, 0xFF));
  EXPECT_EQ(d->MemoBuffer(1), V(3, 0xFF));
  EXPECT_EQ(d->MemoBuffer(2), V(9, 1));  // a blob is only emptied by mode 0

  scribble();
  ASSERT_EQ(clear(-1), 0);
  EXPECT_EQ(bytes(rec, 3), V(3, 0));
  EXPECT_EQ(bytes(rec + 11, 4), V({0x00, 0x00, 0x00, 0x80}));  // lowest LONG
  EXPECT_EQ(rec[7], 3);                                        // PSTRING: capacity less one
  EXPECT_EQ(d->MemoBuffer(0), V(5, 0));
  EXPECT_TRUE(std::none_of(driver.handled.begin(), driver.handled.end(),
                           [](Op op) { return op == Op::kCLEAR; }));
}

}  // namespace
}  // namespace pellucor::data
