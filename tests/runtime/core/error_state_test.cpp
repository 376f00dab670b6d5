#include "runtime/core/error_state.h"

#include <gtest/gtest.h>

#include "platform/system_error.h"
#include "runtime/core/fatal.h"

namespace pellucor::runtime {
namespace {

TEST(ErrorState, PostingZeroTakesTheSystemError) {
  PostErrorWithSystem(0, 32);
  EXPECT_EQ(ErrorCode(), 332);
  EXPECT_EQ(Errors().text, "Sharing Violation");
  EXPECT_EQ(Errors().system_error, 32);

  platform::SetLastSystemError(2);
  PostError(0);
  EXPECT_EQ(ErrorCode(), 302);
  EXPECT_EQ(Errors().text, "File Not Found");
}

TEST(ErrorState, CodesWithoutAnEntryNameTheirNumber) {
  PostError(399);
  EXPECT_EQ(Errors().text, "Unknown Error Posted : 399");
  PostErrorWithSystem(0, 314);  // 614: no entry either
  EXPECT_EQ(Errors().text, "Unknown Error Posted : 614");
}

TEST(ErrorState, TextIsPaddedTo80AndClearingBlanksIt) {
  PostError(33, this);
  EXPECT_EQ(ErrorText(), std::string("Record Not Available") + std::string(60, ' '));
  EXPECT_EQ(Errors().file, this);
  ClearError();
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Errors().file, nullptr);
  EXPECT_EQ(ErrorText(), std::string(80, ' '));
}

TEST(ErrorState, TrailingBlanksOfTableTextsAreKept) {
  PostError(78);
  EXPECT_EQ(Errors().text, "Invalid Number Of Parameters ");
  PostError(350);
  EXPECT_EQ(Errors().text, "Not Supported ");
}

TEST(FatalPath, HookReceivesTextWithDetail) {
  HaltHook previous = SetHaltHook(HaltHookThrows());
  try {
    FatalError(err::kStringStack, "Out of memory in VELARRAY!");
    FAIL() << "FatalError returned";
  } catch (const HaltException& stop) {
    EXPECT_EQ(stop.code, 501);
    EXPECT_EQ(stop.text, "String Stack Error : Out of memory in VELARRAY!");
    EXPECT_FALSE(IsInternalStopText(stop.text));
  }
  EXPECT_EQ(ErrorCode(), 501);
  try {
    InternalErrorStop(1602);
  } catch (const HaltException& stop) {
    EXPECT_EQ(stop.text, "Internal error (1602)");
    EXPECT_TRUE(IsInternalStopText(stop.text));
  }
  try {  // with a detail too
    InternalErrorStop(2172, "short read");
  } catch (const HaltException& stop) {
    EXPECT_TRUE(IsInternalStopText(stop.text));
  }
  SetHaltHook(previous);
}

TEST(FatalPathDeathTest, WithoutHookTheProcessEndsWithCode2) {
  EXPECT_EXIT(FatalError(err::kStringStack), ::testing::ExitedWithCode(2),
              "Runtime error: String Stack Error");
}

}  // namespace
}  // namespace pellucor::runtime
