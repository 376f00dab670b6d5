// Files declared THREAD keep their record buffer and file state per thread.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>

#include "data/driver/driver.h"
#include "tests/data/driver/test_driver.h"
#include "tests/support/note_fixture.h"

namespace pellucor::data {
namespace {

TEST(ThreadFiles, EachThreadHasItsOwnBufferAndBlock) {
  ::setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-test-system.ini", 1);
  testing::TestDriver driver;
  driver.records = {std::string(5120, 'A'), std::string(5120, 'B')};
  auto notes = testsupport::MakeNotesTable(&driver);
  ASSERT_TRUE(notes->IsThreaded());

  // The run lock lets one thread run at a time: the threads take turns, handing over with
  // promises, while both stay alive.
  std::promise<void> first_read, second_done;
  std::thread first([&] {
    OpArgs open;
    open.mode = 0x22;
    ASSERT_EQ(Dispatch(*notes, Op::kOPEN, open).error, 0);
    ASSERT_EQ(Dispatch(*notes, Op::kSETfile).error, 0);
    ASSERT_EQ(Dispatch(*notes, Op::kNEXT).error, 0);
    first_read.set_value();
    second_done.get_future().wait();
    // The other thread's reads and CLOSE left this thread's record and state alone.
    EXPECT_EQ(notes->RecordBuffer()[0], 'A');
    EXPECT_EQ(notes->Block()->state & state_bit::kCurrent, state_bit::kCurrent);
    EXPECT_EQ(Dispatch(*notes, Op::kCLOSE).error, 0);
  });
  first_read.get_future().wait();
  std::thread second([&] {
    EXPECT_EQ(notes->Block(), nullptr);
    EXPECT_EQ(notes->RecordBuffer()[0], 0);
    EXPECT_EQ(Dispatch(*notes, Op::kNEXT).error, 37);  // not open in this thread
    OpArgs open;
    open.mode = 0x22;
    ASSERT_EQ(Dispatch(*notes, Op::kOPEN, open).error, 0);
    ASSERT_EQ(Dispatch(*notes, Op::kSETfile).error, 0);
    ASSERT_EQ(Dispatch(*notes, Op::kNEXT).error, 0);
    ASSERT_EQ(Dispatch(*notes, Op::kNEXT).error, 0);
    EXPECT_EQ(notes->RecordBuffer()[0], 'B');
    EXPECT_EQ(Dispatch(*notes, Op::kCLOSE).error, 0);
  });
  second.join();
  second_done.set_value();
  first.join();
  // One block for each thread's open, and one that the refused NEXT made and discarded.
  EXPECT_EQ(driver.blocks_made, 3);

  // A file without THREAD shares one buffer between threads.
  auto shared = DeclarationBuilder("Shared", "sh", &driver).Name("s").String("X", 4).Build();
  std::memcpy(shared->RecordBuffer(), "main", 4);
  std::thread([&] { EXPECT_EQ(std::memcmp(shared->RecordBuffer(), "main", 4), 0); }).join();
}

}  // namespace
}  // namespace pellucor::data
