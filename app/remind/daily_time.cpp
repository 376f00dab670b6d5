#include "app/remind/daily_time.h"

#include <cctype>
#include <cstdio>

#include "platform/profile.h"

namespace pellucor::app::remind {
namespace {

// Longer values are cut by the profile reader; no time of day is anywhere near this long.
constexpr size_t kValueLimit = 256;

std::optional<int> Digits(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<DailyTime> ParseDailyTime(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.size() - colon - 1 != 2) return std::nullopt;
  const std::optional<int> hour = Digits(text.substr(0, colon));
  const std::optional<int> minute = Digits(text.substr(colon + 1));
  if (!hour || !minute || *hour > 23 || *minute > 59) return std::nullopt;
  return DailyTime{*hour, *minute};
}

std::string FormatDailyTime(DailyTime time) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", time.hour % 100, time.minute % 100);
  return text;
}

DailyTimeSetting ReadDailyTime(const std::string& ini_path) {
  DailyTimeSetting setting;
  // A key that is missing and a key that is empty both leave the default in force.
  const std::string value =
      platform::GetPrivateProfileString(kSettingsSection, kTimeKey, "", kValueLimit, ini_path);
  if (value.find_first_not_of(" \t") == std::string::npos) return setting;
  if (const std::optional<DailyTime> parsed = ParseDailyTime(value)) {
    setting.time = *parsed;
    setting.set = true;
  } else {
    setting.damaged = value;
  }
  return setting;
}

bool WriteDailyTime(const std::string& ini_path, DailyTime time) {
  const std::string text = FormatDailyTime(time);
  return platform::WritePrivateProfileString(kSettingsSection, kTimeKey, text, ini_path);
}

}  // namespace pellucor::app::remind
