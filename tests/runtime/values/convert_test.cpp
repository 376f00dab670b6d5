#include "runtime/values/convert.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>

namespace pellucor::runtime {
namespace {

TEST(ConvertTest, TextToNumberStopsAtTheFirstForeignCharacter) {
  EXPECT_EQ(TextToInteger("12abc"), 12);
  EXPECT_EQ(TextToReal("  -1.5e2x"), -150.0);
  EXPECT_EQ(TextToReal("1e"), 1.0);  // an exponent marker without digits is not read
  EXPECT_EQ(TextToReal("1e+"), 1.0);
  EXPECT_EQ(TextToReal(".5"), 0.5);
  EXPECT_EQ(TextToReal("5."), 5.0);
  EXPECT_EQ(TextToReal("."), 0.0);
  EXPECT_EQ(TextToReal("-"), 0.0);
  EXPECT_EQ(TextToReal("abc"), 0.0);
  EXPECT_EQ(TextToReal(""), 0.0);
  EXPECT_EQ(TextToInteger("-3.99"), -3);
  EXPECT_EQ(TextToInteger("1e30"), INT32_MAX);
  EXPECT_EQ(TextToReal("1e999"), HUGE_VAL);
  EXPECT_EQ(TextToReal("1e-999"), 0.0);
  // Only the first 40 characters are read.
  EXPECT_EQ(TextToReal(std::string(39, '0') + "12"), 1.0);
  const ParsedNumber p = ParseNumber(" 42 rest");
  EXPECT_TRUE(p.found);
  EXPECT_EQ(p.consumed, 3u);
  EXPECT_FALSE(p.has_fraction);
}

TEST(ConvertTest, NumericNeedsTheWholeText) {
  EXPECT_TRUE(IsNumericText("12"));
  EXPECT_TRUE(IsNumericText("-1.5E-3"));
  EXPECT_TRUE(IsNumericText(" 12   "));  // a padded STRING holding a number
  EXPECT_FALSE(IsNumericText("12abc"));
  EXPECT_FALSE(IsNumericText(""));
  EXPECT_FALSE(IsNumericText("   "));
  EXPECT_FALSE(IsNumericText("1 2"));
  EXPECT_FALSE(IsNumericText("e5"));
  EXPECT_TRUE(IsNumericText(std::string(40, '1') + "x"));  // beyond 40 is not looked at
}

TEST(ConvertTest, RealsHaveAtMostFourteenDigitsAndNoTrailingPoint) {
  EXPECT_EQ(RealText(3.0), "3");
  EXPECT_EQ(RealText(-0.0), "0");
  EXPECT_EQ(RealText(0.1 + 0.2), "0.3");
  EXPECT_EQ(RealText(1.0 / 3.0), "0.33333333333333");
  EXPECT_EQ(RealText(2.0 / 3.0), "0.66666666666667");
  EXPECT_EQ(RealText(12345678901234.0), "12345678901234");
  EXPECT_EQ(RealText(123456789012345.0), "1.2345678901234E+14");  // 14 digits, rounded half even
  EXPECT_EQ(RealText(1e20), "1E+20");
  EXPECT_EQ(RealText(0.0001), "0.0001");
  EXPECT_EQ(RealText(0.00001), "1E-5");
  EXPECT_EQ(RealText(-1234.5), "-1234.5");
  EXPECT_EQ(IntegerText(-2147483648LL), "-2147483648");
}

TEST(ConvertTest, RealTextReadsBackAndIgnoresTheCLocale) {
  // The desktop may install a locale whose decimal point is a comma.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mant(-10.0, 10.0);
  std::uniform_int_distribution<int> ex(-40, 40);
  for (int i = 0; i < 2000; ++i) {
    const double v = mant(rng) * std::pow(10.0, ex(rng));
    const std::string t = RealText(v);
    ASSERT_LE(t.size(), kRealTextMax);
    EXPECT_EQ(t.find(','), std::string::npos) << t;
    EXPECT_NEAR(TextToReal(t), v, std::fabs(v) * 1e-13) << t;
    EXPECT_TRUE(IsNumericText(t)) << t;
  }
  EXPECT_EQ(TextToReal("2.5"), 2.5);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ConvertTest, RealToIntegerTruncatesAndSaturates) {
  EXPECT_EQ(RealToInteger(3.99), 3);
  EXPECT_EQ(RealToInteger(-3.99), -3);
  EXPECT_EQ(RealToInteger(1e12), INT32_MAX);
  EXPECT_EQ(RealToInteger(-1e12), INT32_MIN);
  EXPECT_EQ(RealToInteger(std::nan("")), 0);
  EXPECT_EQ(RealToInteger64(-1e30), INT64_MIN);
}

TEST(BasicFloatTest, LayoutAndRoundTrips) {
  // 1.0 is 0.5 * 2^1: exponent byte 129, sign clear, mantissa zero.
  uint8_t b4[4];
  RealToBFloat4(1.0, b4);
  EXPECT_EQ(b4[3], 129);
  EXPECT_EQ(b4[2], 0);
  EXPECT_EQ(b4[1], 0);
  EXPECT_EQ(b4[0], 0);
  RealToBFloat4(-0.75, b4);  // 0.75 = 0.11b * 2^0: sign set, mantissa's top bit set
  EXPECT_EQ(b4[3], 128);
  EXPECT_EQ(b4[2], 0x80 | 0x40);
  EXPECT_EQ(BFloat4ToReal(b4), -0.75);
  RealToBFloat4(0.0, b4);
  EXPECT_EQ(b4[3], 0);
  EXPECT_EQ(BFloat4ToReal(b4), 0.0);
  const uint8_t zero_exp[4] = {0xFF, 0xFF, 0xFF, 0};  // exponent 0 is zero whatever follows
  EXPECT_EQ(BFloat4ToReal(zero_exp), 0.0);

  uint8_t b8[8];
  std::mt19937_64 rng(11);
  // Magnitudes from 2^-121 to 2^120, well inside both layouts' exponent range.
  std::uniform_real_distribution<double> mant(0.5, 1.0);
  std::uniform_int_distribution<int> ex(-120, 120);
  for (int i = 0; i < 2000; ++i) {
    const double v = std::ldexp(i % 2 ? mant(rng) : -mant(rng), ex(rng));
    RealToBFloat8(v, b8);
    EXPECT_EQ(BFloat8ToReal(b8), v);
    RealToBFloat4(v, b4);
    EXPECT_NEAR(BFloat4ToReal(b4), v, std::fabs(v) * 6e-8);
    // A single's value fits BFLOAT4 exactly (24 significant bits in both).
    const double s = static_cast<float>(v);
    RealToBFloat4(s, b4);
    EXPECT_EQ(BFloat4ToReal(b4), s);
  }
  // Beyond the layout's range: the largest value of the sign; below it: zero.
  RealToBFloat4(-1e300, b4);
  EXPECT_EQ(b4[3], 255);
  EXPECT_LT(BFloat4ToReal(b4), -1e38);
  RealToBFloat8(1e-300, b8);
  EXPECT_EQ(BFloat8ToReal(b8), 0.0);
}

}  // namespace
}  // namespace pellucor::runtime
