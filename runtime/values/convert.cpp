#include "runtime/values/convert.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/values/number_scan.h"

namespace pellucor::runtime {

namespace internal {

NumberScan ScanNumber(std::string_view text) {
  NumberScan s;
  if (text.size() > kNumberTextLimit) text = text.substr(0, kNumberTextLimit);
  size_t i = 0;
  const size_t n = text.size();
  auto is_digit = [&](size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
  while (i < n && text[i] == ' ') ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    s.negative = text[i] == '-';
    ++i;
  }
  size_t start = i;
  while (is_digit(i)) ++i;
  s.int_digits = text.substr(start, i - start);
  size_t end = i;
  if (i < n && text[i] == '.') {
    size_t f = i + 1;
    size_t g = f;
    while (is_digit(g)) ++g;
    // "1." reads as 1 (point included); a lone "." is no number.
    if (!s.int_digits.empty() || g > f) {
      s.frac_digits = text.substr(f, g - f);
      s.has_fraction = true;
      i = g;
      end = i;
    }
  }
  s.found = !s.int_digits.empty() || !s.frac_digits.empty();
  if (!s.found) {
    s.negative = false;
    return s;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t k = i + 1;
    bool neg = false;
    if (k < n && (text[k] == '+' || text[k] == '-')) {
      neg = text[k] == '-';
      ++k;
    }
    if (is_digit(k)) {
      int e = 0;
      while (is_digit(k)) {
        if (e < 100000) e = e * 10 + (text[k] - '0');
        ++k;
      }
      s.exponent = neg ? -e : e;
      s.has_fraction = true;
      end = k;
    }
  }
  s.consumed = end;
  return s;
}

}  // namespace internal

ParsedNumber ParseNumber(std::string_view text) {
  const internal::NumberScan s = internal::ScanNumber(text);
  ParsedNumber p;
  p.found = s.found;
  p.consumed = s.consumed;
  p.has_fraction = s.has_fraction;
  if (!s.found) return p;
  // Rebuild a clean literal for from_chars, which never looks at the C locale.
  char buf[kNumberTextLimit + 16];
  size_t len = 0;
  for (char c : s.int_digits) buf[len++] = c;
  if (len == 0) buf[len++] = '0';
  if (!s.frac_digits.empty()) {
    buf[len++] = '.';
    for (char c : s.frac_digits) buf[len++] = c;
  }
  if (s.exponent != 0) {
    buf[len++] = 'e';
    len = static_cast<size_t>(std::to_chars(buf + len, buf + sizeof buf, s.exponent).ptr - buf);
  }
  double v = 0;
  auto r = std::from_chars(buf, buf + len, v);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves v alone: decide from the exponent's direction.
    v = s.exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  p.value = s.negative ? -v : v;
  return p;
}

double TextToReal(std::string_view text) {
  return ParseNumber(text).value;
}

int32_t TextToInteger(std::string_view text) {
  return RealToInteger(TextToReal(text));
}

bool IsNumericText(std::string_view text) {
  if (text.size() > kNumberTextLimit) text = text.substr(0, kNumberTextLimit);
  const internal::NumberScan s = internal::ScanNumber(text);
  if (!s.found) return false;
  for (size_t i = s.consumed; i < text.size(); ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

int32_t RealToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);  // truncates toward zero
}

int64_t RealToInteger64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

size_t FormatInteger(int64_t value, char* buf) {
  return static_cast<size_t>(std::to_chars(buf, buf + 20, value).ptr - buf);
}

size_t FormatReal(double value, char* buf) {
  if (std::isnan(value)) {
    std::memcpy(buf, "nan", 3);
    return 3;
  }
  if (std::isinf(value)) {
    if (value < 0) {
      std::memcpy(buf, "-inf", 4);
      return 4;
    }
    std::memcpy(buf, "inf", 3);
    return 3;
  }
  if (value == 0) {  // also -0.0
    buf[0] = '0';
    return 1;
  }
  // Round to 14 significant digits once, in scientific form: "d.ddddddddddddde+XX".
  char sci[40];
  auto r =
      std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, kRealDigits - 1);
  const char* p = sci;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  char digits[kRealDigits];
  int nd = 0;
  for (; p < r.ptr && *p != 'e'; ++p) {
    if (*p != '.') digits[nd++] = *p;
  }
  int exp10 = 0;
  if (p < r.ptr) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, exp10);
  while (nd > 1 && digits[nd - 1] == '0') --nd;

  size_t len = 0;
  if (negative) buf[len++] = '-';
  if (exp10 >= -4 && exp10 < kRealDigits) {
    if (exp10 < 0) {
      buf[len++] = '0';
      buf[len++] = '.';
      for (int k = -1; k > exp10; --k) buf[len++] = '0';
      for (int k = 0; k < nd; ++k) buf[len++] = digits[k];
    } else {
      for (int k = 0; k <= exp10; ++k) buf[len++] = k < nd ? digits[k] : '0';
      if (nd > exp10 + 1) {
        buf[len++] = '.';
        for (int k = exp10 + 1; k < nd; ++k) buf[len++] = digits[k];
      }
    }
    return len;
  }
  buf[len++] = digits[0];
  if (nd > 1) {
    buf[len++] = '.';
    for (int k = 1; k < nd; ++k) buf[len++] = digits[k];
  }
  buf[len++] = 'E';
  buf[len++] = exp10 < 0 ? '-' : '+';
  len += static_cast<size_t>(std::to_chars(buf + len, buf + kRealTextMax, std::abs(exp10)).ptr -
                             (buf + len));
  return len;
}

