#include "runtime/values/accessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/core/fatal.h"
#include "runtime/values/calendar.h"
#include "runtime/values/string_stack.h"

namespace pellucor::runtime {
namespace {

std::string Bytes(const void* p, size_t n) {
  return std::string(static_cast<const char*>(p), n);
}

TEST(StringAccessorTest, StoringCutsAndPadsByLayout) {
  char s[5];
  char c[3];
  unsigned char p[3];
  AccessorFactory(TypeCode::kString, s, 5)->SetText("abc");
  AccessorFactory(TypeCode::kCString, c, 3)->SetText("abc");
  AccessorFactory(TypeCode::kPString, p, 3)->SetText("abc");
  EXPECT_EQ(Bytes(s, 5), "abc  ");
  EXPECT_EQ(Bytes(c, 3), std::string("ab\0", 3));
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(Bytes(p + 1, 2), "ab");

  // Reading gives the declared length for STRING, the text before the NUL or the counted
  // characters otherwise.
  EXPECT_EQ(AccessorFactory(TypeCode::kString, s, 5)->GetText(), "abc  ");
  EXPECT_EQ(AccessorFactory(TypeCode::kCString, c, 3)->GetText(), "ab");
  EXPECT_EQ(AccessorFactory(TypeCode::kPString, p, 3)->GetText(), "ab");

  // A damaged PSTRING length byte never reads past the field.
  p[0] = 200;
  EXPECT_EQ(AccessorFactory(TypeCode::kPString, p, 3)->GetText(), "ab");
  // A CSTRING without a terminator reads its whole capacity, no further.
  std::memcpy(c, "xyz", 3);
  EXPECT_EQ(AccessorFactory(TypeCode::kCString, c, 3)->GetText(), "xyz");
}

TEST(StringAccessorTest, PushIsByReferenceAndSetFromStackPops) {
  char s[6] = {'h', 'e', 'l', 'l', 'o', ' '};
  char c[4] = {};
  StringStack& st = Strings();
  AccessorFactory(TypeCode::kString, s, 6)->Push();
  ASSERT_EQ(st.Depth(), 1);
  EXPECT_EQ(st.KindOf(), stack_kind::kReference);
  EXPECT_EQ(st.Top().data(), s);
  AccessorFactory(TypeCode::kCString, c, 4)->SetFromStack();
  EXPECT_EQ(st.Depth(), 0);
  EXPECT_STREQ(c, "hel");

  // Storing a variable's own text into itself (overlapping) keeps it intact.
  AccessorFactory(TypeCode::kString, s + 1, 5)->Push();
  AccessorFactory(TypeCode::kString, s, 6)->SetFromStack();
  EXPECT_EQ(Bytes(s, 6), "ello  ");
}

TEST(StringAccessorTest, NumbersThroughText) {
  char s[8];
  auto a = AccessorFactory(TypeCode::kString, s, 8);
  a->SetText("12abc");
  EXPECT_EQ(a->GetInteger(), 12);
  a->SetReal(-2.5);
  EXPECT_EQ(Bytes(s, 8), "-2.5    ");
  EXPECT_DOUBLE_EQ(a->GetReal(), -2.5);
  a->SetInteger(-17);
  EXPECT_EQ(a->GetInteger(), -17);
  a->SetText("abc");
  EXPECT_EQ(a->GetInteger(), 0);
}

TEST(AccessorTest, TruthFollowsTheType) {
  char s[4] = {' ', ' ', ' ', ' '};
  char c[4] = {};
  int32_t l = 0;
  double r = 0.0;
  EXPECT_FALSE(AccessorFactory(TypeCode::kString, s, 4)->IsTrue());
  s[3] = 'x';
  EXPECT_TRUE(AccessorFactory(TypeCode::kString, s, 4)->IsTrue());
  EXPECT_FALSE(AccessorFactory(TypeCode::kCString, c, 4)->IsTrue());
  EXPECT_FALSE(AccessorFactory(TypeCode::kLong, &l, 4)->IsTrue());
  EXPECT_FALSE(AccessorFactory(TypeCode::kReal, &r, 8)->IsTrue());
  r = 1e-300;
  EXPECT_TRUE(AccessorFactory(TypeCode::kReal, &r, 8)->IsTrue());
}

TEST(IntegerAccessorTest, RealsTruncateAndNarrowTypesKeepLowBytes) {
  int32_t l = 0;
  auto a = AccessorFactory(TypeCode::kLong, &l, 4);
  a->SetReal(3.99);
  EXPECT_EQ(l, 3);
  a->SetReal(-3.99);
  EXPECT_EQ(l, -3);
  a->SetText("3.99");
  EXPECT_EQ(l, 3);
  a->SetText(" -12abc");
  EXPECT_EQ(l, -12);
  // Beyond the range a real does not wrap into the other sign.
  a->SetText("3000000000");
  EXPECT_EQ(l, INT32_MAX);
  a->SetReal(-1e300);
  EXPECT_EQ(l, INT32_MIN);

  uint8_t b = 0;
  AccessorFactory(TypeCode::kByte, &b, 1)->SetInteger(300);
  EXPECT_EQ(b, 300 % 256);
  int16_t sh = 0;
  AccessorFactory(TypeCode::kShort, &sh, 2)->SetInteger(-2);
  EXPECT_EQ(AccessorFactory(TypeCode::kShort, &sh, 2)->GetInteger(), -2);
  uint16_t us = 0;
  AccessorFactory(TypeCode::kUShort, &us, 2)->SetInteger(-1);
  EXPECT_EQ(AccessorFactory(TypeCode::kUShort, &us, 2)->GetInteger(), 65535);
  AccessorFactory(TypeCode::kByte, &b, 1)->SetReal(-7.5);
  EXPECT_EQ(b, 0);

  // ULONG keeps its whole range as a real and as text.
  uint32_t ul = 0;
  auto u = AccessorFactory(TypeCode::kULong, &ul, 4);
  u->SetReal(4000000000.0);
  EXPECT_EQ(ul, 4000000000u);
  EXPECT_DOUBLE_EQ(u->GetReal(), 4000000000.0);
  EXPECT_EQ(u->GetText(), "4000000000");
  EXPECT_EQ(u->Class(), ValueClass::kReal);
}

TEST(DateAccessorTest, ReadsThroughTheNormalisingDate) {
  uint8_t d[4] = {31, 2, 2001 & 0xFF, 2001 >> 8};
  auto a = AccessorFactory(TypeCode::kDate, d, 4);
  EXPECT_EQ(a->GetInteger(), DayNumber(2001, 3, 3));
  EXPECT_EQ(a->Class(), ValueClass::kInteger);

  // No date, an impossible date, and a year beyond 9999.
  std::memset(d, 0, 4);
  EXPECT_EQ(a->GetInteger(), 0);
  d[0] = 5;  // day 5, month 0
  d[2] = 2001 & 0xFF;
  d[3] = 2001 >> 8;
  EXPECT_EQ(a->GetInteger(), 0);
  d[0] = 15;
  d[1] = 6;
  d[2] = 10500 & 0xFF;
  d[3] = 10500 >> 8;
  EXPECT_EQ(a->GetInteger(), DayNumber(9999, 12, 15));

  // Writing a day number stores its parts; 0 and invalid day numbers store zeros.
  a->SetInteger(DayNumber(1959, 10, 31));
  EXPECT_EQ(d[0], 31);
  EXPECT_EQ(d[1], 10);
  EXPECT_EQ(d[2] | (d[3] << 8), 1959);
  a->SetInteger(3);
  EXPECT_EQ(Bytes(d, 4), std::string(4, '\0'));
  a->SetInteger(DayNumber(1959, 10, 31));
  a->SetInteger(0);
  EXPECT_EQ(Bytes(d, 4), std::string(4, '\0'));
}

TEST(TimeAccessorTest, ReadsAndWritesTimeValues) {
  uint8_t t[4] = {5, 30, 45, 17};  // 17:45:30.05
  auto a = AccessorFactory(TypeCode::kTime, t, 4);
  EXPECT_EQ(a->GetInteger(), 17 * 360000 + 45 * 6000 + 30 * 100 + 5 + 1);
  t[3] = 24;
  EXPECT_EQ(a->GetInteger(), -1);
  t[3] = 0;
  t[0] = 100;
  EXPECT_EQ(a->GetInteger(), -1);
  a->SetInteger(1);  // midnight
  EXPECT_EQ(Bytes(t, 4), std::string(4, '\0'));
  EXPECT_EQ(a->GetInteger(), 0);  // all zero reads as "no time"
  a->SetInteger(kTimeValueNoon);
  EXPECT_EQ(t[3], 12);
  EXPECT_EQ(a->GetInteger(), kTimeValueNoon);
  a->SetInteger(kLastTimeValue + 1);
  EXPECT_EQ(Bytes(t, 4), std::string(4, '\0'));
}

TEST(RealAccessorTest, SingleAndBasicFloatsHoldTheirValues) {
  float f = 0;
  auto s = AccessorFactory(TypeCode::kSReal, &f, 4);
  s->SetReal(1e300);  // beyond the single range: the largest single, not infinity
  EXPECT_EQ(f, std::numeric_limits<float>::max());
  s->SetText("0.5");
  EXPECT_EQ(f, 0.5f);
  EXPECT_EQ(s->GetInteger(), 0);

  uint8_t b4[4];
  uint8_t b8[8];
  auto a4 = AccessorFactory(TypeCode::kBFloat4, b4, 4);
  auto a8 = AccessorFactory(TypeCode::kBFloat8, b8, 8);
  for (double v : {1.0, -1.0, 0.5, 3.14159, -1234.5, 1e20, 2.5e-30, 0.0}) {
    a8->SetReal(v);
    EXPECT_EQ(a8->GetReal(), v) << v;  // 55 mantissa bits hold every double exactly
    a4->SetReal(v);
    EXPECT_NEAR(a4->GetReal(), v, std::fabs(v) * 1.2e-7) << v;
  }
}

TEST(DecimalAccessorTest, StoringRoundsHalfAwayAndLosesHighDigits) {
  // DECIMAL(6,3) takes 4 bytes (7 digits); DECIMAL(5,2) 3 bytes (5 digits).
  uint8_t src[4];
  uint8_t dst[3];
  auto from = AccessorFactory(TypeCode::kDecimal, src, 4, 3);
  auto to = AccessorFactory(TypeCode::kDecimal, dst, 3, 2);
  from->SetText("1.005");
  to->Assign(*from);
  EXPECT_EQ(to->GetText(), "1.01");
  from->SetText("-1.005");
  to->Assign(*from);
  EXPECT_EQ(to->GetText(), "-1.01");
  EXPECT_EQ(dst[0] >> 4, 0xF);
  from->SetText("1234.5");
  to->Assign(*from);
  EXPECT_EQ(to->GetDecimal().ToText(2), "234.50");

  // Reals pass through the accumulator at their 15 significant digits.
  to->SetReal(1.005);
  EXPECT_EQ(to->GetText(), "1.01");
  to->SetReal(-0.004);
  EXPECT_EQ(to->GetText(), "0");  // rounds to zero: stored as positive zero
  EXPECT_EQ(dst[0] >> 4, 0);
  to->SetInteger(42);
  EXPECT_EQ(to->GetInteger(), 42);
  EXPECT_DOUBLE_EQ(to->GetReal(), 42.0);
}

TEST(DecimalAccessorTest, PackedLayouts) {
  uint8_t d[3];
  uint8_t p[3];
  AccessorFactory(TypeCode::kDecimal, d, 3, 2)->SetText("-123.45");
  AccessorFactory(TypeCode::kPDecimal, p, 3, 2)->SetText("-123.45");
  EXPECT_EQ(Bytes(d, 3), "\xF1\x23\x45");
  EXPECT_EQ(Bytes(p, 3), "\x12\x34\x5D");
  AccessorFactory(TypeCode::kPDecimal, p, 3, 2)->SetText("123.45");
  EXPECT_EQ(p[2] & 0x0F, 0x0F);
  // Any non-zero DECIMAL sign nibble reads as negative; any PDECIMAL sign but 0xD as positive.
  d[0] = 0x31;
  EXPECT_EQ(AccessorFactory(TypeCode::kDecimal, d, 3, 2)->GetText(), "-123.45");
  p[2] = 0x5C;
  EXPECT_EQ(AccessorFactory(TypeCode::kPDecimal, p, 3, 2)->GetText(), "123.45");
  // A damaged nibble reads as 0 rather than a digit above 9.
  d[0] = 0x0A;
  EXPECT_EQ(AccessorFactory(TypeCode::kDecimal, d, 3, 2)->GetText(), "23.45");
}

TEST(AccessorTest, AssignConvertsByTheSourceClass) {
  char text[24];
  uint8_t dec[8];  // DECIMAL(15,4)
  double real = 0;
  int16_t sh = 0;
  auto t = AccessorFactory(TypeCode::kString, text, 24);
  auto d = AccessorFactory(TypeCode::kDecimal, dec, 8, 4);
  auto r = AccessorFactory(TypeCode::kReal, &real, 8);
  auto s = AccessorFactory(TypeCode::kShort, &sh, 2);
  // Text to decimal is exact, beyond what a double would keep.
  t->SetText("12345678901.2345");
  d->Assign(*t);
  EXPECT_EQ(d->GetText(), "12345678901.2345");
  d->Push();
  EXPECT_EQ(Strings().PopString(), "12345678901.2345");
  r->Assign(*d);
  EXPECT_DOUBLE_EQ(real, 12345678901.2345);
  s->Assign(*d);
  EXPECT_EQ(sh, INT16_MAX);
  sh = -5;
  t->Assign(*s);
  EXPECT_EQ(t->GetText(), "-5" + std::string(22, ' '));
  real = 2.75;
  s->Assign(*r);
  EXPECT_EQ(sh, 2);
}

TEST(ClearValueTest, ModesGiveBlankLowestAndHighest) {
  char s[4];
  char c[4];
  uint8_t p[4];
  ClearValue(TypeCode::kString, s, 4, 0, ClearMode::kBlank);
  EXPECT_EQ(Bytes(s, 4), "    ");
  ClearValue(TypeCode::kString, s, 4, 0, ClearMode::kLowest);
  EXPECT_EQ(Bytes(s, 4), std::string(4, '\0'));
  ClearValue(TypeCode::kString, s, 4, 0, ClearMode::kHighest);
  EXPECT_EQ(Bytes(s, 4), std::string(4, '\xFF'));

  ClearValue(TypeCode::kCString, c, 4, 0, ClearMode::kHighest);
  EXPECT_EQ(Bytes(c, 4), "\xFF\xFF\xFF" + std::string(1, '\0'));
  ClearValue(TypeCode::kCString, c, 4, 0, ClearMode::kLowest);
  EXPECT_EQ(c[0], 0);

  ClearValue(TypeCode::kPString, p, 4, 0, ClearMode::kBlank);
  EXPECT_EQ(p[0], 0);
  ClearValue(TypeCode::kPString, p, 4, 0, ClearMode::kLowest);
  EXPECT_EQ(Bytes(p, 4), "\x03" + std::string(3, '\0'));
  ClearValue(TypeCode::kPString, p, 4, 0, ClearMode::kHighest);
  EXPECT_EQ(Bytes(p, 4), "\x03\xFF\xFF\xFF");

  int32_t l = 7;
  ClearValue(TypeCode::kLong, &l, 4, 0, ClearMode::kBlank);
  EXPECT_EQ(l, 0);
  ClearValue(TypeCode::kLong, &l, 4, 0, ClearMode::kLowest);
  EXPECT_EQ(l, INT32_MIN);
  ClearValue(TypeCode::kLong, &l, 4, 0, ClearMode::kHighest);
  EXPECT_EQ(l, INT32_MAX);

  uint8_t d[3];
  ClearValue(TypeCode::kDecimal, d, 3, 2, ClearMode::kHighest);
  EXPECT_EQ(AccessorFactory(TypeCode::kDecimal, d, 3, 2)->GetText(), "999.99");
  ClearValue(TypeCode::kPDecimal, d, 3, 2, ClearMode::kLowest);
  EXPECT_EQ(AccessorFactory(TypeCode::kPDecimal, d, 3, 2)->GetText(), "-999.99");

  double r = 1;
  ClearValue(TypeCode::kReal, &r, 8, 0, ClearMode::kLowest);
  EXPECT_EQ(r, -std::numeric_limits<double>::max());
  uint8_t date[4];
  ClearValue(TypeCode::kDate, date, 4, 0, ClearMode::kHighest);
  EXPECT_EQ(AccessorFactory(TypeCode::kDate, date, 4)->GetInteger(), kLastDayNumber);
}

TEST(AnyAccessorTest, ForwardsToItsReferentAndToleratesNone) {
  int32_t target = 5;
  AnyRef ref{&target, 4, TypeCode::kLong, 0};
  auto a = AccessorFactory(TypeCode::kAny, &ref, sizeof ref);
  EXPECT_EQ(a->GetInteger(), 5);
  a->SetText("77");
  EXPECT_EQ(target, 77);
  EXPECT_EQ(a->Class(), ValueClass::kReal);

  // A chain that loops back on itself ends, reading as empty.
  AnyRef loop{nullptr, sizeof(AnyRef), TypeCode::kAny, 0};
  loop.address = &loop;
  auto l = AccessorFactory(TypeCode::kAny, &loop, sizeof loop);
  EXPECT_EQ(l->GetInteger(), 0);
  EXPECT_EQ(l->GetText(), "");
  l->SetInteger(3);  // ignored, no crash

  AnyRef none;
  auto n = AccessorFactory(TypeCode::kAny, &none, sizeof none);
  n->Push();
  EXPECT_EQ(Strings().PopString(), "");
}

TEST(AccessorTest, HolderCopiesReferToTheSameVariable) {
  int32_t v = 1;
  Accessor a = AccessorFactory(TypeCode::kLong, &v, 4);
  Accessor b = a;
  b->SetInteger(9);
  EXPECT_EQ(a->GetInteger(), 9);
  char s[3];
  Accessor c = AccessorFactory(TypeCode::kGroup, s, 3);
  c = a;
  EXPECT_EQ(c->Type(), TypeCode::kLong);
  EXPECT_EQ(c->GetInteger(), 9);
}

TEST(AccessorTest, UnknownTypeCodeIsTheStringStackStop) {
  const HaltHook old = SetHaltHook(HaltHookThrows());
  int32_t v = 0;
  for (uint8_t code : {0, 12, 16, 17, 23, 26, 29, 30, 31, 255}) {
    try {
      (void)AccessorFactory(static_cast<TypeCode>(code), &v, 4);
      ADD_FAILURE() << "code " << int{code} << " made an accessor";
    } catch (const HaltException& e) {
      EXPECT_EQ(e.code, 501);
      EXPECT_EQ(e.text, "String Stack Error");
    }
    EXPECT_FALSE(HasAccessor(static_cast<TypeCode>(code)));
  }
  SetHaltHook(old);
}

}  // namespace
}  // namespace pellucor::runtime
