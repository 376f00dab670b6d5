// DEFORMAT: display (or typed) text through a compiled picture back to the stored value.
//
// Dates and times are first read position by position, as FORMAT lays them out. Text typed by
// hand rarely lines up with the positions ("1/5/59" for @D1, "October 5, 1959" for @D4), so
// when a digit or a letter stands where the picture has none, the text is read again part by
// part, in the picture's order, skipping the punctuation between the parts.
#include <cctype>
#include <string>
#include <vector>

#include "runtime/locale/decimal_text.h"
#include "runtime/locale/locale_internal.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::runtime {

namespace {

using Code = PositionCode;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || u >= 128;
}
char Fold(char c) {
  return static_cast<char>(locale_internal::FoldCase(static_cast<uint8_t>(c)));
}

// A number text in its plain form ("-1234.5"); "0" when no digit was given.
std::string Normalised(const std::string& text) {
  auto d = locale_internal::DecimalFromText(text);
  return d ? locale_internal::DecimalToString(*d) : "0";
}

// --- numbers ---------------------------------------------------------------------------

std::string DeformatNumber(std::string_view text, const Picture& p) {
  char decimal_char = 0;
  char group_char = 0;
  int implied_decimals = -1;
  for (size_t k = 0; k < p.length; ++k) {
    const PicturePosition& pos = p.positions[k];
    if (pos.code == Code::kDecimalPoint) decimal_char = static_cast<char>(pos.fill);
    if (pos.code == Code::kGroupSeparator && !group_char) group_char = static_cast<char>(pos.fill);
    if (pos.code == Code::kImpliedDecimal) {
      implied_decimals = 0;
      for (size_t j = k + 1; j < p.length && p.positions[j].code == Code::kDigitShown; ++j) {
        ++implied_decimals;
      }
    }
  }
  // A picture without a decimal character still takes a typed point, unless the point is its
  // group separator.
  if (!decimal_char && implied_decimals < 0 && group_char != '.') decimal_char = '.';
  const bool scientific = p.kind == PictureKind::kScientific;
  bool negative = false;
  bool point = false;
  bool in_exponent = false;
  bool exponent_negative = false;
  std::string mantissa, exponent;
  for (char c : text) {
    if (IsDigit(c)) {
      (in_exponent ? exponent : mantissa).push_back(c);
    } else if (c == decimal_char && !point && !in_exponent) {
      mantissa.push_back('.');
      point = true;
    } else if (scientific && (c == 'E' || c == 'e') && !in_exponent) {
      in_exponent = true;
    } else if (c == '-') {
      (in_exponent && exponent.empty() ? exponent_negative : negative) = true;
    } else if (c == '(') {
      negative = true;
    } else if (c == '+') {
      if (!in_exponent) negative = false;
    }
  }
  if (implied_decimals > 0 && !point) {
    if (mantissa.size() < static_cast<size_t>(implied_decimals) + 1) {
      mantissa.insert(0, implied_decimals + 1 - mantissa.size(), '0');
    }
    mantissa.insert(mantissa.size() - implied_decimals, ".");
  }
  std::string number = (negative ? "-" : "") + mantissa;
  if (!exponent.empty()) number += std::string("e") + (exponent_negative ? "-" : "") + exponent;
  return Normalised(number);
}

// Digits of a pattern; the literals of the pattern (a digit among them too, when the text lines
// up with the pattern) are not part of the value. A pattern has no sign: "(" and "-" in it are
// literals, so a phone number never reads as negative.
std::string DeformatPattern(std::string_view text, const Picture& p) {
  const bool aligned = text.size() == p.length;
  std::string digits;
  for (size_t k = 0; k < text.size(); ++k) {
    if (!IsDigit(text[k])) continue;
    if (aligned && p.positions[k].code == Code::kLiteral) continue;
    digits.push_back(text[k]);
  }
  return Normalised(digits);
}

