// A note as the programs handle it: the six fields of the note record (both tables share it),
// decoded from and encoded into the 5120-byte record buffer, plus the record pointer that names
// it. Texts are Windows-1252, as the data file holds them, without their trailing blanks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellucor::app {

struct Note {
  uint32_t id = 0;            // record pointer; 0 before the note is stored
  int32_t reminder_date = 0;  // day number; 0 no reminder
  int32_t note_date = 0;      // day number; 0 none
  std::string topic;          // at most 60 characters
  char done = 'N';            // "Y" done
  char archive = 'N';         // the REMINDER field: "Y" once the note was sent to the archive
  std::string memo;           // at most 5050 characters
  friend bool operator==(const Note&, const Note&) = default;
};

// REQUIRES: record holds note_record::kSize bytes.
[[nodiscard]] Note DecodeNote(const uint8_t* record);
// Writes every field (strings blank-padded, texts longer than their field cut).
void EncodeNote(const Note& note, uint8_t* record);

// The runtime's stored DATE: day byte, month byte, 16-bit little-endian year; all zero for none.
[[nodiscard]] int32_t ReadStoredDate(const uint8_t* p);
void WriteStoredDate(int32_t day_number, uint8_t* p);

// "YYYY-MM-DD" of a day number; empty for 0 (or any day number outside the calendar).
[[nodiscard]] std::string IsoDate(int32_t day_number);
// The day number of "YYYY-MM-DD" (exactly that form, a date that exists in 1801-9999), or none.
// An empty text is 0 when `empty_is_none`.
enum class EmptyDate : uint8_t { kRefused, kNone };
[[nodiscard]] std::optional<int32_t> ParseIsoDate(std::string_view text,
                                                  EmptyDate empty = EmptyDate::kRefused);

// Drops trailing blanks (the padding of a fixed-length field).
[[nodiscard]] std::string TrimRight(std::string_view text);

}  // namespace pellucor::app
