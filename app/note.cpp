#include "app/note.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/note_store.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {
namespace {

namespace nr = note_record;

std::string FieldText(const uint8_t* record, uint32_t offset, uint32_t size) {
  return TrimRight(std::string_view(reinterpret_cast<const char*>(record + offset), size));
}

void PutText(std::string_view text, uint8_t* field, uint32_t size) {
  std::memset(field, ' ', size);
  if (!text.empty()) std::memcpy(field, text.data(), std::min<size_t>(text.size(), size));
}

char FlagOf(uint8_t c) {
  return c == 0 ? ' ' : static_cast<char>(c);
}

}  // namespace

std::string TrimRight(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

int32_t ReadStoredDate(const uint8_t* p) {
  const int32_t day = p[0];
  const int32_t month = p[1];
  const int32_t year = p[2] | (p[3] << 8);
  if (day == 0 && month == 0 && year == 0) return 0;
  const int32_t n = runtime::DayNumber(year, month, day);
  return n < 0 ? 0 : n;
}

void WriteStoredDate(int32_t day_number, uint8_t* p) {
  runtime::BrokenDate d;
  if (day_number <= 0 || runtime::SplitDate(day_number, &d) != 0) {
    std::memset(p, 0, 4);
    return;
  }
  p[0] = static_cast<uint8_t>(d.day);
  p[1] = static_cast<uint8_t>(d.month);
  p[2] = static_cast<uint8_t>(d.year & 0xFF);
  p[3] = static_cast<uint8_t>((d.year >> 8) & 0xFF);
}

Note DecodeNote(const uint8_t* record) {
  Note n;
  n.topic = FieldText(record, nr::kTopicOffset, nr::kTopicSize);
  n.archive = FlagOf(record[nr::kReminderOffset]);
  n.note_date = ReadStoredDate(record + nr::kNoteDateOffset);
  n.reminder_date = ReadStoredDate(record + nr::kReminderDateOffset);
  n.memo = FieldText(record, nr::kMainMemoOffset, nr::kMainMemoSize);
  n.done = FlagOf(record[nr::kDoneOffset]);
  return n;
}

void EncodeNote(const Note& note, uint8_t* record) {
  PutText(note.topic, record + nr::kTopicOffset, nr::kTopicSize);
  record[nr::kReminderOffset] = static_cast<uint8_t>(note.archive);
  WriteStoredDate(note.note_date, record + nr::kNoteDateOffset);
  WriteStoredDate(note.reminder_date, record + nr::kReminderDateOffset);
  PutText(note.memo, record + nr::kMainMemoOffset, nr::kMainMemoSize);
  record[nr::kDoneOffset] = static_cast<uint8_t>(note.done);
}

std::string IsoDate(int32_t day_number) {
  runtime::BrokenDate d;
  if (day_number <= 0 || runtime::SplitDate(day_number, &d) != 0) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

std::optional<int32_t> ParseIsoDate(std::string_view text, EmptyDate empty) {
  if (text.empty()) {
    if (empty == EmptyDate::kNone) return 0;
    return std::nullopt;
  }
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const size_t starts[3] = {0, 5, 8};
  const size_t lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (size_t k = 0; k < lengths[i]; ++k) {
      const char c = text[starts[i] + k];
      if (c < '0' || c > '9') return std::nullopt;
      parts[i] = parts[i] * 10 + (c - '0');
    }
  }
  // Four-digit years only: DayNumber would widen a year below 100.
  if (parts[0] < runtime::kFirstYear) return std::nullopt;
  if (parts[1] < 1 || parts[1] > 12) return std::nullopt;
  if (parts[2] < 1 || parts[2] > runtime::MonthLength(parts[0], parts[1])) return std::nullopt;
  const int32_t n = runtime::DayNumber(parts[0], parts[1], parts[2]);
  if (n < 0) return std::nullopt;
  return n;
}

}  // namespace pellucor::app
