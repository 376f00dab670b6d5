// FORMAT: a value through a compiled picture into display text.
#include <string>

#include "runtime/locale/decimal_text.h"
#include "runtime/locale/locale_internal.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime {

namespace {

using Code = PositionCode;
using locale_internal::DecimalText;

bool IsIntegerDigit(Code c) {
  return c == Code::kDigit || c == Code::kDigitShown || c == Code::kImpliedDecimal;
}

locale_internal::DecimalText ToDecimal(const FormatValue& v) {
  switch (v.kind) {
    case FormatValue::Kind::kInteger:
      return locale_internal::DecimalFromInteger(v.integer);
    case FormatValue::Kind::kReal:
      return locale_internal::DecimalFromReal(v.real);
    case FormatValue::Kind::kDecimal:
      return locale_internal::DecimalFromText(v.text).value_or(DecimalText{});
    case FormatValue::Kind::kString: {
      // A string is read as a number the way every conversion reads one: its leading numeric
      // part, at most 40 characters; the digits themselves are taken exactly.
      const ParsedNumber n = ParseNumber(v.text);
      if (!n.found) return {};
      return locale_internal::DecimalFromText(v.text.substr(0, n.consumed)).value_or(DecimalText{});
    }
  }
  return {};
}

// Day numbers and time values; anything outside 32 bits is no valid date or time.
int32_t ToInteger32(const FormatValue& v) {
  int64_t n;
  if (v.kind == FormatValue::Kind::kInteger) {
    n = v.integer;
  } else if (v.kind == FormatValue::Kind::kReal) {
    n = RealToInteger64(v.real);
  } else {
    n = locale_internal::DecimalToInteger(ToDecimal(v));
  }
  if (n < INT32_MIN || n > INT32_MAX) return -1;
  return static_cast<int32_t>(n);
}

std::string ValueText(const FormatValue& v) {
  switch (v.kind) {
    case FormatValue::Kind::kInteger:
      return IntegerText(v.integer);
    case FormatValue::Kind::kReal:
      return RealText(v.real);
    case FormatValue::Kind::kDecimal:
      return locale_internal::DecimalToString(ToDecimal(v));
    case FormatValue::Kind::kString:
      return std::string(v.text);
  }
  return {};
}

// Writes `value` into the run of `n` digit positions starting at `at`, right-aligned and
// zero-padded; a leading zero takes its position's fill character.
void PutDigits(const Picture& p, size_t at, size_t n, int64_t value, std::string* out) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (digits.size() < n) digits.insert(0, n - digits.size(), '0');
  digits = digits.substr(digits.size() - n);
  bool leading = true;
  for (size_t k = 0; k < n; ++k) {
    leading = leading && digits[k] == '0' && k + 1 < n;
    (*out)[at + k] = leading ? static_cast<char>(p.positions[at + k].fill) : digits[k];
  }
}

size_t RunLength(const Picture& p, size_t at) {
  size_t n = 1;
  while (at + n < p.length && p.positions[at + n].code == p.positions[at].code) ++n;
  return n;
}

uint8_t DigitFill(const Picture& p) {
  for (size_t k = 0; k < p.length; ++k) {
    if (p.positions[k].code == Code::kDigit) return p.positions[k].fill;
  }
  return ' ';
}

// --- numbers ---------------------------------------------------------------------------

// Fills the integer area (positions [0, end) that are digits or group separators), right to
// left. Returns false when the digits do not fit.
bool PutIntegerArea(const Picture& p, size_t end, const std::string& digits, std::string* out) {
  const uint8_t fill = DigitFill(p);
  size_t placed = 0;
  for (size_t k = end; k-- > 0;) {
    const Code code = p.positions[k].code;
    if (IsIntegerDigit(code)) {
      if (placed < digits.size()) {
        (*out)[k] = digits[digits.size() - 1 - placed++];
      } else {
        (*out)[k] = code == Code::kDigit ? static_cast<char>(p.positions[k].fill) : '0';
      }
    } else if (code == Code::kGroupSeparator) {
      if (placed < digits.size()) {
        (*out)[k] = static_cast<char>(p.positions[k].fill);
      } else {
        // Past the number: zero fill keeps the separators, other fills cover them.
        (*out)[k] = static_cast<char>(fill == '0' ? p.positions[k].fill : fill);
      }
    }
  }
  return placed >= digits.size();
}

std::string Overflow(const Picture& p) {
  return std::string(p.length, '#');
}

