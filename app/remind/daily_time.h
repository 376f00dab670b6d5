// The time of day at which pellucor-remind shows the reminders that are due, kept in the settings
// file of the data directory (KNB4.INI) in a section of its own:
//
//   [Reminders]
//   Time=09:00
//
// Both the agent (which reads it) and pellucor-cli (which writes it) go through these functions,
// so they agree on the form of the value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellucor::app::remind {

inline constexpr std::string_view kSettingsFile = "KNB4.INI";
inline constexpr std::string_view kSettingsSection = "Reminders";
inline constexpr std::string_view kTimeKey = "Time";

struct DailyTime {
  int hour = 9;    // 0-23
  int minute = 0;  // 0-59
  friend bool operator==(const DailyTime&, const DailyTime&) = default;
};
inline constexpr DailyTime kDefaultDailyTime{};

// "H:MM" or "HH:MM" from 0:00 to 23:59, blanks around it ignored; none for anything else.
[[nodiscard]] std::optional<DailyTime> ParseDailyTime(std::string_view text);
// "09:00".
[[nodiscard]] std::string FormatDailyTime(DailyTime time);

struct DailyTimeSetting {
  DailyTime time;       // the setting, or the default when it is missing or damaged
  std::string damaged;  // the damaged value as the file holds it; empty when the value is sound
  bool set = false;     // the file holds a sound value
};
// Reads the setting from the settings file `ini_path`.
[[nodiscard]] DailyTimeSetting ReadDailyTime(const std::string& ini_path);
// Writes it, keeping the rest of the file; false when the file cannot be written.
[[nodiscard]] bool WriteDailyTime(const std::string& ini_path, DailyTime time);

}  // namespace pellucor::app::remind
