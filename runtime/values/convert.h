// Conversions between text and numbers, and the number layouts that need more than a cast.
//
// Text to number: at most the first 40 characters are read as a decimal number in the usual
// notation: leading blanks, an optional sign, digits, an optional point and fraction, an optional
// exponent ("E" or "e", an optional sign, digits). Reading stops at the first character that does
// not belong to the number; a text without a number gives 0 ("12abc" is 12, "abc" is 0).
//
// Number to text: integers in decimal with a leading "-" when negative; reals with at most 14
// significant digits, trailing fraction zeros and a trailing decimal point removed. Reals whose
// decimal exponent lies outside -4 .. 13 are written in exponent form: "1.5E+20", "-2E-7".
//
// All of it is independent of the process's C locale: the desktop may set a locale whose decimal
// point is a comma, and stored values must not change with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellucor::runtime {

inline constexpr size_t kNumberTextLimit = 40;
inline constexpr int kRealDigits = 14;

struct ParsedNumber {
  double value = 0;
  size_t consumed = 0;        // characters that belong to the number (leading blanks included)
  bool found = false;         // at least one digit was read
  bool has_fraction = false;  // a point or an exponent was read
};

// Reads the number at the start of text (its first 40 characters).
[[nodiscard]] ParsedNumber ParseNumber(std::string_view text);
// The value of the text as a real, 0 without a number.
[[nodiscard]] double TextToReal(std::string_view text);
// The value of the text as an integer: the real value truncated toward zero ("3.99" is 3).
[[nodiscard]] int32_t TextToInteger(std::string_view text);
// The NUMERIC test: the text (its first 40 characters) is not empty and reads wholly as a number.
// Leading blanks and trailing blanks (the padding of a STRING) are allowed around the number; a
// text of blanks only is not numeric.
[[nodiscard]] bool IsNumericText(std::string_view text);

// Real to integer: truncation toward zero; values beyond the 32-bit range saturate and NaN
// gives 0 (a cast would be undefined there).
[[nodiscard]] int32_t RealToInteger(double value);
[[nodiscard]] int64_t RealToInteger64(double value);

// Writes the text of a number into buf and returns its length. An integer needs at most 20
// bytes; a real at most 22 (kRealTextMax).
inline constexpr size_t kRealTextMax = 24;
size_t FormatInteger(int64_t value, char* buf);
size_t FormatReal(double value, char* buf);
[[nodiscard]] std::string IntegerText(int64_t value);
[[nodiscard]] std::string RealText(double value);

// The older BASIC floating-point layouts. Both keep the exponent in the high (last) byte with a
// bias of 128 (0 means the value 0); the byte before it holds the sign in bit 7 and the top of the
// mantissa below it. The mantissa is a fraction 0.1xxx in binary whose leading 1 is implied (the
// sign bit takes its place), so the value is (0.5 + mantissa bits) * 2^(exponent - 128).
// BFLOAT4 carries 23 mantissa bits, BFLOAT8 55. Values too large for the layout become the
// largest of their sign; values too small become 0. NaN stores 0.
[[nodiscard]] double BFloat4ToReal(const uint8_t* bytes);
void RealToBFloat4(double value, uint8_t* bytes);
[[nodiscard]] double BFloat8ToReal(const uint8_t* bytes);
void RealToBFloat8(double value, uint8_t* bytes);

}  // namespace pellucor::runtime
