// Packed decimals and the decimal accumulator.
//
// Stored layouts (B bytes hold 2B - 1 digits, most significant first; the last `places` digits
// are fractions; a declaration of d digits takes d/2 + 1 bytes):
//
//   DECIMAL   byte 0: high nibble the sign (0 positive, 0xF written for negative, any non-zero
//             nibble reads as negative), low nibble the first digit; then two digits a byte.
//   PDECIMAL  two digits a byte from byte 0 on; the low nibble of the last byte is the sign:
//             0xD negative, 0xF written for positive, any other value reads as positive.
//
// A nibble above 9 where a digit belongs reads as 0, so a damaged field never yields a value
// outside its declared range.
//
// An accumulator has 64 digit positions, one digit per byte: 32 integer positions and 32
// fraction positions, a sign, and the lowest and highest significant positions. Loading a field
// unpacks its digits into the positions its places give; storing packs them back, rounding half
// away from zero to the field's places and dropping integer digits the field cannot hold (the
// high-order digits are lost). Arithmetic keeps 32 integer and 32 fraction digits: a carry out of
// the top position is lost the same way, and results with more fraction digits are rounded half
// away from zero at the 32nd.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/values/string_stack.h"

namespace pellucor::runtime {

inline constexpr int kDecimalIntDigits = 32;
inline constexpr int kDecimalFracDigits = 32;
inline constexpr int kDecimalPositions = kDecimalIntDigits + kDecimalFracDigits;

// Digits of a field of `bytes` bytes.
[[nodiscard]] constexpr int DecimalDigits(size_t bytes) {
  return static_cast<int>(2 * bytes) - 1;
}
// Bytes of a DECIMAL(digits, places) declaration.
[[nodiscard]] constexpr size_t DecimalBytes(int digits) {
  return static_cast<size_t>(digits / 2 + 1);
}

class Decimal {
 public:
  Decimal() = default;  // zero

  [[nodiscard]] static Decimal FromInteger(int64_t value);
  // The real's value to its 15 significant digits (what a double reliably holds), then rounded
  // to 32 fraction digits. NaN gives 0; infinities give the largest value of their sign.
  [[nodiscard]] static Decimal FromReal(double value);
  // Reads the number at the start of text with the text-to-number rules (at most 40 characters,
  // stops at the first character not belonging to the number; 0 without one). Exponents move the
  // point; digits beyond the accumulator's reach are lost (high) or rounded (low).
  [[nodiscard]] static Decimal FromText(std::string_view text);

  // REQUIRES: size >= 1, places >= 0. Fields wider than 32 integer or fraction digits keep the
  // digits the accumulator can hold.
  [[nodiscard]] static Decimal LoadDecimal(const uint8_t* bytes, size_t size, int places);
  [[nodiscard]] static Decimal LoadPDecimal(const uint8_t* bytes, size_t size, int places);
  void StoreDecimal(uint8_t* bytes, size_t size, int places) const;
  void StorePDecimal(uint8_t* bytes, size_t size, int places) const;

  // Integer part (truncated toward zero; saturates beyond the 64- or 32-bit range).
  [[nodiscard]] int64_t ToInteger64() const;
  [[nodiscard]] int32_t ToInteger() const;
  [[nodiscard]] double ToReal() const;
  // Plain decimal text: "-" when negative, integer digits (at least "0"), and when there are
  // fraction digits a point and the fraction without trailing zeros ("1.5", "-0.25", "12").
  [[nodiscard]] std::string ToText() const;
  // The same with exactly `places` fraction digits (rounded half away from zero): "234.50".
  [[nodiscard]] std::string ToText(int places) const;

  [[nodiscard]] bool IsZero() const { return high_ > low_; }
  [[nodiscard]] bool IsNegative() const { return negative_ && !IsZero(); }