std::string IntegerText(int64_t value) {
  char buf[24];
  return std::string(buf, FormatInteger(value, buf));
}

std::string RealText(double value) {
  char buf[kRealTextMax];
  return std::string(buf, FormatReal(value, buf));
}

// The BASIC layouts: value = (0.5 + m / 2^(bits+1)) * 2^(e - 128) with e the last byte (0 for
// zero), the sign in bit 7 of the byte before it and the mantissa m in the bits below.
namespace {

double BFloatToReal(const uint8_t* bytes, int size) {
  const int e = bytes[size - 1];
  if (e == 0) return 0.0;
  const int bits = size * 8 - 9;  // 23 or 55
  uint64_t m = bytes[size - 2] & 0x7F;
  for (int i = size - 3; i >= 0; --i) m = (m << 8) | bytes[i];
  const bool negative = (bytes[size - 2] & 0x80) != 0;
  // 2^bits + m fits 56 bits; long double carries 64, so one rounding at the final cast.
  const long double f = static_cast<long double>((uint64_t{1} << bits) | m);
  const double v = static_cast<double>(std::ldexp(f, e - 128 - (bits + 1)));
  return negative ? -v : v;
}

void RealToBFloat(double value, uint8_t* bytes, int size) {
  std::memset(bytes, 0, static_cast<size_t>(size));
  if (std::isnan(value) || value == 0) return;
  const bool negative = std::signbit(value);
  const int bits = size * 8 - 9;
  const uint64_t top = uint64_t{1} << bits;
  int e = 0;
  uint64_t m = 0;
  if (std::isinf(value)) {
    e = 256;
  } else {
    int x = 0;
    const long double f = std::frexp(static_cast<long double>(std::fabs(value)), &x);  // [0.5, 1)
    // f * 2^(bits+1) lies in [2^bits, 2^(bits+1)); the implied leading bit is dropped below.
    long double scaled = std::ldexp(f, bits + 1);
    uint64_t q = static_cast<uint64_t>(std::llround(scaled));
    if (q >= (top << 1)) {  // rounded up to the next power of two
      q >>= 1;
      ++x;
    }
    m = q - top;
    e = x + 128;
  }
  if (e > 255) {  // beyond the layout: the largest value of the sign
    e = 255;
    m = top - 1;
  }
  if (e < 1) return;  // below the smallest: zero
  for (int i = 0; i < size - 2; ++i) bytes[i] = static_cast<uint8_t>(m >> (8 * i));
  bytes[size - 2] = static_cast<uint8_t>(((m >> (8 * (size - 2))) & 0x7F) | (negative ? 0x80 : 0));
  bytes[size - 1] = static_cast<uint8_t>(e);
}

}  // namespace

double BFloat4ToReal(const uint8_t* bytes) {
  return BFloatToReal(bytes, 4);
}
void RealToBFloat4(double value, uint8_t* bytes) {
  RealToBFloat(value, bytes, 4);
}
double BFloat8ToReal(const uint8_t* bytes) {
  return BFloatToReal(bytes, 8);
}
void RealToBFloat8(double value, uint8_t* bytes) {
  RealToBFloat(value, bytes, 8);
}

}  // namespace pellucor::runtime
