// Notes as a user writes them, for the data-engine benchmarks: short topics drawn from everyday
// phrases (they repeat, as real topics do), note dates spread over four years, a reminder date on
// about a third of them, one in five done, and memos of a few hundred characters of prose. The
// same seed gives the same notes, so both engines get identical input.
//
// Texts hold letters, digits, blanks and the punctuation below 'A' only: in that range the case-
// insensitive orders of both engines agree (they fold case in opposite directions, which moves
// the characters between 'Z' and 'a' about), so their key-order scans can be compared row by row.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "app/note_store.h"
#include "runtime/values/accessor.h"
#include "runtime/values/calendar.h"

namespace pellucor::bench {

struct Note {
  std::string topic;      // at most 60 characters
  char reminder = 'N';    // the archive flag
  int32_t note_date = 0;  // day numbers; 0 is no date
  int32_t reminder_date = 0;
  std::string memo;  // at most 5050 characters
  char done = 'N';
};

class NoteGenerator {
 public:
  explicit NoteGenerator(uint32_t seed) : gen_(seed) {}

  Note Next() {
    static constexpr std::array<std::string_view, 24> kVerbs = {
        "Call",  "Email", "Pay",     "Renew", "Book",   "Check",   "Buy",  "Return",
        "Fix",   "Send",  "Ask",     "Plan",  "Review", "Cancel",  "Pick", "Clean",
        "Order", "Print", "Confirm", "Visit", "Update", "Prepare", "Sign", "Read"};
    static constexpr std::array<std::string_view, 32> kObjects = {
        "dentist",         "mom",
        "the insurance",   "car service",
        "electric bill",   "passport",
        "train tickets",   "library books",
        "kitchen tap",     "tax return",
        "birthday card",   "team meeting",
        "garden hose",     "gym membership",
        "parcel at depot", "flat rent",
        "school forms",    "vet for Rex",
        "bank statement",  "plumber",
        "dinner with Sam", "quarterly report",
        "photo album",     "winter tyres",
        "water filter",    "doctor",
        "conference talk", "old laptop",
        "holiday flights", "contract draft",
        "spare keys",      "printer ink"};
    static constexpr std::array<std::string_view, 40> kWords = {
        "the",     "and",      "before",   "after",   "Monday",  "Friday",  "call",
        "number",  "remember", "to",       "ask",     "about",   "price",   "appointment",
        "office",  "letter",   "receipt",  "copy",    "keep",    "folder",  "online",
        "account", "password", "deadline", "weekend", "morning", "evening", "meeting",
        "notes",   "list",     "shop",     "station", "form",    "signed",  "paid",
        "waiting", "reply",    "again",    "soon",    "maybe"};

    Note n;
    n.topic = std::string(Pick(kVerbs)) + " " + std::string(Pick(kObjects));
    if (Chance(3)) n.topic += " " + std::to_string(Uniform(1, 31));
    if (n.topic.size() > app::note_record::kTopicSize) n.topic.resize(app::note_record::kTopicSize);
    n.reminder = Chance(25) ? 'Y' : 'N';
    // 2023-01-01 .. about 2026-12-31.
    const int32_t first = runtime::DayNumber(2023, 1, 1);
    n.note_date = first + Uniform(0, 4 * 365);
    n.reminder_date = Chance(3) ? n.note_date + Uniform(0, 60) : 0;
    n.done = Chance(5) ? 'Y' : 'N';
    const int target = Uniform(200, 600);
    while (static_cast<int>(n.memo.size()) < target) {
      if (!n.memo.empty()) n.memo += Chance(9) ? ". " : " ";
      n.memo += Pick(kWords);
    }
    n.memo += '.';
    return n;
  }

 private:
  int32_t Uniform(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(gen_);
  }
  bool Chance(int one_in) { return Uniform(1, one_in) == 1; }
  template <size_t N>
  std::string_view Pick(const std::array<std::string_view, N>& a) {
    return a[static_cast<size_t>(Uniform(0, static_cast<int32_t>(N) - 1))];
  }

  std::mt19937 gen_;
};

// Writes a note into a record buffer of the note tables as the program does: strings padded
// with blanks, dates through the DATE accessor from their day numbers.
inline void FillNoteRecord(uint8_t* record, const Note& n) {
  namespace r = app::note_record;
  auto put_string = [record](uint32_t offset, uint32_t size, std::string_view text) {
    const size_t len = text.size() < size ? text.size() : size;
    std::memcpy(record + offset, text.data(), len);
    std::memset(record + offset + len, ' ', size - len);
  };
  put_string(r::kTopicOffset, r::kTopicSize, n.topic);
  record[r::kReminderOffset] = static_cast<uint8_t>(n.reminder);
  runtime::AccessorFactory(runtime::TypeCode::kDate, record + r::kNoteDateOffset, 4)
      ->SetInteger(n.note_date);
  runtime::AccessorFactory(runtime::TypeCode::kDate, record + r::kReminderDateOffset, 4)
      ->SetInteger(n.reminder_date);
  put_string(r::kMainMemoOffset, r::kMainMemoSize, n.memo);
  record[r::kDoneOffset] = static_cast<uint8_t>(n.done);
}

// The topic of a record buffer without its padding.
inline std::string_view RecordTopic(const uint8_t* record) {
  std::string_view t(reinterpret_cast<const char*>(record) + app::note_record::kTopicOffset,
                     app::note_record::kTopicSize);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

}  // namespace pellucor::bench