// A leading sign or currency floats to the first digit when the digits are blank-filled.
void FloatPrefix(const Picture& p, bool negative, std::string* out) {
  size_t prefix = 0;
  while (prefix < p.length &&
         (p.positions[prefix].code == Code::kSign || p.positions[prefix].code == Code::kCurrency)) {
    ++prefix;
  }
  if (prefix == 0 || DigitFill(p) != ' ') return;
  std::string shown;
  for (size_t k = 0; k < prefix; ++k) {
    if (p.positions[k].code == Code::kCurrency || negative) {
      shown.push_back(static_cast<char>(p.positions[k].fill));
    }
  }
  size_t blanks = prefix;
  while (blanks < out->size() && (*out)[blanks] == ' ') ++blanks;
  const std::string body = out->substr(blanks);
  *out = std::string(out->size() - body.size() - shown.size(), ' ') + shown + body;
}

// A negative number in a picture without a sign position still shows a "-": just before the
// first digit when the leading digits are blank, or in the first position when they are filled.
// Returns false when there is no room for it.
bool PutMinusWithoutSignPosition(const Picture& p, std::string* out) {
  size_t first = 0;
  while (first < p.length && p.positions[first].code == Code::kCurrency) ++first;
  size_t k = first;
  const uint8_t fill = DigitFill(p);
  while (k < p.length &&
         (p.positions[k].code == Code::kDigit || p.positions[k].code == Code::kGroupSeparator) &&
         (*out)[k] == static_cast<char>(fill)) {
    ++k;
  }
  if (k == first) return false;
  (*out)[fill == ' ' ? k - 1 : first] = '-';
  return true;
}

std::string FormatNumeric(DecimalText d, const Picture& p) {
  size_t split = p.length;  // the first position after the integer area
  size_t frac_begin = p.length;
  for (size_t k = 0; k < p.length; ++k) {
    if (p.positions[k].code == Code::kDecimalPoint) {
      split = k;
      frac_begin = k + 1;
      break;
    }
    if (p.positions[k].code == Code::kImpliedDecimal) {
      split = k + 1;
      frac_begin = k + 1;
      break;
    }
  }
  if (split == p.length) {
    // No point: the integer area ends with the last digit.
    split = 0;
    for (size_t k = 0; k < p.length; ++k) {
      if (IsIntegerDigit(p.positions[k].code)) split = k + 1;
    }
    frac_begin = split;
  }
  int decimals = 0;
  for (size_t k = frac_begin; k < p.length; ++k) {
    if (p.positions[k].code == Code::kDigitShown) ++decimals;
  }
  locale_internal::RoundDecimal(&d, decimals);
  if (p.blank_when_zero && d.IsZero()) return std::string(p.length, ' ');
  std::string out(p.length, ' ');
  std::string fraction = d.fraction;
  fraction.resize(static_cast<size_t>(decimals), '0');
  size_t f = 0;
  bool has_sign = false;
  for (size_t k = 0; k < p.length; ++k) {
    const PicturePosition& pos = p.positions[k];
    if (k >= frac_begin && pos.code == Code::kDigitShown) {
      out[k] = fraction[f++];
    } else if (pos.code == Code::kDecimalPoint || pos.code == Code::kCurrency ||
               pos.code == Code::kLiteral) {
      out[k] = static_cast<char>(pos.fill);
    } else if (pos.code == Code::kSign) {
      has_sign = true;
      out[k] = d.negative ? static_cast<char>(pos.fill) : ' ';
    }
  }
  if (!PutIntegerArea(p, split, d.integer, &out)) return Overflow(p);
  if (d.negative && !has_sign && !PutMinusWithoutSignPosition(p, &out)) return Overflow(p);
  FloatPrefix(p, d.negative, &out);
  return out;
}

