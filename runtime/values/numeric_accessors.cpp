// Accessors of the numeric layouts: the integer family (with DATE and TIME), the reals and the
// packed decimals.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/values/accessor_types.h"
#include "runtime/values/calendar.h"
#include "runtime/values/convert.h"
#include "runtime/values/string_stack.h"

namespace pellucor::runtime::internal {

// ---- shared scalar rules ----

void ScalarAccessor::Push() const {
  if (Class() == ValueClass::kInteger) {
    Strings().PushInteger(GetInteger());
  } else {
    Strings().PushReal(GetReal());
  }
}

void ScalarAccessor::SetFromStack() {
  // Stores from the entry while it is still on the stack (a reference entry may point into
  // another variable), then pops it.
  SetText(Strings().Top());
  Strings().Pop();
}

Decimal ScalarAccessor::GetDecimal() const {
  if (Class() == ValueClass::kInteger) return Decimal::FromInteger(GetInteger());
  return Decimal::FromReal(GetReal());
}

void ScalarAccessor::AppendText(std::string* out) const {
  if (Class() == ValueClass::kInteger) {
    *out += IntegerText(GetInteger());
  } else {
    *out += RealText(GetReal());
  }
}

void ScalarAccessor::SetDecimal(const Decimal& value) {
  SetReal(value.ToReal());
}

void ScalarAccessor::SetText(std::string_view text) {
  SetReal(TextToReal(text));
}

bool ScalarAccessor::IsTrue() const {
  return GetReal() != 0.0;
}

// ---- integers ----

int32_t IntegerAccessor::GetInteger() const {
  const int64_t v = Load();
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void IntegerAccessor::AppendText(std::string* out) const {
  *out += IntegerText(Load());
}

void IntegerAccessor::Push() const {
  Strings().PushInteger(Load());
}

// A real (or a text or decimal read as one) beyond the layout's range becomes its lowest or
// highest value rather than wrapping into a value of the other sign. DATE and TIME take the
// number as it is: an invalid day number or time value stores "none".
void IntegerAccessor::StoreInRange(int64_t value) {
  if (Type() != TypeCode::kDate && Type() != TypeCode::kTime) {
    if (value < Lowest()) value = Lowest();
    if (value > Highest()) value = Highest();
  }
  Store(value);
}

void IntegerAccessor::SetReal(double value) {
  StoreInRange(RealToInteger64(value));
}

void IntegerAccessor::Clear(ClearMode mode) {
  switch (mode) {
    case ClearMode::kBlank:
      Store(0);
      break;
    case ClearMode::kLowest:
      Store(Lowest());
      break;
    case ClearMode::kHighest:
      Store(Highest());
      break;
  }
}

int64_t IntegerAccessor::Load() const {
  int32_t v;
  std::memcpy(&v, address_, 4);
  return v;
}

void IntegerAccessor::Store(int64_t value) {
  const auto v = static_cast<uint32_t>(static_cast<uint64_t>(value));
  std::memcpy(address_, &v, 4);
}

int64_t IntegerAccessor::Lowest() const {
  return INT32_MIN;
}
int64_t IntegerAccessor::Highest() const {
  return INT32_MAX;
}

int64_t ByteAccessor::Load() const {
  return address_[0];
}
void ByteAccessor::Store(int64_t value) {
  address_[0] = static_cast<uint8_t>(value);
}

int64_t ShortAccessor::Load() const {
  int16_t v;
  std::memcpy(&v, address_, 2);
  return v;
}
void ShortAccessor::Store(int64_t value) {
  const auto v = static_cast<uint16_t>(value);
  std::memcpy(address_, &v, 2);
}

int64_t UShortAccessor::Load() const {
  uint16_t v;
  std::memcpy(&v, address_, 2);
  return v;
}
void UShortAccessor::Store(int64_t value) {
  const auto v = static_cast<uint16_t>(value);
  std::memcpy(address_, &v, 2);
}

int64_t ULongAccessor::Load() const {
  uint32_t v;
  std::memcpy(&v, address_, 4);
  return v;
}
void ULongAccessor::Store(int64_t value) {
  const auto v = static_cast<uint32_t>(static_cast<uint64_t>(value));
  std::memcpy(address_, &v, 4);
}

// ---- DATE and TIME ----

// Reading goes through the normalising DATE(month, day, year), so 31/2/2001 reads as 3 March
// 2001 and a date that cannot be one reads as 0. Years from 10000 on read as December 9999.
int64_t DateAccessor::Load() const {
  const int32_t day = address_[0];
  int32_t month = address_[1];
  int32_t year = address_[2] | (address_[3] << 8);
  if (day == 0 && month == 0 && year == 0) return 0;
  if (year >= 10000) {
    year = kLastYear;
    month = 12;
  }
  const int32_t n = DATE(month, day, year);
  return n < 0 ? 0 : n;
}

void DateAccessor::Store(int64_t value) {
  std::memset(address_, 0, 4);
  if (value < kFirstDayNumber || value > kLastDayNumber) return;
  BrokenDate d;
  if (SplitDate(static_cast<int32_t>(value), &d) != 0) return;
  address_[0] = static_cast<uint8_t>(d.day);
  address_[1] = static_cast<uint8_t>(d.month);
  address_[2] = static_cast<uint8_t>(d.year & 0xFF);
  address_[3] = static_cast<uint8_t>(d.year >> 8);
}

int64_t DateAccessor::Highest() const {
  return kLastDayNumber;
}

int64_t TimeAccessor::Load() const {
  const int hundredths = address_[0];
  const int seconds = address_[1];
  const int minutes = address_[2];
  const int hours = address_[3];
  if (hundredths == 0 && seconds == 0 && minutes == 0 && hours == 0) return 0;
  if (hours > 23 || minutes > 59 || seconds > 59 || hundredths > 99) return -1;
  return TimeValue(hours, minutes, seconds, hundredths);
}

void TimeAccessor::Store(int64_t value) {
  std::memset(address_, 0, 4);
  if (value < 1 || value > kLastTimeValue) return;
  BrokenTime t;
  if (SplitTime(static_cast<int32_t>(value), &t) != 0) return;
  address_[0] = t.hundredth;
  address_[1] = t.second;
  address_[2] = t.minute;
  address_[3] = t.hour;
}

int64_t TimeAccessor::Highest() const {
  return kLastTimeValue;
}

// ---- reals ----

int32_t RealAccessor::GetInteger() const {
  return RealToInteger(Load());
}

void RealAccessor::Clear(ClearMode mode) {
  switch (mode) {
    case ClearMode::kBlank:
      Store(0.0);
      break;
    case ClearMode::kLowest:
      Store(-Largest());
      break;
    case ClearMode::kHighest:
      Store(Largest());
      break;
  }
}

double RealAccessor::Load() const {
  double v;
  std::memcpy(&v, address_, 8);
  return v;
}
void RealAccessor::Store(double value) {
  std::memcpy(address_, &value, 8);
}
double RealAccessor::Largest() const {
  return DBL_MAX;
}

double SRealAccessor::Load() const {
  float v;
  std::memcpy(&v, address_, 4);
  return v;
}
void SRealAccessor::Store(double value) {
  // Beyond the single range the value becomes the largest single of its sign, not infinity.
  float v;
  if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
    v = value < 0 ? -FLT_MAX : FLT_MAX;
  } else {
    v = static_cast<float>(value);
  }
  std::memcpy(address_, &v, 4);
}
double SRealAccessor::Largest() const {
  return FLT_MAX;
}

double BFloat4Accessor::Load() const {
  return BFloat4ToReal(address_);
}
void BFloat4Accessor::Store(double value) {
  RealToBFloat4(value, address_);
}
double BFloat4Accessor::Largest() const {
  uint8_t b[4];
  RealToBFloat4(HUGE_VAL, b);
  return BFloat4ToReal(b);
}

double BFloat8Accessor::Load() const {
  return BFloat8ToReal(address_);
}
void BFloat8Accessor::Store(double value) {
  RealToBFloat8(value, address_);
}
double BFloat8Accessor::Largest() const {
  uint8_t b[8];
  RealToBFloat8(HUGE_VAL, b);
  return BFloat8ToReal(b);
}

// ---- packed decimals ----

Decimal DecimalAccessor::GetDecimal() const {
  return Decimal::LoadDecimal(address_, size_, places_);
}
void DecimalAccessor::SetDecimal(const Decimal& value) {
  value.StoreDecimal(address_, size_, places_);
}
void DecimalAccessor::AppendText(std::string* out) const {
  *out += GetDecimal().ToText();
}

void DecimalAccessor::Push() const {
  const std::string t = GetDecimal().ToText();
  Strings().PushCopy(t);
}

void DecimalAccessor::Clear(ClearMode mode) {
  if (mode == ClearMode::kBlank) {
    SetDecimal(Decimal{});
    return;
  }
  // All nines of the field, negative for the lowest value: read from a DECIMAL image of the
  // same size, then stored through this type's own packing.
  if (size_ == 0) return;
  std::vector<uint8_t> nines(size_, 0x99);
  nines[0] = mode == ClearMode::kLowest ? 0xF9 : 0x09;
  SetDecimal(Decimal::LoadDecimal(nines.data(), size_, places_));
}

Decimal PDecimalAccessor::GetDecimal() const {
  return Decimal::LoadPDecimal(address_, size_, places_);
}
void PDecimalAccessor::SetDecimal(const Decimal& value) {
  value.StorePDecimal(address_, size_, places_);
}

}  // namespace pellucor::runtime::internal
