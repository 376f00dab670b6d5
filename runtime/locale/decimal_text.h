// Numbers as decimal digit strings, for formatting without binary rounding: a long decimal
// ("12345678901234567890.125") keeps every digit, and rounding to a picture's decimals works on
// the digits (half away from zero, the sign kept apart).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellucor::runtime::locale_internal {

struct DecimalText {
  bool negative = false;
  std::string integer;   // no leading zeros; empty for 0
  std::string fraction;  // no trailing zeros
  [[nodiscard]] bool IsZero() const { return integer.empty() && fraction.empty(); }
};

// Exponents beyond this are not laid out digit by digit: the number is wider (or narrower) than
// any picture can show.
inline constexpr int kMaxDecimalExponent = 600;

[[nodiscard]] DecimalText DecimalFromInteger(int64_t value);
// A real through its 15 significant digits, so 1.005 reads as written, not as 1.00499999...
[[nodiscard]] DecimalText DecimalFromReal(double value);
// Reads "[blanks][sign]digits[.digits][e[sign]digits]". Returns std::nullopt when no digit is
// found; *consumed (when given) tells how many characters were read.
[[nodiscard]] std::optional<DecimalText> DecimalFromText(std::string_view text,
                                                         size_t* consumed = nullptr);
// Rounds to `places` fraction digits, half away from zero. A value that rounds to zero loses its
// sign.
void RoundDecimal(DecimalText* value, int places);
// The integer part as an int64_t, saturating.
[[nodiscard]] int64_t DecimalToInteger(const DecimalText& value);
// "-123.45" form.
[[nodiscard]] std::string DecimalToString(const DecimalText& value);

}  // namespace pellucor::runtime::locale_internal