std::string FormatScientific(const DecimalText& d, const Picture& p) {
  if (p.blank_when_zero && d.IsZero()) return std::string(p.length, ' ');
  int exponent = 0;
  DecimalText m;
  m.negative = d.negative;
  if (!d.IsZero()) {
    std::string digits;
    if (!d.integer.empty()) {
      exponent = static_cast<int>(d.integer.size()) - 1;
      digits = d.integer + d.fraction;
    } else {
      const size_t zeros = d.fraction.find_first_not_of('0');
      exponent = -static_cast<int>(zeros) - 1;
      digits = d.fraction.substr(zeros);
    }
    m.integer = digits.substr(0, 1);
    m.fraction = digits.substr(1);
  }
  size_t e = 0;
  while (e < p.length && p.positions[e].code != Code::kExponentSign) ++e;
  int decimals = 0;
  size_t point = e;
  for (size_t k = 0; k < e; ++k) {
    if (p.positions[k].code == Code::kDecimalPoint ||
        p.positions[k].code == Code::kImpliedDecimal) {
      point = k;
    }
  }
  for (size_t k = point + 1; k < e; ++k) {
    if (p.positions[k].code == Code::kDigitShown) ++decimals;
  }
  locale_internal::RoundDecimal(&m, decimals);
  if (m.integer.size() > 1) {  // 9.99 rounded up to 10.0
    m.fraction = m.integer.substr(1) + m.fraction;
    m.integer = m.integer.substr(0, 1);
    ++exponent;
  }
  if (m.IsZero()) exponent = 0;
  if (exponent > 999 || exponent < -999) return Overflow(p);
  std::string out(p.length, ' ');
  std::string fraction = m.fraction;
  fraction.resize(static_cast<size_t>(decimals), '0');
  size_t f = 0;
  const size_t split = p.positions[point].code == Code::kImpliedDecimal ? point + 1 : point;
  for (size_t k = 0; k < p.length; ++k) {
    const PicturePosition& pos = p.positions[k];
    if (k > point && k < e && pos.code == Code::kDigitShown) {
      out[k] = fraction[f++];
    } else if (pos.code == Code::kDecimalPoint || pos.code == Code::kLiteral) {
      out[k] = static_cast<char>(pos.fill);
    } else if (pos.code == Code::kExponentSign) {
      out[k] = exponent < 0 ? '-' : '+';
    }
  }
  std::string exp_digits = std::to_string(exponent < 0 ? -exponent : exponent);
  exp_digits.insert(0, 3 - exp_digits.size(), '0');
  for (size_t k = 0; k < 3 && e + 1 + k < p.length; ++k) out[e + 1 + k] = exp_digits[k];
  PutIntegerArea(p, split, m.integer.empty() ? "0" : m.integer, &out);
  // The sign sits just before the mantissa's first digit.
  if (m.negative) {
    size_t k = 1;
    while (k < p.length && out[k] == ' ') ++k;
    out[k - 1] = '-';
  }
  return out;
}

// --- dates and times -------------------------------------------------------------------

bool IsCompactDate(const Picture& p) {
  return p.number == 4 || p.number == 18;
}

std::string FormatDate(int32_t day_number, const Picture& p) {
  if (p.blank_when_zero && day_number == 0) return std::string(p.length, ' ');
  BrokenDate date;
  const bool valid = SplitDate(day_number, &date) == 0;
  if (!valid && IsCompactDate(p)) return std::string(p.length, ' ');
  const Locale& l = CurrentLocale();
  const std::string& name = IsCompactDate(p)
                                ? l.month_names[date.month > 0 ? date.month - 1 : 0]
                                : l.short_month_names[date.month > 0 ? date.month - 1 : 0];
  size_t year_positions = 0;
  for (size_t k = 0; k < p.length; ++k) year_positions += p.positions[k].code == Code::kYearDigit;
  std::string out(p.length, ' ');
  // @D4 and @D18: the month name without its padding. @D4's digits keep their blank-filled
  // tens as the other fixed pictures do ("January  5, 1959"); @D18, laid out from the system's
  // long date text, closes up its numbers too.
  std::string compact;
  for (size_t k = 0; k < p.length;) {
    const Code code = p.positions[k].code;
    const size_t n = code == Code::kLiteral || code == Code::kSeparator ? 1 : RunLength(p, k);
    if (code == Code::kMonthDigit || code == Code::kDayDigit || code == Code::kYearDigit) {
      if (valid) {
        int64_t v = code == Code::kMonthDigit ? date.month
                    : code == Code::kDayDigit ? date.day
                                              : (year_positions < 4 ? date.year % 100 : date.year);
        PutDigits(p, k, n, v, &out);
      }
    } else if (code == Code::kMonthName) {
      if (valid) {
        for (size_t j = 0; j < n && j < name.size(); ++j) out[k + j] = name[j];
      }
    } else if (code != Code::kAmPm) {
      out[k] = static_cast<char>(p.positions[k].fill);
    }
    if (IsCompactDate(p)) {
      std::string part = out.substr(k, n);
      if (code == Code::kMonthName) {
        part = name.substr(0, n);
      } else if (p.number == 18 && code != Code::kLiteral && code != Code::kSeparator) {
        part.erase(0, part.find_first_not_of(' '));
      }
      compact += part;
    }
    k += n;
  }
  if (IsCompactDate(p)) {
    compact.resize(p.length, ' ');
    return compact;
  }
  return out;
}

