// A record layout for the queue tests, with one field of each kind a key can name, and its
// values in plain C++ form. The "wide" form adds a long blank-padded text, which makes the
// record 128 bytes or more so that the queue stores it compressed.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/queue/queue.h"
#include "runtime/values/calendar.h"

namespace pellucor::runtime {
// Key components print as 3, -2 or 2i (case-insensitive) in test failures.
inline void PrintTo(const QueueKeyComponent& c, std::ostream* os) {
  *os << c.field << (c.text_case == KeyCase::kNoCase ? "i" : "");
}
}  // namespace pellucor::runtime

namespace pellucor::runtime::queue_test {

enum class RowWidth { kNarrow, kWide };

// Field numbers as key components name them.
inline constexpr int kId = 1;      // LONG
inline constexpr int kName = 2;    // STRING(12)
inline constexpr int kCount = 3;   // SHORT
inline constexpr int kReal = 4;    // REAL
inline constexpr int kAmount = 5;  // DECIMAL(7,2)
inline constexpr int kDate = 6;    // DATE
inline constexpr int kCName = 7;   // CSTRING(10)
inline constexpr int kPName = 8;   // PSTRING(10)
inline constexpr int kNote = 9;    // STRING(200), wide rows only

inline constexpr uint32_t kNarrowSize = 54;
inline constexpr uint32_t kWideSize = 254;

struct Row {
  int32_t id = 0;
  std::string name;  // up to 12
  int16_t count = 0;
  double real = 0;
  int64_t cents = 0;  // |cents| below 10^7
  int32_t day = 0;    // day number, 0 for none
  std::string cname;  // up to 9
  std::string pname;  // up to 9
  std::string note;   // up to 200
};

inline QueueDescriptor RowDescriptor(std::vector<uint8_t>* buffer, RowWidth width) {
  QueueDescriptor d;
  d.size = width == RowWidth::kWide ? kWideSize : kNarrowSize;
  buffer->assign(d.size, 0);
  d.buffer = buffer->data();
  d.fields = {{TypeCode::kLong, 0, 4, 0},      {TypeCode::kString, 4, 12, 0},
              {TypeCode::kShort, 16, 2, 0},    {TypeCode::kReal, 18, 8, 0},
              {TypeCode::kDecimal, 26, 4, 2},  {TypeCode::kDate, 30, 4, 0},
              {TypeCode::kCString, 34, 10, 0}, {TypeCode::kPString, 44, 10, 0}};
  if (width == RowWidth::kWide) d.fields.push_back({TypeCode::kString, 54, 200, 0});
  return d;
}

inline void PutBlankPadded(uint8_t* p, size_t size, const std::string& text) {
  std::memset(p, ' ', size);
  std::memcpy(p, text.data(), std::min(size, text.size()));
}

inline void WriteRow(const Row& row, uint8_t* p, RowWidth width) {
  std::memcpy(p, &row.id, 4);
  PutBlankPadded(p + 4, 12, row.name);
  std::memcpy(p + 16, &row.count, 2);
  std::memcpy(p + 18, &row.real, 8);
  // DECIMAL(7,2): sign nibble, then seven digits.
  uint64_t magnitude = static_cast<uint64_t>(row.cents < 0 ? -row.cents : row.cents);
  uint8_t nibbles[8] = {static_cast<uint8_t>(row.cents < 0 ? 0xF : 0)};
  for (int i = 7; i >= 1; --i, magnitude /= 10) nibbles[i] = static_cast<uint8_t>(magnitude % 10);
  for (int i = 0; i < 4; ++i)
    p[26 + i] = static_cast<uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]);
  BrokenDate date;
  if (row.day == 0 || SplitDate(row.day, &date) != 0) date = BrokenDate{};
  p[30] = static_cast<uint8_t>(date.day);
  p[31] = static_cast<uint8_t>(date.month);
  p[32] = static_cast<uint8_t>(date.year & 0xFF);
  p[33] = static_cast<uint8_t>(date.year >> 8);
  std::memset(p + 34, 0, 10);
  std::memcpy(p + 34, row.cname.data(), std::min<size_t>(9, row.cname.size()));
  std::memset(p + 44, 'x', 10);  // bytes past a PSTRING's length are not part of its value
  p[44] = static_cast<uint8_t>(std::min<size_t>(9, row.pname.size()));
  std::memcpy(p + 45, row.pname.data(), p[44]);
  if (width == RowWidth::kWide) PutBlankPadded(p + 54, 200, row.note);
}

inline int32_t ReadId(const uint8_t* p) {
  int32_t id;
  std::memcpy(&id, p, 4);
  return id;
}

}  // namespace pellucor::runtime::queue_test
