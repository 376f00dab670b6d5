// Compiling picture texts into Picture records. Each kind has its own small grammar; anything
// that does not match gives an invalid picture (valid == false), never an error.
#include <cctype>
#include <string>

#include "runtime/locale/locale_internal.h"
#include "runtime/locale/picture.h"

namespace pellucor::runtime {

using locale_internal::AddPosition;

namespace {

using Code = PositionCode;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Reads a decimal number of at most `max_digits` digits at text[*i]; -1 when none is there.
int ReadNumber(std::string_view text, size_t* i, int max_digits = 3) {
  if (*i >= text.size() || !IsDigit(text[*i])) return -1;
  int n = 0;
  int digits = 0;
  while (*i < text.size() && IsDigit(text[*i])) {
    if (++digits > max_digits) return -1;
    n = n * 10 + (text[*i] - '0');
    ++*i;
  }
  return n;
}

bool OnlyBlanksFrom(std::string_view text, size_t i) {
  for (; i < text.size(); ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

// The separator option of date and time pictures: "." and "-" stand for themselves, "_" for a
// blank and the backquote for a comma.
uint8_t SeparatorOption(char c) {
  switch (c) {
    case '.':
    case '-':
      return static_cast<uint8_t>(c);
    case '_':
      return ' ';
    case '`':
      return ',';
    default:
      return 0;
  }
}

uint8_t FillOption(char c) {
  switch (c) {
    case '0':
      return '0';
    case '_':
      return ' ';
    case '*':
      return '*';
    default:
      return 0;
  }
}

// --- date and time layouts -------------------------------------------------------------

void Digits(Picture* p, Code code, int count, uint8_t tens_fill) {
  for (int k = 0; k < count; ++k) AddPosition(p, k == 0 ? tens_fill : '0', code);
}
void Sep(Picture* p, uint8_t c) {
  AddPosition(p, c, Code::kSeparator);
}
void Lit(Picture* p, uint8_t c) {
  AddPosition(p, c, Code::kLiteral);
}
void Name(Picture* p, int count) {
  for (int k = 0; k < count; ++k) AddPosition(p, ' ', Code::kMonthName);
}

bool BuildFixedDate(Picture* p, int number) {
  const Code m = Code::kMonthDigit, d = Code::kDayDigit, y = Code::kYearDigit;
  switch (number) {
    case 1:
    case 2:
      Digits(p, m, 2, ' '), Sep(p, '/'), Digits(p, d, 2, '0'), Sep(p, '/');
      Digits(p, y, number == 1 ? 2 : 4, '0');
      return true;
    case 3:
      Name(p, 3), Lit(p, ' '), Digits(p, d, 2, ' '), Sep(p, ','), Digits(p, y, 4, '0');
      return true;
    case 4:
      Name(p, 12), Lit(p, ' '), Digits(p, d, 2, ' '), Lit(p, ','), Lit(p, ' ');
      Digits(p, y, 4, '0');
      return true;
    case 5:
    case 6:
      Digits(p, d, 2, ' '), Sep(p, '/'), Digits(p, m, 2, '0'), Sep(p, '/');
      Digits(p, y, number == 5 ? 2 : 4, '0');
      return true;
    case 7:
    case 8:
      Digits(p, d, 2, ' '), Sep(p, ' '), Name(p, 3), Sep(p, ' ');
      Digits(p, y, number == 7 ? 2 : 4, '0');
      return true;
    case 9:
    case 10:
      Digits(p, y, number == 9 ? 2 : 4, '0'), Sep(p, '/'), Digits(p, m, 2, '0'), Sep(p, '/');
      Digits(p, d, 2, '0');
      return true;
    case 11:
    case 12:
      Digits(p, y, number == 11 ? 2 : 4, '0'), Digits(p, m, 2, '0'), Digits(p, d, 2, '0');
      return true;
    case 13:
    case 14:
      Digits(p, m, 2, '0'), Sep(p, '/'), Digits(p, y, number == 13 ? 2 : 4, '0');
      return true;
    case 15:
    case 16:
      Digits(p, y, number == 15 ? 2 : 4, '0'), Sep(p, '/'), Digits(p, m, 2, '0');
      return true;
    default:
      return false;
  }
}

bool BuildFixedTime(Picture* p, int number) {
  const Code h = Code::kHourDigit, mi = Code::kMinuteDigit, s = Code::kSecondDigit;
  switch (number) {
    case 1:
    case 3:
      Digits(p, h, 2, ' '), Sep(p, ':'), Digits(p, mi, 2, '0');
      break;
    case 2:
      Digits(p, h, 2, ' '), Digits(p, mi, 2, '0');
      break;
    case 4:
    case 6:
      Digits(p, h, 2, ' '), Sep(p, ':'), Digits(p, mi, 2, '0'), Sep(p, ':');
      Digits(p, s, 2, '0');
      break;
    case 5:
      Digits(p, h, 2, ' '), Digits(p, mi, 2, '0'), Digits(p, s, 2, '0');
      break;
    default:
      return false;
  }
  if (number == 3 || number == 6) {
    AddPosition(p, ' ', Code::kAmPm);
    Lit(p, 'M');
  }
  return true;
}

// "@D" [fill] number [("<" | ">") [n]] [separator] blanks.
bool CompileDate(std::string_view t, Picture* p) {
  size_t i = 2;
  uint8_t fill = 0;
  if (i < t.size() && FillOption(t[i]) && i + 1 < t.size() && IsDigit(t[i + 1])) {
    fill = FillOption(t[i]);
    ++i;
  }
  const int number = ReadNumber(t, &i, 2);
  if (number < 1 || number > 18) return false;
  if (i < t.size() && (t[i] == '<' || t[i] == '>')) {
    const bool back = t[i] == '<';
    ++i;
    const int n = ReadNumber(t, &i, 2);
    if (n < 0) {
      p->window = back ? 80 : 19;
    } else {
      p->window = static_cast<uint8_t>(back ? n : 99 - n);
    }
  }
  uint8_t separator = 0;
  if (i < t.size() && SeparatorOption(t[i])) separator = SeparatorOption(t[i++]);
  if (!OnlyBlanksFrom(t, i)) return false;
  p->kind = PictureKind::kDate;
  p->number = static_cast<uint8_t>(number);
  if (number == 17 || number == 18) {
    const Picture& sys = number == 17 ? CurrentLocale().short_date : CurrentLocale().long_date;
    p->positions = sys.positions;
    p->length = sys.length;
  } else {
    BuildFixedDate(p, number);
  }
  locale_internal::ApplyDateTimeOptions(p, fill, separator);
  return true;
}

// "@T" [fill] number [separator].
bool CompileTime(std::string_view t, Picture* p) {
  size_t i = 2;
  uint8_t fill = 0;
  if (i < t.size() && FillOption(t[i]) && i + 1 < t.size() && IsDigit(t[i + 1])) {
    fill = FillOption(t[i]);
    ++i;
  }
  const int number = ReadNumber(t, &i, 1);
  if (number < 1 || number > 8) return false;
  uint8_t separator = 0;
  if (i < t.size() && SeparatorOption(t[i])) separator = SeparatorOption(t[i++]);
  if (!OnlyBlanksFrom(t, i)) return false;
  p->kind = PictureKind::kTime;
  p->number = static_cast<uint8_t>(number);
  if (number == 7 || number == 8) {
    const Picture& sys = number == 7 ? CurrentLocale().short_time : CurrentLocale().long_time;
    p->positions = sys.positions;
    p->length = sys.length;
  } else {
    BuildFixedTime(p, number);
  }
  locale_internal::ApplyDateTimeOptions(p, fill, separator);
  return true;
}

// "@S" length.
bool CompileString(std::string_view t, Picture* p) {
  size_t i = 2;
  const int n = ReadNumber(t, &i, 3);
  if (n < 1 || n > 255 || i != t.size()) return false;
  p->kind = PictureKind::kString;
  p->length = static_cast<uint16_t>(n);
  for (int k = 0; k < n; ++k) p->positions[k] = {' ', Code::kKeyAny};
  return true;
}

// --- numeric pictures ------------------------------------------------------------------

// Currency at t[*i]: "$" or "~text~". Empty when none; false when a "~" is not closed.
bool ReadCurrency(std::string_view t, size_t* i, std::string* currency) {
  if (*i >= t.size()) return true;
  if (t[*i] == '$') {
    *currency = "$";
    ++*i;
  } else if (t[*i] == '~') {
    const size_t close = t.find('~', *i + 1);
    if (close == std::string_view::npos || close == *i + 1) return false;
    *currency = std::string(t.substr(*i + 1, close - *i - 1));
    *i = close + 1;
  }
  return true;
}

bool IsGroupingChar(char c) {
  return c == '.' || c == '`' || c == '_' || c == 'v' || c == 'V';
}

bool CompileNumeric(std::string_view t, Picture* p) {
  size_t i = 2;
  std::string lead_currency, trail_currency;
  if (!ReadCurrency(t, &i, &lead_currency)) return false;
  char lead_sign = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '(')) lead_sign = t[i++];
  uint8_t fill = ' ';
  char fill_option = 0;
  if (i + 1 < t.size() && FillOption(t[i]) && IsDigit(t[i + 1])) {
    fill = FillOption(t[i]);
    fill_option = t[i];
    ++i;
  } else if (i < t.size() && (t[i] == '_' || t[i] == '*')) {
    return false;
  }
  const int width = ReadNumber(t, &i, 3);
  if (width < 1 || width > 254) return false;
  // A grouping character is one that is followed by another of its kind or by the end.
  int group = -1;  // -1 default, 0 none, otherwise the character shown
  if (i < t.size() && IsGroupingChar(t[i]) && (i + 1 == t.size() || IsGroupingChar(t[i + 1]))) {
    switch (t[i]) {
      case '.':
        group = '.';
        break;
      case '`':
        group = ',';
        break;
      case '_':
        group = ' ';
        break;
      default:
        group = 0;
        break;
    }
    ++i;
  }
  char decimal_char = 0;  // '.', ',' or 'v' (implied)
  int decimals = 0;
  if (i < t.size() && (t[i] == '.' || t[i] == '`' || t[i] == 'v' || t[i] == 'V')) {
    decimal_char = t[i] == '`' ? ',' : (t[i] == '.' ? '.' : 'v');
    ++i;
    const int n = ReadNumber(t, &i, 3);
    decimals = n < 0 ? 0 : n;
  }
  char trail_sign = 0;
  if (i < t.size() && t[i] == '-' && lead_sign == 0) {
    trail_sign = '-';
    ++i;
  } else if (i < t.size() && t[i] == ')' && lead_sign == '(') {
    trail_sign = ')';
    ++i;
  }
  if (lead_sign == '(' && trail_sign != ')') return false;
  if (lead_currency.empty() && !ReadCurrency(t, &i, &trail_currency)) return false;
  if (i != t.size()) return false;

  const int fixed = static_cast<int>(lead_currency.size() + trail_currency.size()) +
                    (lead_sign ? 1 : 0) + (trail_sign ? 1 : 0) + decimals +
                    (decimal_char == '.' || decimal_char == ',' ? 1 : 0);
  if (width < fixed || width > static_cast<int>(kMaxPicturePositions)) return false;
  if (group < 0) {
    if (fill_option == '0' || fill_option == '_') {
      group = 0;
    } else {
      group = decimal_char == ',' ? '.' : ',';
    }
  }

  // Laid out right to left, then reversed.
  Picture r;
  for (auto c = trail_currency.rbegin(); c != trail_currency.rend(); ++c) {
    AddPosition(&r, static_cast<uint8_t>(*c), Code::kCurrency);
  }
  if (trail_sign) AddPosition(&r, static_cast<uint8_t>(trail_sign), Code::kSign);
  for (int k = 0; k < decimals; ++k) AddPosition(&r, '0', Code::kDigitShown);
  if (decimal_char == '.' || decimal_char == ',') {
    AddPosition(&r, static_cast<uint8_t>(decimal_char), Code::kDecimalPoint);
  }
  const int integer_area = width - fixed;
  int digits = 0;
  for (int k = 0; k < integer_area; ++k) {
    if (group != 0 && digits > 0 && digits % 3 == 0 &&
        r.positions[r.length - 1].code != Code::kGroupSeparator) {
      AddPosition(&r, static_cast<uint8_t>(group), Code::kGroupSeparator);
      continue;
    }
    Code code = Code::kDigit;
    if (digits == 0) code = decimal_char == 'v' ? Code::kImpliedDecimal : Code::kDigitShown;
    AddPosition(&r, code == Code::kDigit ? fill : '0', code);
    ++digits;
  }
  if (lead_sign) AddPosition(&r, static_cast<uint8_t>(lead_sign), Code::kSign);
  for (auto c = lead_currency.rbegin(); c != lead_currency.rend(); ++c) {
    AddPosition(&r, static_cast<uint8_t>(*c), Code::kCurrency);
  }
  p->kind = PictureKind::kNumeric;
  p->length = r.length;
  for (uint16_t k = 0; k < r.length; ++k) p->positions[k] = r.positions[r.length - 1 - k];
  return true;
}

// "@E" width [grouping] [decimal char decimals].
bool CompileScientific(std::string_view t, Picture* p) {
  size_t i = 2;
  const int width = ReadNumber(t, &i, 3);
  if (width < 7 || width > 254) return false;
  int group = 0;
  if (i < t.size() && IsGroupingChar(t[i]) && (i + 1 == t.size() || IsGroupingChar(t[i + 1]))) {
    group = t[i] == '.' ? '.' : (t[i] == '`' ? ',' : (t[i] == '_' ? ' ' : 0));
    ++i;
  }
  char decimal_char = 0;
  int decimals = 0;
  if (i < t.size() && (t[i] == '.' || t[i] == '`' || t[i] == 'v' || t[i] == 'V')) {
    decimal_char = t[i] == '`' ? ',' : (t[i] == '.' ? '.' : 'v');
    ++i;
    const int n = ReadNumber(t, &i, 3);
    decimals = n < 0 ? 0 : n;
  }
  if (i != t.size()) return false;
  const int point = decimal_char == '.' || decimal_char == ',' ? 1 : 0;
  const int integer_area = width - 1 - point - decimals - 5;
  if (integer_area < 1) return false;
  Picture r;
  for (int k = 0; k < 3; ++k) AddPosition(&r, '0', Code::kDigitShown);
  AddPosition(&r, '+', Code::kExponentSign);
  AddPosition(&r, 'E', Code::kLiteral);
  for (int k = 0; k < decimals; ++k) AddPosition(&r, '0', Code::kDigitShown);
  if (point) AddPosition(&r, static_cast<uint8_t>(decimal_char), Code::kDecimalPoint);
  int digits = 0;
  for (int k = 0; k < integer_area; ++k) {
    if (group != 0 && digits > 0 && digits % 3 == 0 &&
        r.positions[r.length - 1].code != Code::kGroupSeparator) {
      AddPosition(&r, static_cast<uint8_t>(group), Code::kGroupSeparator);
      continue;
    }
    Code code = digits == 0 ? (decimal_char == 'v' ? Code::kImpliedDecimal : Code::kDigitShown)
                            : Code::kDigit;
    AddPosition(&r, code == Code::kDigit ? ' ' : '0', code);
    ++digits;
  }
  AddPosition(&r, '-', Code::kSign);
  p->kind = PictureKind::kScientific;
  p->length = r.length;
  for (uint16_t k = 0; k < r.length; ++k) p->positions[k] = r.positions[r.length - 1 - k];
  return true;
}

// "@P" ... "P": "#" zero-filled digit, "<" blank-filled digit, anything else literal.
bool CompilePattern(std::string_view t, Picture* p) {
  if (t.size() < 3 || Upper(t.back()) != 'P') return false;
  for (size_t i = 2; i + 1 < t.size(); ++i) {
    bool ok;
    if (t[i] == '#') {
      ok = AddPosition(p, '0', Code::kDigitShown);
    } else if (t[i] == '<') {
      ok = AddPosition(p, ' ', Code::kDigit);
    } else {
      ok = AddPosition(p, static_cast<uint8_t>(t[i]), Code::kLiteral);
    }
    if (!ok) return false;
  }
  p->kind = PictureKind::kPattern;
  return true;
}

// "@K" ... "K": entry positions and literals; "\" makes the next character literal.
bool CompileKeyIn(std::string_view t, Picture* p) {
  if (t.size() < 3 || Upper(t.back()) != 'K') return false;
  for (size_t i = 2; i + 1 < t.size(); ++i) {
    uint8_t fill = ' ';
    Code code;
    switch (t[i]) {
      case '#':
        fill = '0';
        code = Code::kDigitShown;
        break;
      case '<':
        code = Code::kDigit;
        break;
      case '@':
        code = Code::kKeyLetter;
        break;
      case '^':
        code = Code::kKeyUpper;
        break;
      case '_':
        fill = '_';
        code = Code::kKeyUnderscore;
        break;
      case '?':
        code = Code::kKeyAny;
        break;
      case '|':
        code = Code::kKeyStop;
        break;
      case '\\':
        if (i + 2 < t.size()) ++i;
        [[fallthrough]];
      default:
        fill = static_cast<uint8_t>(t[i]);
        code = Code::kLiteral;
        break;
    }
    if (!AddPosition(p, fill, code)) return false;
  }
  p->kind = PictureKind::kKeyIn;
  return true;
}

}  // namespace

namespace locale_internal {

bool AddPosition(Picture* p, uint8_t fill, PositionCode code) {
  if (p->length >= kMaxPicturePositions) return false;
  p->positions[p->length++] = {fill, code};
  return true;
}

void ApplyDateTimeOptions(Picture* p, uint8_t fill, uint8_t separator) {
  for (uint16_t k = 0; k < p->length; ++k) {
    PicturePosition& pos = p->positions[k];
    switch (pos.code) {
      case Code::kMonthDigit:
      case Code::kDayDigit:
      case Code::kYearDigit:
      case Code::kHourDigit:
      case Code::kMinuteDigit:
      case Code::kSecondDigit:
        if (fill) pos.fill = fill;
        break;
      case Code::kSeparator:
        if (separator) pos.fill = separator;
        break;
      default:
        break;
    }
  }
}

}  // namespace locale_internal

Picture CompilePicture(std::string_view text) {
  Picture p;
  // Trailing blanks end a picture token; they are not part of it.
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.size() < 2 || text.size() > kMaxPictureText || text[0] != '@') return p;
  const char kind = Upper(text[1]);
  if (kind != 'P' && kind != 'K' && text.size() > 2 && Upper(text.back()) == 'B') {
    p.blank_when_zero = true;
    text.remove_suffix(1);
  } else if ((kind == 'P' || kind == 'K') && text.size() > 3 && Upper(text.back()) == 'B' &&
             Upper(text[text.size() - 2]) == kind) {
    p.blank_when_zero = true;
    text.remove_suffix(1);
  }
  bool ok = false;
  switch (kind) {
    case 'N':
      ok = CompileNumeric(text, &p);
      break;
    case 'E':
      ok = CompileScientific(text, &p);
      break;
    case 'D':
      ok = CompileDate(text, &p);
      break;
    case 'T':
      ok = CompileTime(text, &p);
      break;
    case 'S':
      ok = CompileString(text, &p);
      break;
    case 'P':
      ok = CompilePattern(text, &p);
      break;
    case 'K':
      ok = CompileKeyIn(text, &p);
      break;
    default:
      break;
  }
  if (!ok) return Picture{};
  p.valid = true;
  return p;
}

}  // namespace pellucor::runtime
