#include "runtime/values/string_stack.h"

#include <gtest/gtest.h>

#include <string>

namespace pellucor::runtime {
namespace {

// Each test uses its own stack, so a failure cannot leave entries behind for the next one.
TEST(StringStackTest, PushesBeyondThirtyTwoAreNotPerformed) {
  StringStack st;
  for (int i = 0; i < kStringStackDepth; ++i) ASSERT_TRUE(st.PushInteger(i));
  EXPECT_TRUE(st.Full());
  EXPECT_FALSE(st.PushInteger(99));
  EXPECT_FALSE(st.PushCopy(std::string(100, 'x')));
  EXPECT_FALSE(st.PushReference("a", 1));
  EXPECT_EQ(st.Depth(), kStringStackDepth);
  EXPECT_EQ(st.PopString(), "31");  // the refused pushes left the top alone
  // Popping an empty stack is harmless; reading it gives "".
  st.Reset();
  st.Pop();
  EXPECT_EQ(st.Depth(), 0);
  EXPECT_EQ(st.Top(), "");
  EXPECT_EQ(st.PopInteger(), 0);
}

TEST(StringStackTest, OwnershipKindsAndRelease) {
  StringStack st;
  const std::string caller = "caller's text";
  st.PushReference(caller);
  EXPECT_EQ(st.KindOf(), stack_kind::kReference);
  EXPECT_EQ(st.Top().data(), caller.data());
  st.PushCopy("short");
  EXPECT_EQ(st.KindOf(), stack_kind::kInline);
  const std::string long_text(5000, 'L');
  st.PushCopy(long_text);
  EXPECT_EQ(st.KindOf(), stack_kind::kHeap);
  EXPECT_EQ(st.Top(), long_text);
  st.PushNulTerminated("nul");
  EXPECT_EQ(st.Top(), "nul");
  st.PushNulTerminated(nullptr);
  EXPECT_EQ(st.Top(), "");
  // Heap blocks of entries still on the stack are freed with it (the sanitizer build checks).
  st.PushCopy(long_text);
}

TEST(StringStackTest, NonPlainEntriesReadAsPlainText) {
  StringStack st;
  st.PushWide(u"Gr\u00FC\u00DFe \u20AC \u4E2D \U0001F600");
  EXPECT_EQ(st.KindOf(), stack_kind::kSystemString);
  EXPECT_EQ(st.Top(),
            "Gr\xFC\xDF"
            "e \x80 ? ?");
  EXPECT_EQ(st.KindOf() & stack_kind::kEncodingMask, stack_kind::kEncodingPlain);
  st.Pop();

  st.PushAutomation({AutomationValue::Kind::kReal, 0, 2.5, {}});
  EXPECT_EQ(st.KindOf(), stack_kind::kAutomation);
  EXPECT_EQ(st.TopReal(), 2.5);
  st.PushAutomation({AutomationValue::Kind::kInteger, -42, 0, {}});
  st.PushAutomation({AutomationValue::Kind::kText, 0, 0, u"abc"});
  st.PushAutomation({});
  st.JoinTop();
  st.JoinTop();
  st.JoinTop();
  EXPECT_EQ(st.PopString(), "2.5-42abc");
}

TEST(StringStackTest, NumbersAreWrittenInline) {
  StringStack st;
  st.PushInteger(-2147483648LL);
  EXPECT_EQ(st.KindOf(), stack_kind::kInline);
  EXPECT_EQ(st.PopString(), "-2147483648");
  st.PushReal(0.1 + 0.2);
  EXPECT_EQ(st.KindOf(), stack_kind::kInline);
  EXPECT_EQ(st.PopString(), "0.3");
  st.PushReal(-0.00012345678901234);
  EXPECT_EQ(st.PopString(), "-0.00012345678901234");
  st.PushReal(-1.2345678901234e-300);  // the one form longer than the inline buffer
  EXPECT_EQ(st.PopString(), "-1.2345678901234E-300");
}

TEST(StringStackTest, PopIntoCopiesAtMostTheCapacity) {
  StringStack st;
  char dest[4] = {'.', '.', '.', '.'};
  st.PushReference("abcdef");
  EXPECT_EQ(st.PopInto(dest, 3), 3u);
  EXPECT_EQ(std::string(dest, 4), "abc.");
  st.PushReference("z");
  EXPECT_EQ(st.PopInto(dest, 3), 1u);
  EXPECT_EQ(st.Depth(), 0);
}

TEST(StringStackTest, JoinAndCompareTopTwo) {
  StringStack st;
  // Inline + inline staying inline, then growing into a heap block.
  st.PushCopy("0123456789");
  st.PushCopy("abcdefghij");
  st.JoinTop();
  EXPECT_EQ(st.KindOf(), stack_kind::kInline);
  st.PushReference("!");
  st.JoinTop();
  EXPECT_EQ(st.KindOf(), stack_kind::kHeap);
  EXPECT_EQ(st.Top(), "0123456789abcdefghij!");
  EXPECT_EQ(st.Depth(), 1);
  st.Pop();

  st.PushReference("xyz");
  st.PushReference("xyz   ");
  EXPECT_EQ(st.CompareTop(), Order::kEqual);
  EXPECT_EQ(st.Depth(), 0);
  st.PushReference("XYZ");
  st.PushReference("xyz");
  EXPECT_EQ(st.CompareTop(), Order::kLess);
  st.PushReference("b");
  st.PushReference("a");
  EXPECT_EQ(st.CompareTop(), Order::kGreater);
}

TEST(StringStackTest, TopReadsAsNumber) {
  StringStack st;
  st.PushReference("12abc");
  EXPECT_EQ(st.TopInteger(), 12);
  EXPECT_EQ(st.Depth(), 1);
  EXPECT_EQ(st.PopReal(), 12.0);
  st.PushReference("-3.99");
  EXPECT_EQ(st.PopInteger(), -3);
}

}  // namespace
}  // namespace pellucor::runtime
