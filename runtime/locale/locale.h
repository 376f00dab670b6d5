// The locale: the system's date and time settings, the program's environment file, and the
// tables they fill (month names, AM/PM texts, case partners, button and message texts, and the
// runtime's character tables of runtime/core/char_tables.h).
//
// Where each setting comes from, first found wins:
//   1. the system profile's section "intl" (platform::GetProfileString/GetProfileInt);
//   2. the user's desktop locale, as start-up hands it over in a LocaleSource (the ui layer fills
//      it from the desktop; the runtime never asks the desktop itself);
//   3. the documented defaults ("MM/dd/yy", "ddd', 'MMMM' 'dd', 'yyyy", 12-hour clock, ...).
// The environment file is applied on top (month names, AM/PM, collation, case, ...).
//
// Process-wide and unguarded: built at start-up before any window opens and read-only afterwards,
// except for LoadEnvironment, which runs while no other program thread runs.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/locale/picture.h"

namespace pellucor::runtime {

// The desktop's settings, already in the system's own notation: date formats with d/dd/ddd/dddd,
// M/MM/MMM/MMMM, yy/yyyy and quoted literals ("dd.MM.yyyy", "dddd, d' de 'MMMM' de 'yyyy");
// time formats with h/hh (12-hour), H/HH (24-hour), mm, ss and tt ("h:mm tt", "HH:mm:ss").
// Every field is optional; a missing one falls through to the defaults.
struct LocaleSource {
  std::optional<std::string> short_date;  // sShortDate
  std::optional<std::string> long_date;   // sLongDate
  std::optional<std::string> short_time;  // used to derive iTime, iTLzero and sTime
  std::optional<std::string> long_time;
  std::optional<std::string> s1159;                              // the morning text ("AM")
  std::optional<std::string> s2359;                              // the afternoon text ("PM")
  std::optional<int> i_time;                                     // 0 12-hour clock, 1 24-hour clock
  std::optional<int> i_tlzero;                                   // 1 leading zero on hours
  std::optional<std::string> s_time;                             // time separator
  std::array<std::optional<std::string>, 12> month_names;        // full names
  std::array<std::optional<std::string>, 12> short_month_names;  // abbreviated names
};

struct Locale {
  // System settings, as read by InitLocale.
  int i_time = 0;
  int i_tlzero = 1;
  std::string s_time = ":";
  std::string s1159 = "AM";  // up to two characters
  std::string s2359 = "PM";
  std::string short_date_format = "MM/dd/yy";
  std::string long_date_format = "ddd', 'MMMM' 'dd', 'yyyy";
  // The system pictures built from them (@D17, @D18, @T7, @T8).
  Picture short_date;
  Picture long_date;
  Picture short_time;
  Picture long_time;

  std::array<std::string, 12> month_names;        // "January" ... "December"
  std::array<std::string, 12> short_month_names;  // "Jan" ... "Dec", three characters
  std::string am = "AM";                          // the runtime's AM/PM texts, two characters
  std::string pm = "PM";

  std::array<uint8_t, 256> case_partner{};  // a letter's other-case letter, 0 for none
  std::vector<std::string> button_texts;    // replacement captions of the standard buttons
  std::map<int32_t, std::string> messages;  // VELMSGn replacements of message n
  bool oem_charset = false;                 // VELCHARSET=OEM
  bool long_file_names = false;             // VELLFN=on
};

// The current locale. Starts with the defaults (no profile, no source) on first use.
const Locale& CurrentLocale();

// Builds the locale: system settings (profile, then `source`, then defaults), then the program's
// environment file when it exists. Resets the character tables and everything the environment
// file sets first, so calling it twice gives the same result.
void InitLocale(const LocaleSource& source = {});

// Applies an environment file. `name` "WINDOWS" applies the system's collation, case tables and
// AM/PM texts instead of a file. Returns false and posts error 2 ("File Not Found") when a named
// file cannot be opened.
[[nodiscard]] bool LoadEnvironment(std::string_view name);

// Applies the text of an environment file (what LoadEnvironment does once it has read the file).
void ApplyEnvironmentText(std::string_view text);

// The program's environment file: "pellucor.env" beside the executable when it exists, else
// $XDG_CONFIG_HOME/pellucor/pellucor.env (~/.config when unset).
[[nodiscard]] std::string ProgramEnvironmentPath();

// A standard button's caption (index in the environment's order) or `fallback`.
[[nodiscard]] std::string ButtonText(size_t index, std::string_view fallback);
// Message n's replacement from the environment file, or `fallback`.
[[nodiscard]] std::string MessageText(int32_t number, std::string_view fallback);

// Text comparison by the current collation table; trailing blanks never matter. With
// kIgnoreCase, lower-case letters (by the class table) are replaced by their case partners
// first. Digraphs, when loaded, are expanded before comparing. Returns <0, 0 or >0.
enum class CaseRule { kExact, kIgnoreCase };
[[nodiscard]] int CollateCompare(std::string_view a, std::string_view b, CaseRule rule);

}  // namespace pellucor::runtime