std::string DeformatKeyIn(std::string_view text, const Picture& p) {
  std::string out;
  size_t t = 0;
  for (size_t k = 0; k < p.length && t < text.size(); ++k) {
    const PicturePosition& pos = p.positions[k];
    if (pos.code == Code::kKeyStop) continue;
    const char c = text[t++];
    if (pos.code == Code::kLiteral) continue;
    if (pos.code == Code::kKeyUnderscore && c == '_') {
      out.push_back(' ');
      continue;
    }
    out.push_back(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// --- dates and times -------------------------------------------------------------------

struct Part {
  Code code;
  size_t length;       // positions in the picture
  bool digits_follow;  // another digit part follows with nothing between
};

std::vector<Part> PartsOf(const Picture& p) {
  std::vector<Part> parts;
  for (size_t k = 0; k < p.length;) {
    const Code code = p.positions[k].code;
    size_t n = 1;
    while (k + n < p.length && p.positions[k + n].code == code) ++n;
    const bool digit_part = code == Code::kMonthDigit || code == Code::kDayDigit ||
                            code == Code::kYearDigit || code == Code::kHourDigit ||
                            code == Code::kMinuteDigit || code == Code::kSecondDigit;
    if (digit_part || code == Code::kMonthName) {
      if (!parts.empty() && digit_part && k > 0 && p.positions[k - 1].code == parts.back().code) {
        parts.back().digits_follow = true;
      }
      parts.push_back({code, n, false});
    }
    k += n;
  }
  return parts;
}

// The month whose short name begins the word, or whose full name begins the same way (so a
// full name from the desktop matches even when the short names are the defaults); 0 for none.
int MonthOfWord(std::string_view word) {
  if (word.size() < 3) return 0;
  const Locale& l = CurrentLocale();
  auto begins_with = [&](std::string_view prefix) {
    if (prefix.empty() || word.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      if (Fold(word[i]) != Fold(prefix[i])) return false;
    }
    return true;
  };
  for (int m = 0; m < 12; ++m) {
    if (begins_with(l.short_month_names[m])) return m + 1;
  }
  for (int m = 0; m < 12; ++m) {
    if (begins_with(std::string_view(l.month_names[m]).substr(0, 3))) return m + 1;
  }
  return 0;
}

struct Fields {
  int64_t month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  bool any = false;
  bool given_year = false;
  bool am = false, pm = false;
  int64_t* For(Code c) {
    switch (c) {
      case Code::kMonthDigit:
      case Code::kMonthName:
        return &month;
      case Code::kDayDigit:
        return &day;
      case Code::kYearDigit:
        return &year;
      case Code::kHourDigit:
        return &hour;
      case Code::kMinuteDigit:
        return &minute;
      default:
        return &second;
    }
  }
};

void AddDigit(Fields* f, Code code, char c) {
  int64_t* v = f->For(code);
  if (*v < 100000000) *v = *v * 10 + (c - '0');
  f->any = true;
  if (code == Code::kYearDigit) f->given_year = true;
}

void SeeAmPm(Fields* f, char c, const std::string& am, const std::string& pm) {
  if (!pm.empty() && Fold(c) == Fold(pm[0])) {
    f->pm = true;
  } else if (!am.empty() && Fold(c) == Fold(am[0])) {
    f->am = true;
  }
}

// Position by position; false when the text does not line up with the picture.
bool ReadByPositions(std::string_view text, const Picture& p, const std::string& am,
                     const std::string& pm, Fields* f) {
  for (size_t k = text.size(); k > p.length; --k) {
    if (text[k - 1] != ' ') return false;
  }
  for (size_t k = 0; k < p.length; ++k) {
    const PicturePosition& pos = p.positions[k];
    const char c = k < text.size() ? text[k] : ' ';
    switch (pos.code) {
      case Code::kMonthDigit:
      case Code::kDayDigit:
      case Code::kYearDigit:
      case Code::kHourDigit:
      case Code::kMinuteDigit:
      case Code::kSecondDigit:
        if (IsDigit(c)) {
          AddDigit(f, pos.code, c);
        } else if (c != ' ' && c != static_cast<char>(pos.fill)) {
          return false;
        }
        break;
      case Code::kMonthName: {
        size_t n = 1;
        while (k + n < p.length && p.positions[k + n].code == Code::kMonthName) ++n;
        std::string_view word = k < text.size() ? text.substr(k, n) : std::string_view{};
        for (char w : word) {
          if (IsDigit(w)) return false;
        }
        if (word.find_first_not_of(' ') != std::string_view::npos) {
          const int m = MonthOfWord(word);
          if (m == 0) return false;
          f->month = m;
          f->any = true;
        }
        k += n - 1;
        break;
      }
      case Code::kAmPm:
        if (IsDigit(c)) return false;
        SeeAmPm(f, c, am, pm);
        break;
      default:
        if (IsDigit(c)) return false;
        break;
    }
  }
  return true;
}

// Part by part in the picture's order, skipping whatever lies between.
void ReadByParts(std::string_view text, const Picture& p, const std::string& am,
                 const std::string& pm, Fields* f) {
  size_t i = 0;
  for (const Part& part : PartsOf(p)) {
    if (part.code == Code::kMonthName) {
      size_t j = i;
      while (j < text.size()) {
        while (j < text.size() && !IsLetter(text[j])) ++j;
        const size_t start = j;
        while (j < text.size() && IsLetter(text[j])) ++j;
        const int m = MonthOfWord(text.substr(start, j - start));
        if (m != 0) {
          f->month = m;
          f->any = true;
          i = j;
          break;
        }
      }
      continue;
    }
    while (i < text.size() && !IsDigit(text[i])) ++i;
    const size_t limit = part.digits_follow ? part.length : 9;
    for (size_t n = 0; i < text.size() && IsDigit(text[i]) && n < limit; ++n, ++i) {
      AddDigit(f, part.code, text[i]);
    }
  }
  for (; i < text.size(); ++i) {
    if (IsLetter(text[i])) {
      SeeAmPm(f, text[i], am, pm);
      if (f->am || f->pm) break;
    }
  }
}

void ReadFields(std::string_view text, const Picture& p, const std::string& am,
                const std::string& pm, Fields* f) {
  if (!ReadByPositions(text, p, am, pm, f)) {
    *f = Fields{};
    ReadByParts(text, p, am, pm, f);
  }
}

std::string DeformatDate(std::string_view text, const Picture& p) {
  Fields f;
  ReadFields(text, p, {}, {}, &f);
  if (!f.any) return "0";
  bool has_day = false;
  for (size_t k = 0; k < p.length; ++k) has_day |= p.positions[k].code == Code::kDayDigit;
  if (!has_day) f.day = 1;
  // A date typed without its year is a date of this year.
  if (!f.given_year) f.year = CurrentYear();
  auto clamp = [](int64_t v) { return static_cast<int32_t>(v > 999999999 ? 999999999 : v); };
  return std::to_string(DATE(clamp(f.month), clamp(f.day), clamp(f.year), p.window));
}

std::string DeformatTime(std::string_view text, const Picture& p) {
  const Locale& l = CurrentLocale();
  const bool system = p.number == 7 || p.number == 8;
  const std::string& am = system ? l.s1159 : l.am;
  const std::string& pm = system ? l.s2359 : l.pm;
  Fields f;
  ReadFields(text, p, am, pm, &f);
  // Every part zero is "no time" unless an AM/PM letter was typed: "12:00AM" is midnight, while
  // " 0:00" reads back as the empty time that a cleared entry shows.
  if (!f.any || (f.hour == 0 && f.minute == 0 && f.second == 0 && !f.am && !f.pm)) return "0";
  if (f.pm && f.hour != 12) f.hour += 12;
  if (f.am && f.hour == 12) f.hour = 0;
  if (f.hour > 23 || f.minute > 59 || f.second > 59) return "-1";
  return std::to_string(TimeValue(static_cast<int32_t>(f.hour), static_cast<int32_t>(f.minute),
                                  static_cast<int32_t>(f.second), 0));
}

}  // namespace

std::string DEFORMAT(std::string_view text) {
  std::string out;
  bool point = false;
  bool exponent = false;
  for (char c : text) {
    const bool after_e = !out.empty() && (out.back() == 'e' || out.back() == 'E');
    if (IsDigit(c)) {
      out.push_back(c);
    } else if (c == '.' && !point && !exponent) {
      out.push_back(c);
      point = true;
    } else if ((c == 'e' || c == 'E') && !exponent) {
      out.push_back(c);
      exponent = true;
    } else if (c == '-' && (out.empty() || after_e)) {
      out.push_back(c);
    } else if (c == '+' && after_e) {
      out.push_back(c);
    }
  }
  return out;
}

std::string DEFORMAT(std::string_view text, const Picture& picture) {
  if (!picture.valid) return DEFORMAT(text);
  switch (picture.kind) {
    case PictureKind::kNumeric:
    case PictureKind::kScientific:
      return DeformatNumber(text, picture);
    case PictureKind::kPattern:
      return DeformatPattern(text, picture);
    case PictureKind::kDate:
      return DeformatDate(text, picture);
    case PictureKind::kTime:
      return DeformatTime(text, picture);
    case PictureKind::kKeyIn:
      return DeformatKeyIn(text, picture);
    case PictureKind::kString:
      return DEFORMAT(text);
  }
  return DEFORMAT(text);
}

std::string DEFORMAT(std::string_view text, std::string_view picture_text) {
  return DEFORMAT(text, CompilePicture(picture_text));
}

}  // namespace pellucor::runtime
