#include "runtime/queue/key_compare.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/core/char_tables.h"
#include "runtime/values/calendar.h"
#include "runtime/values/compare.h"

namespace pellucor::runtime::queue_detail {
namespace {

uint64_t LoadLittle(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

template <typename T>
int Order3(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool HasOrder(TypeCode type) {
  return FixedTypeSize(type) != 0 || type == TypeCode::kDecimal || type == TypeCode::kPDecimal ||
         IsTextType(type);
}

int64_t SignedValue(TypeCode type, const uint8_t* p) {
  switch (type) {
    case TypeCode::kByte:
      return p[0];
    case TypeCode::kShort:
      return static_cast<int16_t>(LoadLittle(p, 2));
    case TypeCode::kUShort:
      return static_cast<uint16_t>(LoadLittle(p, 2));
    case TypeCode::kLong:
      return static_cast<int32_t>(LoadLittle(p, 4));
    default:  // kULong
      return static_cast<uint32_t>(LoadLittle(p, 4));
  }
}

// A stored date reads as its day number, as the DATE accessor reads it: through the normalising
// DATE(), parts that are not a date reading as 0 and a year past 9999 as December 9999.
int64_t DateValue(const uint8_t* p) {
  const int32_t day = p[0];
  int32_t month = p[1];
  int32_t year = static_cast<int32_t>(LoadLittle(p + 2, 2));
  if (day == 0 && month == 0 && year == 0) return 0;
  if (year > kLastYear) {
    year = kLastYear;
    month = 12;
  }
  const int32_t value = DATE(month, day, year);
  return value < 0 ? 0 : value;
}

// A stored time reads as its time value: all zero is 0, parts out of range read as -1.
int64_t TimeValueOf(const uint8_t* p) {
  const int32_t hundredths = p[0], seconds = p[1], minutes = p[2], hours = p[3];
  if (hundredths == 0 && seconds == 0 && minutes == 0 && hours == 0) return 0;
  if (hours > 23 || minutes > 59 || seconds > 59 || hundredths > 99) return -1;
  return TimeValue(hours, minutes, seconds, hundredths);
}

// The older BASIC formats: exponent in the last byte (bias 129 over a mantissa 1.m, 0 for the
// value 0), the sign in the top bit of the byte before it, the mantissa below.
double BasicFloatValue(const uint8_t* p, int bytes) {
  const int exponent = p[bytes - 1];
  if (exponent == 0) return 0.0;
  const bool negative = (p[bytes - 2] & 0x80) != 0;
  const int mantissa_bits = bytes * 8 - 9;
  uint64_t mantissa = LoadLittle(p, bytes - 1) & ((uint64_t{1} << mantissa_bits) - 1);
  const double value =
      std::ldexp(1.0 + std::ldexp(static_cast<double>(mantissa), -mantissa_bits), exponent - 129);
  return negative ? -value : value;
}

double RealValue(TypeCode type, const uint8_t* p) {
  switch (type) {
    case TypeCode::kSReal: {
      float f;
      std::memcpy(&f, p, sizeof f);
      return f;
    }
    case TypeCode::kReal: {
      double d;
      std::memcpy(&d, p, sizeof d);
      return d;
    }
    case TypeCode::kBFloat4:
      return BasicFloatValue(p, 4);
    default:  // kBFloat8
      return BasicFloatValue(p, 8);
  }
}

// Reals order numerically; a NaN (which no arithmetic of the runtime stores, but a buffer may
// hold) sorts below every number and equal to another NaN, so that sorting stays a strict order.
int CompareReals(double a, double b) {
  const bool nan_a = std::isnan(a), nan_b = std::isnan(b);
  if (nan_a || nan_b) return nan_a == nan_b ? 0 : (nan_a ? -1 : 1);
  return Order3(a, b);
}

// Packed decimals of one field share their layout, so their digits compare position by position.
// The sign decides first; a value whose digits are all zero is 0 whatever its sign nibble says.
int CompareDecimals(TypeCode type, const uint8_t* a, const uint8_t* b, uint32_t size) {
  const uint32_t digits = 2 * size - 1;
  auto digit = [&](const uint8_t* p, uint32_t i) -> int {
    // DECIMAL: the sign fills the first nibble, digits follow. PDECIMAL: digits first, the sign
    // fills the last nibble.
    const uint32_t nibble = type == TypeCode::kDecimal ? i + 1 : i;
    const uint8_t byte = p[nibble / 2];
    return nibble % 2 == 0 ? byte >> 4 : byte & 0x0F;
  };
  auto sign = [&](const uint8_t* p) -> int {
    bool zero = true;
    for (uint32_t i = 0; i < digits && zero; ++i) zero = digit(p, i) == 0;
    if (zero) return 0;
    const bool negative =
        type == TypeCode::kDecimal ? (p[0] >> 4) != 0 : (p[size - 1] & 0x0F) == 0x0D;
    return negative ? -1 : 1;
  };
  const int sa = sign(a), sb = sign(b);
  if (sa != sb || sa == 0) return Order3(sa, sb);
  for (uint32_t i = 0; i < digits; ++i) {
    const int c = Order3(digit(a, i), digit(b, i));
    if (c != 0) return sa * c;
  }
  return 0;
}

struct Text {
  const uint8_t* data;
  size_t size;
};

Text TextOf(TypeCode type, const uint8_t* p, uint32_t size) {
  switch (type) {
    case TypeCode::kCString: {
      const void* nul = std::memchr(p, 0, size);
      return {p, nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : size};
    }
    case TypeCode::kPString:
      return {p + 1, std::min<size_t>(p[0], size - 1)};
    default:  // STRING and GROUP: the whole declared length
      return {p, size};
  }
}

// Texts order by the runtime's one string comparison, so that a queue sorts names as the
// evaluator and case-insensitive file keys compare them.
int CompareTexts(Text a, Text b, KeyCase text_case) {
  const std::string_view left(reinterpret_cast<const char*>(a.data), a.size);
  const std::string_view right(reinterpret_cast<const char*>(b.data), b.size);
  return OrderSign(text_case == KeyCase::kNoCase ? CompareStringsNoCase(left, right)
                                                 : CompareStrings(left, right));
}

int CompareField(const KeyPart& part, const uint8_t* a, const uint8_t* b) {
  switch (part.type) {
    case TypeCode::kByte:
    case TypeCode::kShort:
    case TypeCode::kUShort:
    case TypeCode::kLong:
    case TypeCode::kULong:
      return Order3(SignedValue(part.type, a), SignedValue(part.type, b));
    case TypeCode::kDate:
      return Order3(DateValue(a), DateValue(b));
    case TypeCode::kTime:
      return Order3(TimeValueOf(a), TimeValueOf(b));
    case TypeCode::kSReal:
    case TypeCode::kReal:
    case TypeCode::kBFloat4:
    case TypeCode::kBFloat8:
      return CompareReals(RealValue(part.type, a), RealValue(part.type, b));
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal:
      return CompareDecimals(part.type, a, b, part.size);
    default:
      return CompareTexts(TextOf(part.type, a, part.size), TextOf(part.type, b, part.size),
                          part.text_case);
  }
}

}  // namespace

std::span<const QueueKeyComponent> CountedComponents(
    std::span<const QueueKeyComponent> components) {
  size_t count = 0;
  while (count < components.size() && count < kMaxQueueKeyComponents &&
         components[count].field != 0) {
    ++count;
  }
  return components.first(count);
}

bool ResolveKey(const QueueDescriptor& descriptor, std::span<const QueueKeyComponent> components,
                ResolvedKey* out) {
  const auto counted = CountedComponents(components);
  ResolvedKey key;
  key.components.assign(counted.begin(), counted.end());
  key.parts.reserve(counted.size());
  for (const QueueKeyComponent& component : counted) {
    const int64_t number = component.field < 0 ? -int64_t{component.field} : component.field;
    if (number > static_cast<int64_t>(descriptor.fields.size())) return false;
    const QueueField& field = descriptor.fields[static_cast<size_t>(number - 1)];
    if (!HasOrder(field.type) || field.size == 0) return false;
    const uint32_t fixed = FixedTypeSize(field.type);
    if (fixed != 0 && field.size != fixed) return false;
    if (field.offset > descriptor.size || field.size > descriptor.size - field.offset) return false;
    key.parts.push_back(
        KeyPart{field.type, field.offset, field.size, component.field < 0, component.text_case});
    key.prefix = std::max(key.prefix, field.offset + field.size);
    key.has_text = key.has_text || IsTextType(field.type);
  }
  *out = std::move(key);
  return true;
}

uint64_t CollationPrint() {
  const CharTables& t = CurrentCharTables();
  uint64_t h = 14695981039346656037ull;  // FNV-1a
  auto mix = [&h](uint8_t b) { h = (h ^ b) * 1099511628211ull; };
  for (uint8_t b : t.collation) mix(b);
  for (uint8_t b : t.upper) mix(b);
  for (uint8_t b : t.char_class) mix(b);
  mix(t.digraph_count);
  for (size_t i = 0; i < t.digraph_count && i < kMaxDigraphs; ++i) {
    mix(t.digraphs[i].ch);
    mix(t.digraphs[i].first);
    mix(t.digraphs[i].second);
  }
  return h;
}

int CompareKeys(const ResolvedKey& key, const uint8_t* a, const uint8_t* b) {
  for (const KeyPart& part : key.parts) {
    const int c = CompareField(part, a + part.offset, b + part.offset);
    if (c != 0) return part.descending ? -c : c;
  }
  return 0;
}

}  // namespace pellucor::runtime::queue_detail
