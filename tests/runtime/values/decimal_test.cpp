#include "runtime/values/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "runtime/values/convert.h"
#include "runtime/values/string_stack.h"

namespace pellucor::runtime {
namespace {

Decimal D(std::string_view s) {
  return Decimal::FromText(s);
}

// The text of a scaled integer with `places` fraction digits (Scaled(-12345) is "-1.2345").
std::string Scaled(int64_t v, int places = 4) {
  uint64_t unit = 1;
  for (int i = 0; i < places; ++i) unit *= 10;
  const uint64_t m = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  const std::string frac = std::to_string(m % unit);
  return (m == 0 || v > 0 ? "" : "-") + std::to_string(m / unit) + "." +
         std::string(static_cast<size_t>(places) - frac.size(), '0') + frac;
}

TEST(DecimalTest, TextRoundTripsAndRounding) {
  EXPECT_EQ(D("0").ToText(), "0");
  EXPECT_EQ(D("-0.0").ToText(), "0");
  EXPECT_EQ(D("007.250").ToText(), "7.25");
  EXPECT_EQ(D("-.5").ToText(), "-0.5");
  EXPECT_EQ(D("1.5e3").ToText(), "1500");
  EXPECT_EQ(D("12abc").ToText(), "12");
  EXPECT_EQ(D("abc").ToText(), "0");
  EXPECT_EQ(D("2.5").ToText(0), "3");
  EXPECT_EQ(D("-2.5").ToText(0), "-3");
  EXPECT_EQ(D("2.449").ToText(1), "2.4");
  EXPECT_EQ(D("9.995").ToText(2), "10.00");
  EXPECT_EQ(D("-0.001").ToText(2), "0.00");  // rounds to zero, no "-0.00"
  // 32 fraction digits are kept; the 33rd rounds.
  EXPECT_EQ(D("0.000000000000000000000000000000015").ToText(),
            "0.00000000000000000000000000000002");
  // More than 32 integer digits lose the high ones.
  EXPECT_EQ((D("99999999999999999999999999999999") + D("1")).ToText(), "0");
}

TEST(DecimalTest, RealsIntegersAndTheirLimits) {
  EXPECT_EQ(Decimal::FromReal(1.005).ToText(), "1.005");
  EXPECT_EQ(Decimal::FromReal(-1234.5).ToText(), "-1234.5");
  EXPECT_EQ(Decimal::FromReal(0.1).ToText(), "0.1");
  EXPECT_EQ(Decimal::FromReal(std::nan("")).ToText(), "0");
  EXPECT_DOUBLE_EQ(D("1234.5678").ToReal(), 1234.5678);
  EXPECT_EQ(Decimal::FromInteger(INT64_MIN).ToInteger64(), INT64_MIN);
  EXPECT_EQ(Decimal::FromInteger(INT64_MAX).ToText(), "9223372036854775807");
  EXPECT_EQ(D("-3.99").ToInteger(), -3);
  EXPECT_EQ(D("1e20").ToInteger(), INT32_MAX);
  EXPECT_EQ(D("1e20").ToInteger64(), INT64_MAX);
}

TEST(DecimalTest, ArithmeticMatchesAnIntegerModel) {
  std::mt19937_64 rng(20011231);
  std::uniform_int_distribution<int64_t> dist(-999999999999LL, 999999999999LL);  // 8.4 digits
  std::uniform_int_distribution<int64_t> small(-99999999LL, 99999999LL);
  for (int i = 0; i < 2000; ++i) {
    const int64_t a = dist(rng);
    const int64_t b = i % 2 ? dist(rng) : small(rng);
    const Decimal x = D(Scaled(a));
    const Decimal y = D(Scaled(b));
    ASSERT_EQ(x.ToText(4), Scaled(a));
    EXPECT_EQ((x + y).ToText(4), Scaled(a + b)) << Scaled(a) << " + " << Scaled(b);
    EXPECT_EQ((x - y).ToText(4), Scaled(a - b)) << Scaled(a) << " - " << Scaled(b);
    EXPECT_EQ(Compare(x, y), a < b ? Order::kLess : a > b ? Order::kGreater : Order::kEqual);
    // The product of two 4-place values has 8 places: compare at those, exactly.
    const int64_t pa = a / 1000;  // keep the product within 64 bits
    const int64_t pb = b / 1000;
    EXPECT_EQ((D(Scaled(pa)) * D(Scaled(pb))).ToText(8), Scaled(pa * pb, 8))
        << Scaled(pa) << " * " << Scaled(pb);
    if (b != 0) {
      Decimal q;
      ASSERT_TRUE(Decimal::Divide(x, y, &q));
      const long double lq = static_cast<long double>(a) / static_cast<long double>(b);
      EXPECT_NEAR(std::stold(q.ToText()), lq, std::fabs(lq) * 1e-17L + 1e-30L)
          << Scaled(a) << " / " << Scaled(b);
      // q * y gives back x to far more digits than the operands carry.
      EXPECT_EQ((q * y).ToText(4), Scaled(a));
    }
  }
}

TEST(DecimalTest, ExactProductsAndQuotients) {
  EXPECT_EQ((D("0.1") * D("0.2")).ToText(), "0.02");
  EXPECT_EQ((D("-12.5") * D("4")).ToText(), "-50");
  EXPECT_EQ((D("123456789.123456789") * D("987654321.987654321")).ToText(),
            "121932631356500531.347203169112635269");
  EXPECT_EQ((D("1") / D("3")).ToText(), "0.33333333333333333333333333333333");
  EXPECT_EQ((D("2") / D("3")).ToText(), "0.66666666666666666666666666666667");
  EXPECT_EQ((D("-7") / D("2")).ToText(), "-3.5");
  Decimal q = D("5");
  EXPECT_FALSE(Decimal::Divide(D("1"), D("0"), &q));
  EXPECT_TRUE(q.IsZero());
}

TEST(DecimalTest, PackedFieldsWiderThanTheirValues) {
  // DECIMAL(3,0) receiving -1000 keeps 000 and stores a positive zero.
  uint8_t f[2];
  D("-1000").StoreDecimal(f, 2, 0);
  EXPECT_EQ(f[0], 0x00);
  EXPECT_EQ(f[1], 0x00);
  // Round trip of every sign and digit through both packings.
  uint8_t g[5];
  for (const char* t : {"1234567.89", "-0.01", "0", "-9999999.99"}) {
    D(t).StoreDecimal(g, 5, 2);
    EXPECT_EQ(Decimal::LoadDecimal(g, 5, 2).ToText(2), D(t).ToText(2)) << t;
    D(t).StorePDecimal(g, 5, 2);
    EXPECT_EQ(Decimal::LoadPDecimal(g, 5, 2).ToText(2), D(t).ToText(2)) << t;
  }
  // Carry from rounding ripples into the integer digits.
  D("99.995").StoreDecimal(g, 3, 2);
  EXPECT_EQ(Decimal::LoadDecimal(g, 3, 2).ToText(2), "100.00");
}

TEST(DecimalStackTest, EvaluatesLikeTheOperators) {
  DecimalStack st;
  uint8_t a[3];
  uint8_t b[3];
  D("1.25").StoreDecimal(a, 3, 2);
  D("-2.50").StorePDecimal(b, 3, 2);
  st.PushDecimal(a, 3, 2);
  st.PushPDecimal(b, 3, 2);
  st.Multiply();  // -3.125
  st.PushInteger(1);
  st.Add();  // -2.125
  st.Negate();
  uint8_t out[3];
  st.PopIntoDecimal(out, 3, 2);
  EXPECT_EQ(Decimal::LoadDecimal(out, 3, 2).ToText(), "2.13");
  EXPECT_EQ(st.Depth(), 0);

  st.PushText("10");
  st.PushReal(4);
  EXPECT_TRUE(st.Divide());
  EXPECT_EQ(st.Top().ToText(), "2.5");
  st.PushInteger(0);
  EXPECT_FALSE(st.Divide());
  EXPECT_TRUE(st.Pop().IsZero());

  st.PushText("1.50");
  st.PushText("1.5");
  EXPECT_EQ(st.Compare(), Order::kEqual);
  st.PushText("-3");
  st.PopToStringStack();
  EXPECT_EQ(Strings().PopString(), "-3");
  for (int i = 0; i < kDecimalStackDepth; ++i) st.PushInteger(i);
  EXPECT_FALSE(st.PushInteger(1));
}

}  // namespace
}  // namespace pellucor::runtime
