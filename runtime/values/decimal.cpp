#include "runtime/values/decimal.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "runtime/values/convert.h"
#include "runtime/values/number_scan.h"

namespace pellucor::runtime {

// Position p of the accumulator carries the weight 10^(31 - p): 0 is the highest integer digit,
// 31 the units, 32 the tenths, 63 the last fraction digit.
namespace {
constexpr int kUnits = kDecimalIntDigits - 1;

// Position of digit k (0 the most significant) of a packed field of `total` digits and `places`
// fraction digits.
constexpr int PackedPosition(int total, int places, int k) {
  return kDecimalIntDigits - total + places + k;
}

uint8_t Nibble(uint8_t v) {
  return v <= 9 ? v : 0;
}
}  // namespace

void Decimal::Normalize() {
  int hi = 0;
  while (hi < kDecimalPositions && digits_[static_cast<size_t>(hi)] == 0) ++hi;
  if (hi == kDecimalPositions) {
    high_ = kDecimalPositions;
    low_ = 0;
    negative_ = false;
    return;
  }
  int lo = kDecimalPositions - 1;
  while (digits_[static_cast<size_t>(lo)] == 0) --lo;
  high_ = static_cast<int16_t>(hi);
  low_ = static_cast<int16_t>(lo);
}

Decimal Decimal::FromInteger(int64_t value) {
  Decimal d;
  uint64_t m = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  for (int p = kUnits; p >= 0 && m != 0; --p) {
    d.digits_[static_cast<size_t>(p)] = static_cast<uint8_t>(m % 10);
    m /= 10;
  }
  d.negative_ = value < 0;
  d.Normalize();
  return d;
}

Decimal Decimal::FromReal(double value) {
  if (std::isnan(value)) return Decimal{};
  if (std::isinf(value)) {
    Decimal d;
    d.digits_.fill(9);
    d.negative_ = value < 0;
    d.Normalize();
    return d;
  }
  // 15 significant digits: what a double holds reliably, so 1.005 is 1.005 and not
  // 1.00499999999999989...
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  return FromText(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

Decimal Decimal::FromText(std::string_view text) {
  const internal::NumberScan s = internal::ScanNumber(text);
  Decimal d;
  if (!s.found) return d;
  const int n_int = static_cast<int>(s.int_digits.size());
  const int n = n_int + static_cast<int>(s.frac_digits.size());
  bool round_up = false;
  for (int k = 0; k < n; ++k) {
    const char c = k < n_int ? s.int_digits[static_cast<size_t>(k)]
                             : s.frac_digits[static_cast<size_t>(k - n_int)];
    // weight 10^(n_int - 1 - k + exponent) -> position 31 - weight
    const int64_t p = int64_t{kUnits} - (n_int - 1 - k + int64_t{s.exponent});
    if (p < 0) continue;  // beyond the integer positions: lost
    if (p >= kDecimalPositions) {
      if (p == kDecimalPositions) round_up = c >= '5';
      continue;
    }
    d.digits_[static_cast<size_t>(p)] = static_cast<uint8_t>(c - '0');
  }
  if (round_up) {
    for (int p = kDecimalPositions - 1; p >= 0; --p) {
      auto& dig = d.digits_[static_cast<size_t>(p)];
      if (++dig < 10) break;
      dig = 0;
    }
  }
  d.negative_ = s.negative;
  d.Normalize();
  return d;
}

Decimal Decimal::LoadDecimal(const uint8_t* bytes, size_t size, int places) {
  Decimal d;
  if (size == 0) return d;
  const int total = DecimalDigits(size);
  for (int k = 0; k < total; ++k) {
    const uint8_t b = bytes[static_cast<size_t>((k + 1) / 2)];
    const uint8_t v = Nibble((k % 2 == 1) ? (b >> 4) : (b & 0x0F));
    const int p = PackedPosition(total, places, k);
    if (p >= 0 && p < kDecimalPositions) d.digits_[static_cast<size_t>(p)] = v;
  }
  d.negative_ = (bytes[0] >> 4) != 0;
  d.Normalize();
  return d;
}

Decimal Decimal::LoadPDecimal(const uint8_t* bytes, size_t size, int places) {
  Decimal d;
  if (size == 0) return d;
  const int total = DecimalDigits(size);
  for (int k = 0; k < total; ++k) {
    const uint8_t b = bytes[static_cast<size_t>(k / 2)];
    const uint8_t v = Nibble((k % 2 == 0) ? (b >> 4) : (b & 0x0F));
    const int p = PackedPosition(total, places, k);
    if (p >= 0 && p < kDecimalPositions) d.digits_[static_cast<size_t>(p)] = v;
  }
  d.negative_ = (bytes[size - 1] & 0x0F) == 0x0D;
  d.Normalize();
  return d;
}

namespace {
// The digits a field of `total` digits and `places` fraction digits keeps, rounded; returns
// whether any kept digit is non-zero.
bool FieldDigits(Decimal v, int total, int places, uint8_t* out) {
  v.Round(places < 0 ? 0 : places);
  bool any = false;
  for (int k = 0; k < total; ++k) {
    const int p = PackedPosition(total, places, k);
    out[k] = (p >= 0 && p < kDecimalPositions) ? v.DigitAt(p) : 0;
    any = any || out[k] != 0;
  }
  return any;
}
}  // namespace

void Decimal::StoreDecimal(uint8_t* bytes, size_t size, int places) const {
  if (size == 0) return;
  const int total = DecimalDigits(size);
  uint8_t dig[2 * 64] = {};
  uint8_t* digits = dig;
  std::unique_ptr<uint8_t[]> big;
  if (total > static_cast<int>(sizeof dig)) {
    big = std::make_unique<uint8_t[]>(static_cast<size_t>(total));
    digits = big.get();
  }
  const bool any = FieldDigits(*this, total, places, digits);
  // A value that rounds to zero in the field is stored as a positive zero.
  const uint8_t sign = (any && negative_) ? 0xF0 : 0x00;
  bytes[0] = static_cast<uint8_t>(sign | digits[0]);
  for (size_t i = 1; i < size; ++i) {
    bytes[i] = static_cast<uint8_t>((digits[2 * i - 1] << 4) | digits[2 * i]);
  }
}

void Decimal::StorePDecimal(uint8_t* bytes, size_t size, int places) const {
  if (size == 0) return;
  const int total = DecimalDigits(size);
  uint8_t dig[2 * 64] = {};
  uint8_t* digits = dig;
  std::unique_ptr<uint8_t[]> big;
  if (total > static_cast<int>(sizeof dig)) {
    big = std::make_unique<uint8_t[]>(static_cast<size_t>(total));
    digits = big.get();
  }
  const bool any = FieldDigits(*this, total, places, digits);
  for (size_t i = 0; i + 1 < size; ++i) {
    bytes[i] = static_cast<uint8_t>((digits[2 * i] << 4) | digits[2 * i + 1]);
  }
  const uint8_t sign = (any && negative_) ? 0x0D : 0x0F;
  bytes[size - 1] = static_cast<uint8_t>((digits[total - 1] << 4) | sign);
}

int64_t Decimal::ToInteger64() const {
  uint64_t m = 0;
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  for (int p = high_; p <= kUnits; ++p) {
    const uint8_t v = digits_[static_cast<size_t>(p)];
    if (m > (kLimit - v) / 10) {
      return negative_ ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    m = m * 10 + v;
  }
  if (negative_)
    return m == kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(m);
  if (m == kLimit) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(m);
}

int32_t Decimal::ToInteger() const {
  const int64_t v = ToInteger64();
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double Decimal::ToReal() const {
  // Through the text so that the double is the nearest one to the exact decimal value.
  const std::string t = ToText();
  double v = 0;
  std::from_chars(t.data(), t.data() + t.size(), v);
  return v;
}

std::string Decimal::ToText() const {
  std::string s;
  if (IsNegative()) s.push_back('-');
  const int first = high_ < kUnits ? high_ : kUnits;
  for (int p = first; p <= kUnits; ++p)
    s.push_back(static_cast<char>('0' + digits_[static_cast<size_t>(p)]));
  if (!IsZero() && low_ > kUnits) {
    s.push_back('.');
    for (int p = kUnits + 1; p <= low_; ++p)
      s.push_back(static_cast<char>('0' + digits_[static_cast<size_t>(p)]));
  }
  return s;
}

std::string Decimal::ToText(int places) const {
  if (places < 0) places = 0;
  if (places > kDecimalFracDigits) places = kDecimalFracDigits;
  Decimal v = *this;
  v.Round(places);
  std::string s;
  if (v.IsNegative()) s.push_back('-');
  const int first = v.high_ < kUnits ? v.high_ : kUnits;
  for (int p = first; p <= kUnits; ++p)
    s.push_back(static_cast<char>('0' + v.digits_[static_cast<size_t>(p)]));
  if (places > 0) {
    s.push_back('.');
    for (int p = kUnits + 1; p <= kUnits + places; ++p)
      s.push_back(static_cast<char>('0' + v.digits_[static_cast<size_t>(p)]));
  }
  return s;
}

void Decimal::Round(int places) {
  if (places < 0) places = 0;
  if (places >= kDecimalFracDigits) return;
  const int cut = kUnits + 1 + places;  // first position dropped
  if (IsZero() || low_ < cut) return;
  const bool up = digits_[static_cast<size_t>(cut)] >= 5;
  for (int p = cut; p < kDecimalPositions; ++p) digits_[static_cast<size_t>(p)] = 0;
  if (up) {
    for (int p = cut - 1; p >= 0; --p) {
      auto& dig = digits_[static_cast<size_t>(p)];
      if (++dig < 10) break;
      dig = 0;  // a carry out of the top position is lost
    }
  }
  Normalize();
}

void Decimal::Truncate(int places) {
  if (places < 0) places = 0;
  if (places >= kDecimalFracDigits) return;
  for (int p = kUnits + 1 + places; p < kDecimalPositions; ++p) digits_[static_cast<size_t>(p)] = 0;
  Normalize();
}

Decimal Decimal::Abs() const {
  Decimal r = *this;
  r.negative_ = false;
  return r;
}

Order Decimal::CompareMagnitude(const Decimal& a, const Decimal& b) {
  for (int p = 0; p < kDecimalPositions; ++p) {
    const uint8_t x = a.digits_[static_cast<size_t>(p)];
    const uint8_t y = b.digits_[static_cast<size_t>(p)];
    if (x != y) return x < y ? Order::kLess : Order::kGreater;
  }
  return Order::kEqual;
}

Decimal Decimal::AddMagnitudes(const Decimal& a, const Decimal& b) {
  Decimal r;
  int carry = 0;
  for (int p = kDecimalPositions - 1; p >= 0; --p) {
    const auto i = static_cast<size_t>(p);
    int v = a.digits_[i] + b.digits_[i] + carry;
    carry = v >= 10 ? 1 : 0;
    r.digits_[i] = static_cast<uint8_t>(v - 10 * carry);
  }
  return r;  // a carry out of the top is lost
}

Decimal Decimal::SubtractMagnitudes(const Decimal& a, const Decimal& b) {
  Decimal r;
  int borrow = 0;
  for (int p = kDecimalPositions - 1; p >= 0; --p) {
    const auto i = static_cast<size_t>(p);
    int v = a.digits_[i] - b.digits_[i] - borrow;
    borrow = v < 0 ? 1 : 0;
    r.digits_[i] = static_cast<uint8_t>(v + 10 * borrow);
  }
  return r;
}

Decimal operator+(const Decimal& a, const Decimal& b) {
  Decimal r;
  if (a.negative_ == b.negative_) {
    r = Decimal::AddMagnitudes(a, b);
    r.negative_ = a.negative_;
  } else if (Decimal::CompareMagnitude(a, b) != Order::kLess) {
    r = Decimal::SubtractMagnitudes(a, b);
    r.negative_ = a.negative_;
  } else {
    r = Decimal::SubtractMagnitudes(b, a);
    r.negative_ = b.negative_;
  }
  r.Normalize();
  return r;
}

Decimal operator-(const Decimal& a, const Decimal& b) {
  return a + (-b);
}

Decimal operator*(const Decimal& a, const Decimal& b) {
  if (a.IsZero() || b.IsZero()) return Decimal{};
  // Column sums of the product: digit i of a and j of b land in column i + j, whose weight is
  // 10^(62 - i - j), i.e. accumulator position i + j - 31.
  uint64_t col[2 * kDecimalPositions] = {};
  for (int i = a.high_; i <= a.low_; ++i) {
    const uint8_t x = a.digits_[static_cast<size_t>(i)];
    if (x == 0) continue;
    for (int j = b.high_; j <= b.low_; ++j)
      col[i + j] += uint64_t{x} * b.digits_[static_cast<size_t>(j)];
  }
  for (int c = 2 * kDecimalPositions - 1; c > 0; --c) {
    col[c - 1] += col[c] / 10;
    col[c] %= 10;
  }
  // col[0] may exceed 9: those digits fall beyond the top and are lost.
  col[0] %= 10;
  Decimal r;
  for (int p = 0; p < kDecimalPositions; ++p) {
    const int c = p + kUnits;
    r.digits_[static_cast<size_t>(p)] = static_cast<uint8_t>(col[c]);
  }
  const bool up = col[kDecimalPositions + kUnits] >= 5;
  if (up) {
    for (int p = kDecimalPositions - 1; p >= 0; --p) {
      auto& dig = r.digits_[static_cast<size_t>(p)];
      if (++dig < 10) break;
      dig = 0;
    }
  }
  r.negative_ = a.negative_ != b.negative_;
  r.Normalize();
  return r;
}

bool Decimal::Divide(const Decimal& a, const Decimal& b, Decimal* out) {
  *out = Decimal{};
  if (b.IsZero()) return false;
  if (a.IsZero()) return true;
  // Long division of N = |a| * 10^32 followed by 33 more zeros (N * 10^33) by D = |b| * 10^32:
  // the quotient's digit t (0 the most significant of 97) weighs 10^(96 - t), which is
  // accumulator position t - 32; t = 96 is the rounding digit.
  constexpr int kDividendDigits = kDecimalPositions + kDecimalIntDigits + 1;  // 97
  constexpr int kWidth = kDecimalPositions + 1;  // remainder digits, one spare for R * 10
  uint8_t rem[kWidth] = {};                      // most significant first
  uint8_t div[kWidth] = {};
  for (int p = 0; p < kDecimalPositions; ++p) div[p + 1] = b.digits_[static_cast<size_t>(p)];
  auto rem_ge_div = [&]() {
    for (int i = 0; i < kWidth; ++i) {
      if (rem[i] != div[i]) return rem[i] > div[i];
    }
    return true;
  };
  Decimal q;
  bool up = false;
  for (int t = 0; t < kDividendDigits; ++t) {
    // rem = rem * 10 + next dividend digit
    for (int i = 0; i + 1 < kWidth; ++i) rem[i] = rem[i + 1];
    rem[kWidth - 1] = t < kDecimalPositions ? a.digits_[static_cast<size_t>(t)] : 0;
    uint8_t digit = 0;
    while (rem_ge_div()) {
      int borrow = 0;
      for (int i = kWidth - 1; i >= 0; --i) {
        int v = rem[i] - div[i] - borrow;
        borrow = v < 0 ? 1 : 0;
        rem[i] = static_cast<uint8_t>(v + 10 * borrow);
      }
      ++digit;
    }
    const int p = t - kDecimalIntDigits;
    if (p >= 0 && p < kDecimalPositions) q.digits_[static_cast<size_t>(p)] = digit;
    if (t == kDividendDigits - 1) up = digit >= 5;
  }
  if (up) {
    for (int p = kDecimalPositions - 1; p >= 0; --p) {
      auto& dig = q.digits_[static_cast<size_t>(p)];
      if (++dig < 10) break;
      dig = 0;
    }
  }
  q.negative_ = a.negative_ != b.negative_;
  q.Normalize();
  *out = q;
  return true;
}

Decimal operator/(const Decimal& a, const Decimal& b) {
  Decimal q;
  (void)Decimal::Divide(a, b, &q);
  return q;
}

Order Compare(const Decimal& a, const Decimal& b) {
  const bool na = a.IsNegative();
  const bool nb = b.IsNegative();
  if (na != nb) return na ? Order::kLess : Order::kGreater;
  const Order m = Decimal::CompareMagnitude(a, b);
  if (!na || m == Order::kEqual) return m;
  return m == Order::kLess ? Order::kGreater : Order::kLess;
}

bool DecimalStack::Push(const Decimal& d) {
  if (depth_ >= kDecimalStackDepth) return false;
  entries_[static_cast<size_t>(depth_++)] = d;
  return true;
}

Decimal DecimalStack::Top() const {
  return depth_ == 0 ? Decimal{} : entries_[static_cast<size_t>(depth_ - 1)];
}

Decimal DecimalStack::Pop() {
  if (depth_ == 0) return Decimal{};
  return entries_[static_cast<size_t>(--depth_)];
}

void DecimalStack::PopToStringStack() {
  Strings().PushCopy(Pop().ToText());
}

void DecimalStack::Add() {
  const Decimal b = Pop();
  const Decimal a = Pop();
  Push(a + b);
}

void DecimalStack::Subtract() {
  const Decimal b = Pop();
  const Decimal a = Pop();
  Push(a - b);
}

void DecimalStack::Multiply() {
  const Decimal b = Pop();
  const Decimal a = Pop();
  Push(a * b);
}

bool DecimalStack::Divide() {
  const Decimal b = Pop();
  const Decimal a = Pop();
  Decimal q;
  const bool ok = Decimal::Divide(a, b, &q);
  Push(q);
  return ok;
}

void DecimalStack::Negate() {
  if (depth_ == 0) return;
  entries_[static_cast<size_t>(depth_ - 1)].Negate();
}

Order DecimalStack::Compare() {
  const Decimal b = Pop();
  const Decimal a = Pop();
  return runtime::Compare(a, b);
}

DecimalStack& Decimals() {
  static DecimalStack stack;
  return stack;
}

}  // namespace pellucor::runtime