std::string FormatTime(int32_t time_value, const Picture& p) {
  if (p.blank_when_zero && time_value == 0) return std::string(p.length, ' ');
  BrokenTime t;
  const bool valid = SplitTime(time_value, &t) == 0;
  bool twelve_hour = false;
  for (size_t k = 0; k < p.length; ++k) twelve_hour |= p.positions[k].code == Code::kAmPm;
  int hour = t.hour;
  if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
  const Locale& l = CurrentLocale();
  const bool system = p.number == 7 || p.number == 8;
  const std::string& ampm = t.hour < 12 ? (system ? l.s1159 : l.am) : (system ? l.s2359 : l.pm);
  std::string out(p.length, ' ');
  for (size_t k = 0; k < p.length;) {
    const Code code = p.positions[k].code;
    if (code == Code::kHourDigit || code == Code::kMinuteDigit || code == Code::kSecondDigit) {
      const size_t n = RunLength(p, k);
      if (valid) {
        PutDigits(p, k, n,
                  code == Code::kHourDigit     ? hour
                  : code == Code::kMinuteDigit ? t.minute
                                               : t.second,
                  &out);
      }
      k += n;
      continue;
    }
    if (code == Code::kAmPm) {
      // The text's first character here, its second in the next position (blank if none).
      out[k] = valid && !ampm.empty() ? ampm[0] : ' ';
      if (k + 1 < p.length) out[k + 1] = valid && ampm.size() > 1 ? ampm[1] : ' ';
      k += 2;
      continue;
    }
    out[k] = static_cast<char>(p.positions[k].fill);
    ++k;
  }
  return out;
}

// --- patterns and key-in pictures ------------------------------------------------------

std::string FormatPattern(DecimalText d, const Picture& p) {
  locale_internal::RoundDecimal(&d, 0);
  if (p.blank_when_zero && d.IsZero()) return std::string(p.length, ' ');
  std::string out(p.length, ' ');
  size_t placed = 0;
  for (size_t k = p.length; k-- > 0;) {
    const PicturePosition& pos = p.positions[k];
    if (pos.code == Code::kLiteral) {
      out[k] = static_cast<char>(pos.fill);
    } else if (placed < d.integer.size()) {
      out[k] = d.integer[d.integer.size() - 1 - placed++];
    } else {
      out[k] = pos.code == Code::kDigitShown ? '0' : ' ';
    }
  }
  if (placed < d.integer.size()) return Overflow(p);
  return out;
}

std::string FormatKeyIn(const FormatValue& v, const Picture& p) {
  const std::string text = ValueText(v);
  if (p.blank_when_zero && (text.empty() || ToDecimal(v).IsZero())) {
    size_t shown = 0;
    for (size_t k = 0; k < p.length; ++k) shown += p.positions[k].code != Code::kKeyStop;
    return std::string(shown, ' ');
  }
  std::string out;
  size_t next = 0;
  for (size_t k = 0; k < p.length; ++k) {
    const PicturePosition& pos = p.positions[k];
    if (pos.code == Code::kKeyStop) continue;  // marks where entry may end; shows nothing
    if (pos.code == Code::kLiteral) {
      out.push_back(static_cast<char>(pos.fill));
      continue;
    }
    if (next < text.size()) {
      char c = text[next++];
      if (pos.code == Code::kKeyUpper) {
        c = static_cast<char>(locale_internal::FoldCase(static_cast<uint8_t>(c)));
      }
      out.push_back(c);
    } else {
      out.push_back(pos.code == Code::kKeyUnderscore ? '_' : ' ');
    }
  }
  return out;
}

}  // namespace

std::string FORMAT(const FormatValue& value, const Picture& picture) {
  if (!picture.valid) return ValueText(value);
  switch (picture.kind) {
    case PictureKind::kNumeric:
      return FormatNumeric(ToDecimal(value), picture);
    case PictureKind::kScientific:
      return FormatScientific(ToDecimal(value), picture);
    case PictureKind::kDate:
      return FormatDate(ToInteger32(value), picture);
    case PictureKind::kTime:
      return FormatTime(ToInteger32(value), picture);
    case PictureKind::kPattern:
      return FormatPattern(ToDecimal(value), picture);
    case PictureKind::kKeyIn:
      return FormatKeyIn(value, picture);
    case PictureKind::kString: {
      std::string text = ValueText(value);
      text.resize(picture.length, ' ');
      return text;
    }
  }
  return ValueText(value);
}

std::string FORMAT(int64_t value, const Picture& picture) {
  return FORMAT(FormatValue::Integer(value), picture);
}

std::string FORMAT(const FormatValue& value, std::string_view picture_text) {
  return FORMAT(value, CompilePicture(picture_text));
}

}  // namespace pellucor::runtime
