// Compiles the first line of the input as a picture and runs FORMAT and DEFORMAT with the rest
// of the input as the value, read every way the evaluator holds values. Besides not crashing: a
// valid picture's display text always has the picture's length (a key-in picture's stop
// positions show nothing), FORMAT and DEFORMAT give the same answer twice, and a date or time
// shown through a date or time picture reads back as itself (to the picture's precision).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/core/fatal.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

using namespace pellucor::runtime;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

size_t DisplayLength(const Picture& p) {
  size_t n = 0;
  for (size_t k = 0; k < p.length; ++k) n += p.positions[k].code != PositionCode::kKeyStop;
  return n;
}

void Exercise(const Picture& p, const FormatValue& v) {
  const std::string shown = FORMAT(v, p);
  Check(shown == FORMAT(v, p));
  if (p.valid) Check(shown.size() == DisplayLength(p));
  const std::string back = DEFORMAT(shown, p);
  Check(back == DEFORMAT(shown, p));
}

// Dates with a day, a month and a four-digit year, and every time, come back exactly.
void CheckRoundTrip(const Picture& p, int64_t seed) {
  if (!p.valid || (p.kind != PictureKind::kDate && p.kind != PictureKind::kTime)) return;
  size_t year = 0;
  bool day = false, month = false, seconds = false;
  for (size_t k = 0; k < p.length; ++k) {
    const PositionCode c = p.positions[k].code;
    year += c == PositionCode::kYearDigit;
    day |= c == PositionCode::kDayDigit;
    month |= c == PositionCode::kMonthDigit || c == PositionCode::kMonthName;
    seconds |= c == PositionCode::kSecondDigit;
  }
  const uint64_t u = static_cast<uint64_t>(seed);
  if (p.kind == PictureKind::kDate) {
    if (year < 4 || !day || !month) return;
    const int32_t d =
        static_cast<int32_t>(kFirstDayNumber + u % (kLastDayNumber - kFirstDayNumber + 1));
    Check(DEFORMAT(FORMAT(FormatValue::Integer(d), p), p) == std::to_string(d));
  } else {
    const int32_t t = static_cast<int32_t>(1 + u % kLastTimeValue);
    BrokenTime b;
    SplitTime(t, &b);
    const int32_t expected = TimeValue(b.hour, b.minute, seconds ? b.second : 0, 0);
    Check(DEFORMAT(FORMAT(FormatValue::Integer(t), p), p) == std::to_string(expected));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    SetHaltHook(HaltHookThrows());
    SetCurrentYearForTests(2002);
    return true;
  }();
  (void)once;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nl = input.find('\n');
  const std::string_view picture_text = input.substr(0, nl);
  const std::string_view value = nl == std::string_view::npos ? "" : input.substr(nl + 1);

  const Picture p = CompilePicture(picture_text);
  Check(p.length <= kMaxPicturePositions);
  Exercise(p, FormatValue::String(value));
  Exercise(p, FormatValue::Decimal(value));
  int64_t integer = 0;
  double real = 0;
  std::memcpy(&integer, value.data(), std::min(value.size(), sizeof integer));
  std::memcpy(&real, value.data(), std::min(value.size(), sizeof real));
  Exercise(p, FormatValue::Integer(integer));
  Exercise(p, FormatValue::Integer(integer % 3000000));
  Exercise(p, FormatValue::Real(real));
  CheckRoundTrip(p, integer);
  (void)DEFORMAT(value, p);
  (void)DEFORMAT(value);
  return 0;
}
