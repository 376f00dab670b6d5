// The grammar of a number in text, shared by the real and the decimal readers so that both stop
// at the same character.
#pragma once

#include <cstddef>
#include <string_view>

namespace pellucor::runtime::internal {

struct NumberScan {
  bool found = false;  // at least one mantissa digit
  bool negative = false;
  bool has_fraction = false;  // a point or an exponent was read
  std::string_view int_digits;
  std::string_view frac_digits;
  int exponent = 0;  // clamped to +-100000: far beyond any representable value
  size_t consumed = 0;
};

// Scans the number at the start of the first kNumberTextLimit characters of text: leading
// blanks, a sign, digits, a point and fraction, an exponent. An exponent marker without digits
// after it is not part of the number.
NumberScan ScanNumber(std::string_view text);

}  // namespace pellucor::runtime::internal