  // Rounds half away from zero to `places` fraction digits (0-32).
  void Round(int places);
  // Drops fraction digits beyond `places` (toward zero).
  void Truncate(int places);
  void Negate() { negative_ = !negative_; }
  [[nodiscard]] Decimal Abs() const;

  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  // Quotient rounded half away from zero at the 32nd fraction digit. REQUIRES: divisor non-zero
  // (use Divide to be told).
  friend Decimal operator/(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a) {
    Decimal r = a;
    r.Negate();
    return r;
  }
  // Returns false and leaves *out zero when the divisor is zero.
  [[nodiscard]] static bool Divide(const Decimal& a, const Decimal& b, Decimal* out);

  friend Order Compare(const Decimal& a, const Decimal& b);
  friend bool operator==(const Decimal& a, const Decimal& b) {
    return Compare(a, b) == Order::kEqual;
  }

  // Digit at position p (0 the highest integer position, 10^31; 31 the units; 32 the tenths).
  [[nodiscard]] uint8_t DigitAt(int p) const { return digits_[static_cast<size_t>(p)]; }

 private:
  void Normalize();  // recomputes low_/high_; zero clears the sign
  static Order CompareMagnitude(const Decimal& a, const Decimal& b);
  static Decimal AddMagnitudes(const Decimal& a, const Decimal& b);
  static Decimal SubtractMagnitudes(const Decimal& a, const Decimal& b);  // |a| >= |b|

  std::array<uint8_t, kDecimalPositions> digits_{};
  bool negative_ = false;
  // Lowest and highest significant positions: high_ is the first non-zero digit, low_ the last;
  // for zero, high_ = kDecimalPositions and low_ = 0 (so high_ > low_).
  int16_t low_ = 0;
  int16_t high_ = kDecimalPositions;
};

[[nodiscard]] Decimal operator+(const Decimal& a, const Decimal& b);
[[nodiscard]] Decimal operator-(const Decimal& a, const Decimal& b);
[[nodiscard]] Decimal operator*(const Decimal& a, const Decimal& b);
[[nodiscard]] Decimal operator/(const Decimal& a, const Decimal& b);
[[nodiscard]] Order Compare(const Decimal& a, const Decimal& b);

// The process-wide stack of accumulators the evaluator computes on. Binary operations take the
// entry below the top as the left operand and replace both by the result. Operations on too few
// entries use zero for the missing ones; a push beyond the depth is not performed.
inline constexpr int kDecimalStackDepth = 32;

class DecimalStack {
 public:
  [[nodiscard]] int Depth() const { return depth_; }
  bool Push(const Decimal& d);
  bool PushDecimal(const uint8_t* bytes, size_t size, int places) {
    return Push(Decimal::LoadDecimal(bytes, size, places));
  }
  bool PushPDecimal(const uint8_t* bytes, size_t size, int places) {
    return Push(Decimal::LoadPDecimal(bytes, size, places));
  }
  bool PushInteger(int64_t v) { return Push(Decimal::FromInteger(v)); }
  bool PushReal(double v) { return Push(Decimal::FromReal(v)); }
  bool PushText(std::string_view t) { return Push(Decimal::FromText(t)); }

  [[nodiscard]] Decimal Top() const;
  [[nodiscard]] Decimal Pop();
  void PopIntoDecimal(uint8_t* bytes, size_t size, int places) {
    Pop().StoreDecimal(bytes, size, places);
  }
  void PopIntoPDecimal(uint8_t* bytes, size_t size, int places) {
    Pop().StorePDecimal(bytes, size, places);
  }
  // Pops the top and pushes its text on the string stack.
  void PopToStringStack();

  void Add();
  void Subtract();
  void Multiply();
  // Returns false (and leaves zero) when the divisor is zero.
  bool Divide();
  void Negate();
  // Pops both and returns the order of the lower entry against the top.
  Order Compare();
  void Reset() { depth_ = 0; }

 private:
  std::array<Decimal, kDecimalStackDepth> entries_{};
  int depth_ = 0;
};

DecimalStack& Decimals();

}  // namespace pellucor::runtime
