#include "runtime/locale/decimal_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pellucor::runtime::locale_internal {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void Normalise(DecimalText* v) {
  size_t lead = 0;
  while (lead < v->integer.size() && v->integer[lead] == '0') ++lead;
  v->integer.erase(0, lead);
  while (!v->fraction.empty() && v->fraction.back() == '0') v->fraction.pop_back();
  if (v->IsZero()) v->negative = false;
}

}  // namespace

DecimalText DecimalFromInteger(int64_t value) {
  DecimalText d;
  d.negative = value < 0;
  // The magnitude of INT64_MIN does not fit an int64_t; go through the unsigned type.
  uint64_t magnitude = d.negative ? static_cast<uint64_t>(0) - static_cast<uint64_t>(value) : value;
  d.integer = std::to_string(magnitude);
  Normalise(&d);
  return d;
}

DecimalText DecimalFromReal(double value) {
  if (!std::isfinite(value)) {
    // Infinity is wider than any picture; NaN has no digits at all and shows as zero.
    DecimalText d;
    if (std::isinf(value)) {
      d.negative = value < 0;
      d.integer.assign(kMaxDecimalExponent, '9');
    }
    return d;
  }
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  std::optional<DecimalText> d = DecimalFromText(std::string_view(buf, result.ptr - buf));
  return d ? *d : DecimalText{};
}

std::optional<DecimalText> DecimalFromText(std::string_view text, size_t* consumed) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  DecimalText d;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    d.negative = text[i] == '-';
    ++i;
  }
  bool any_digit = false;
  std::string digits;  // all mantissa digits
  int point = -1;      // digits before the point
  while (i < text.size()) {
    if (IsDigit(text[i])) {
      digits.push_back(text[i]);
      any_digit = true;
    } else if (text[i] == '.' && point < 0) {
      point = static_cast<int>(digits.size());
    } else {
      break;
    }
    ++i;
  }
  if (!any_digit) return std::nullopt;
  if (point < 0) point = static_cast<int>(digits.size());
  // An exponent counts only when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool exp_negative = false;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) {
      exp_negative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && IsDigit(text[j])) {
      int64_t exponent = 0;
      while (j < text.size() && IsDigit(text[j])) {
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      i = j;
      if (exponent > kMaxDecimalExponent) exponent = kMaxDecimalExponent;
      point += static_cast<int>(exp_negative ? -exponent : exponent);
    }
  }
  if (consumed) *consumed = i;
  if (point < 0) {
    digits.insert(0, static_cast<size_t>(-point), '0');
    point = 0;
  } else if (point > static_cast<int>(digits.size())) {
    digits.append(static_cast<size_t>(point) - digits.size(), '0');
  }
  d.integer = digits.substr(0, point);
  d.fraction = digits.substr(point);
  Normalise(&d);
  return d;
}

void RoundDecimal(DecimalText* value, int places) {
  if (places < 0) places = 0;
  if (value->fraction.size() <= static_cast<size_t>(places)) return;
  const bool round_up = value->fraction[places] >= '5';
  value->fraction.resize(places);
  if (round_up) {
    // Add one unit in the last kept place, carrying through the fraction into the integer.
    std::string all = value->integer + value->fraction;
    int k = static_cast<int>(all.size()) - 1;
    while (k >= 0 && all[k] == '9') all[k--] = '0';
    if (k >= 0) {
      ++all[k];
    } else {
      all.insert(0, 1, '1');
    }
    value->integer = all.substr(0, all.size() - places);
    value->fraction = all.substr(all.size() - places);
  }
  Normalise(value);
}

int64_t DecimalToInteger(const DecimalText& value) {
  if (value.integer.size() > 18) {
    return value.negative ? std::numeric_limits<int64_t>::min()
                          : std::numeric_limits<int64_t>::max();
  }
  int64_t n = 0;
  for (char c : value.integer) n = n * 10 + (c - '0');
  return value.negative ? -n : n;
}

std::string DecimalToString(const DecimalText& value) {
  std::string s = value.negative ? "-" : "";
  s += value.integer.empty() ? "0" : value.integer;
  if (!value.fraction.empty()) s += "." + value.fraction;
  return s;
}

}  // namespace pellucor::runtime::locale_internal
