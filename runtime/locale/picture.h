// Pictures: the format tokens ("@D17", "@T3", "@N-12.2", "@s20", "@P(###)###-####P", "@K...K")
// that turn a value into display text and back. A picture text is compiled once into a Picture
// record; entry fields, list columns, reports and the FORMAT/DEFORMAT functions all use it.
//
// Record layout: a kind, the blank-when-zero flag, the number of positions (at most 255), the
// picture number of @D and @T pictures, the century window of date pictures, and one
// (fill character, position code) pair per output position. Numeric positions are laid out from
// the right; FORMAT fills them right to left.
//
// A text that does not compile gives a record with `valid` false, which formats the value as a
// plain string (no padding or cutting) and deformats like a string picture.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellucor::runtime {

enum class PictureKind : uint8_t {
  kNumeric = 0,     // @N
  kScientific = 1,  // @E
  kDate = 2,        // @D
  kTime = 3,        // @T
  kPattern = 4,     // @P ... P
  kString = 5,      // @S, and no picture at all
  kKeyIn = 6,       // @K ... K
};

enum class PositionCode : uint8_t {
  kLiteral = 0,  // the fill character is output as is
  kGroupSeparator = 1,
  kDecimalPoint = 2,
  kDigitShown = 3,  // digit, shown even when a leading zero
  kDigit = 4,       // digit, the fill character when a leading zero
  kSign = 5,        // "-", "(" or ")"
  kCurrency = 6,
  kMonthDigit = 7,
  kDayDigit = 8,
  kYearDigit = 9,
  kMonthName = 10,
  kHourDigit = 11,
  kMinuteDigit = 12,
  kSecondDigit = 13,
  kKeyLetter = 14,      // key-in "@"
  kKeyUpper = 15,       // key-in "^"
  kKeyUnderscore = 16,  // key-in "_"
  kKeyAny = 17,         // key-in "?" (also every position of a string picture)
  kSeparator = 19,      // replaceable by the picture's separator option
  kAmPm = 20,
  kExponentSign = 21,
  kImpliedDecimal = 22,  // not displayed
  kKeyStop = 23,         // key-in "|"
};

struct PicturePosition {
  uint8_t fill = ' ';
  PositionCode code = PositionCode::kLiteral;
  friend bool operator==(const PicturePosition&, const PicturePosition&) = default;
};

inline constexpr size_t kMaxPicturePositions = 255;
inline constexpr size_t kMaxPictureText = 254;

struct Picture {
  PictureKind kind = PictureKind::kString;
  bool valid = false;  // false: not a picture; the value is shown as a string
  bool blank_when_zero = false;
  uint8_t number = 0;   // @D1-@D18, @T1-@T8
  uint8_t window = 80;  // century window for two-digit years of date pictures
  uint16_t length = 0;  // positions in use (0-255); a string picture has no positions beyond
  std::array<PicturePosition, kMaxPicturePositions> positions{};
};

// Compiles a picture text (at most 254 characters, "@" and a kind letter in either case, an
// optional final "B"/"b" for blank-when-zero). @D17, @D18, @T7 and @T8 take their layout from
// the locale's system pictures as they are when compiled.
[[nodiscard]] Picture CompilePicture(std::string_view text);

// A value as the expression evaluator holds it. Decimal text ("-12345678901234567890.125") is
// formatted exactly, never through a double; a string is read as a number (its leading numeric
// part) where the picture wants one.
struct FormatValue {
  enum class Kind : uint8_t { kInteger, kReal, kDecimal, kString };
  Kind kind = Kind::kInteger;
  int64_t integer = 0;
  double real = 0;
  std::string_view text;  // kDecimal and kString; must outlive the FORMAT call

  static FormatValue Integer(int64_t v) { return {Kind::kInteger, v, 0, {}}; }
  static FormatValue Real(double v) { return {Kind::kReal, 0, v, {}}; }
  static FormatValue Decimal(std::string_view digits) { return {Kind::kDecimal, 0, 0, digits}; }
  static FormatValue String(std::string_view s) { return {Kind::kString, 0, 0, s}; }
};

// The display text: exactly the picture's length for a valid picture (a key-in picture's "|"
// positions show nothing). Numbers round to the picture's decimals half away from zero; a number
// too wide for the picture shows "#" in every position. With blank-filled digits a leading sign
// or currency floats to the first digit ("   -$1,234.50"); a negative number in a picture without
// a sign position still shows a "-" in front of its digits. Dates take day numbers and times
// take time values; an invalid one shows blanks in its digit and name positions (separators
// stay). @D4 and @D18 close up their month name and pad the end instead ("January  5, 1959",
// the day's tens blank-filled); @D18 also closes up its numbers.
[[nodiscard]] std::string FORMAT(const FormatValue& value, const Picture& picture);
[[nodiscard]] std::string FORMAT(int64_t value, const Picture& picture);
[[nodiscard]] std::string FORMAT(const FormatValue& value, std::string_view picture_text);

// The stored value of a display text, as text: the digits of a number (with a leading "-" when
// negative), or a day number or time value in decimal. Dates and times are read by position,
// and part by part when typed text does not line up ("1/5/59" in @D1); a date without its year
// is in the current year; a time whose parts are all zero is "0" (no time) unless an AM/PM
// letter was read ("12:00AM" is midnight).
[[nodiscard]] std::string DEFORMAT(std::string_view text, const Picture& picture);
[[nodiscard]] std::string DEFORMAT(std::string_view text, std::string_view picture_text);
// DEFORMAT without a picture: keeps the characters that can form a number.
[[nodiscard]] std::string DEFORMAT(std::string_view text);

}  // namespace pellucor::runtime
