// The system pictures (@D17, @D18, @T7, @T8), built from the "intl" settings once at start-up.
#include <string>
#include <vector>

#include "runtime/locale/locale_internal.h"

namespace pellucor::runtime::locale_internal {

namespace {

using Code = PositionCode;

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void AddDigits(Picture* p, Code code, int count, uint8_t tens_fill) {
  for (int k = 0; k < count; ++k) AddPosition(p, k == 0 ? tens_fill : '0', code);
}

// A date format cut into tokens: runs of one pattern letter ("dd", "MMMM", "yyyy") and literal
// texts (quoted parts with '' for a quote, and any other characters).
struct Token {
  char letter = 0;  // 'd', 'M', 'y', or 0 for a literal
  size_t count = 0;
  std::string literal;
};

std::vector<Token> Tokenise(std::string_view format) {
  std::vector<Token> tokens;
  auto literal = [&](char c) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back({});
    tokens.back().literal.push_back(c);
  };
  for (size_t i = 0; i < format.size();) {
    const char c = format[i];
    if (c == 'd' || c == 'M' || c == 'y') {
      size_t n = 0;
      while (i < format.size() && format[i] == c) ++n, ++i;
      tokens.push_back({c, n, {}});
    } else if (c == '\'') {
      ++i;
      while (i < format.size()) {
        if (format[i] == '\'') {
          if (i + 1 < format.size() && format[i + 1] == '\'') {
            literal('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        literal(format[i++]);
      }
    } else {
      literal(c);
      ++i;
    }
  }
  return tokens;
}

}  // namespace

Picture BuildShortDatePicture(std::string_view format) {
  Picture p;
  p.kind = PictureKind::kDate;
  p.number = 17;
  p.valid = true;
  const char first = format.empty() ? 'M' : format[0];
  // The separator is the character after the last "M"; a letter, a quote or nothing there means
  // the format has none we can use, and "/" stands in.
  uint8_t separator = '/';
  const size_t last_m = format.rfind('M');
  if (last_m != std::string_view::npos && last_m + 1 < format.size() &&
      !IsAlnum(format[last_m + 1]) && format[last_m + 1] != '\'') {
    separator = static_cast<uint8_t>(format[last_m + 1]);
  }
  const bool day_zero = format.find("dd") != std::string_view::npos;
  const bool month_zero = format.find("MM") != std::string_view::npos;
  const bool month_name = format.find("MMM") != std::string_view::npos;
  const size_t first_y = format.find('y');
  const bool long_year = first_y != std::string_view::npos && first_y + 2 < format.size() &&
                         format[first_y + 1] == 'y' && format[first_y + 2] == 'y';
  auto day = [&] { AddDigits(&p, Code::kDayDigit, 2, day_zero ? '0' : ' '); };
  auto month = [&] {
    if (month_name) {
      for (int k = 0; k < 3; ++k) AddPosition(&p, ' ', Code::kMonthName);
    } else {
      AddDigits(&p, Code::kMonthDigit, 2, month_zero ? '0' : ' ');
    }
  };
  auto year = [&] { AddDigits(&p, Code::kYearDigit, long_year ? 4 : 2, '0'); };
  auto sep = [&] { AddPosition(&p, separator, Code::kSeparator); };
  if (first == 'd') {
    day(), sep(), month(), sep(), year();
  } else if (first == 'y') {
    year(), sep(), month(), sep(), day();
  } else {
    month(), sep(), day(), sep(), year();
  }
  return p;
}

// The long date shows day, month name and year in the order and with the punctuation of the
// format. A weekday ("ddd", "dddd") has no position of its own in a picture and cannot be typed
// back, so it is left out together with the punctuation that joins it to the rest
// ("ddd', 'MMMM' 'dd', 'yyyy" shows as "October 31, 1959").
Picture BuildLongDatePicture(std::string_view format) {
  std::vector<Token> tokens = Tokenise(format);
  std::vector<Token> kept;
  for (size_t k = 0; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    if (t.letter == 'd' && t.count >= 3) {
      if (k + 1 < tokens.size() && tokens[k + 1].letter == 0) {
        ++k;  // the literal after the weekday
      } else if (!kept.empty() && kept.back().letter == 0) {
        kept.pop_back();  // a weekday at the end takes the literal before it
      }
      continue;
    }
    kept.push_back(t);
  }
  Picture p;
  p.kind = PictureKind::kDate;
  p.number = 18;
  p.valid = true;
  bool any_part = false;
  for (const Token& t : kept) {
    if (t.letter == 0) {
      for (char c : t.literal) AddPosition(&p, static_cast<uint8_t>(c), Code::kLiteral);
    } else if (t.letter == 'd') {
      AddDigits(&p, Code::kDayDigit, 2, t.count >= 2 ? '0' : ' ');
      any_part = true;
    } else if (t.letter == 'M') {
      for (int k = 0; k < 12; ++k) AddPosition(&p, ' ', Code::kMonthName);
      any_part = true;
    } else {
      AddDigits(&p, Code::kYearDigit, t.count == 2 ? 2 : 4, '0');
      any_part = true;
    }
  }
  if (!any_part) return BuildLongDatePicture("MMMM' 'dd', 'yyyy");
  return p;
}

Picture BuildTimePicture(int i_time, int i_tlzero, std::string_view separator, bool seconds) {
  Picture p;
  p.kind = PictureKind::kTime;
  p.number = seconds ? 8 : 7;
  p.valid = true;
  const uint8_t sep = separator.empty() ? ':' : static_cast<uint8_t>(separator[0]);
  AddDigits(&p, Code::kHourDigit, 2, i_tlzero == 1 ? '0' : ' ');
  AddPosition(&p, sep, Code::kSeparator);
  AddDigits(&p, Code::kMinuteDigit, 2, '0');
  if (seconds) {
    AddPosition(&p, sep, Code::kSeparator);
    AddDigits(&p, Code::kSecondDigit, 2, '0');
  }
  if (i_time == 0) {
    AddPosition(&p, ' ', Code::kLiteral);
    AddPosition(&p, ' ', Code::kAmPm);
    AddPosition(&p, 'M', Code::kLiteral);
  }
  return p;
}

void RebuildSystemPictures(Locale* locale) {
  locale->short_date = BuildShortDatePicture(locale->short_date_format);
  locale->long_date = BuildLongDatePicture(locale->long_date_format);
  locale->short_time = BuildTimePicture(locale->i_time, locale->i_tlzero, locale->s_time, false);
  locale->long_time = BuildTimePicture(locale->i_time, locale->i_tlzero, locale->s_time, true);
}

}  // namespace pellucor::runtime::locale_internal
