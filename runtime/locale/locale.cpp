// The locale's system settings: the "intl" section of the system profile, then the desktop's
// settings handed over by start-up, then the defaults.
#include "runtime/locale/locale.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/file.h"
#include "platform/profile.h"
#include "runtime/core/char_tables.h"
#include "runtime/locale/locale_internal.h"

namespace pellucor::runtime {

namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// Marks "no value" when reading the profile: a value can never be this text.
constexpr std::string_view kMissing = "\x01";
constexpr size_t kProfileLimit = 81;

Locale DefaultLocale() {
  Locale l;
  for (size_t m = 0; m < 12; ++m) {
    l.month_names[m] = kMonthNames[m];
    l.short_month_names[m] = std::string(kMonthNames[m]).substr(0, 3);
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    l.case_partner[c] = static_cast<uint8_t>(c - 'A' + 'a');
    l.case_partner[c - 'A' + 'a'] = static_cast<uint8_t>(c);
  }
  locale_internal::RebuildSystemPictures(&l);
  return l;
}

std::optional<std::string> ProfileString(std::string_view key) {
  std::string v = platform::GetProfileString("intl", key, kMissing, kProfileLimit);
  if (v == kMissing || v.empty()) return std::nullopt;
  return v;
}

std::optional<int> ProfileInt(std::string_view key) {
  if (!ProfileString(key)) return std::nullopt;
  return platform::GetProfileInt("intl", key, 0);
}

// What a desktop time format ("h:mm tt", "HH:mm:ss") tells about the clock.
std::optional<int> TimeFormatClock(const std::optional<std::string>& f) {
  if (!f) return std::nullopt;
  if (f->find('H') != std::string::npos) return 1;
  if (f->find('h') != std::string::npos) return 0;
  return std::nullopt;
}

std::optional<int> TimeFormatLeadingZero(const std::optional<std::string>& f) {
  if (!f) return std::nullopt;
  if (f->find("HH") != std::string::npos || f->find("hh") != std::string::npos) return 1;
  if (f->find_first_of("hH") != std::string::npos) return 0;
  return std::nullopt;
}

std::optional<std::string> TimeFormatSeparator(const std::optional<std::string>& f) {
  if (!f) return std::nullopt;
  size_t i = f->find_first_of("hH");
  if (i == std::string::npos) return std::nullopt;
  while (i < f->size() && ((*f)[i] == 'h' || (*f)[i] == 'H')) ++i;
  if (i >= f->size() || (*f)[i] == 'm' || (*f)[i] == '\'') return std::nullopt;
  return std::string(1, (*f)[i]);
}

template <typename T>
T FirstOf(std::optional<T> a, std::optional<T> b, std::optional<T> c, T fallback) {
  if (a) return *a;
  if (b) return *b;
  if (c) return *c;
  return fallback;
}

}  // namespace

namespace locale_internal {

Locale& MutableLocale() {
  static Locale locale = DefaultLocale();
  return locale;
}

}  // namespace locale_internal

const Locale& CurrentLocale() {
  return locale_internal::MutableLocale();
}

void InitLocale(const LocaleSource& source) {
  Locale l = DefaultLocale();
  const std::optional<std::string> none;
  l.short_date_format =
      FirstOf(ProfileString("sShortDate"), source.short_date, none, l.short_date_format);
  l.long_date_format =
      FirstOf(ProfileString("sLongDate"), source.long_date, none, l.long_date_format);
  l.i_time =
      FirstOf(ProfileInt("iTime"), source.i_time, TimeFormatClock(source.short_time), l.i_time);
  l.i_tlzero = FirstOf(ProfileInt("iTLzero"), source.i_tlzero,
                       TimeFormatLeadingZero(source.short_time), l.i_tlzero);
  l.s_time = FirstOf(ProfileString("sTime"), source.s_time, TimeFormatSeparator(source.short_time),
                     l.s_time);
  l.s1159 = FirstOf(ProfileString("s1159"), source.s1159, none, l.s1159).substr(0, 2);
  l.s2359 = FirstOf(ProfileString("s2359"), source.s2359, none, l.s2359).substr(0, 2);
  for (size_t m = 0; m < 12; ++m) {
    if (source.month_names[m] && !source.month_names[m]->empty()) {
      l.month_names[m] = *source.month_names[m];
    }
    if (source.short_month_names[m] && !source.short_month_names[m]->empty()) {
      l.short_month_names[m] = source.short_month_names[m]->substr(0, 3);
    }
  }
  locale_internal::RebuildSystemPictures(&l);
  locale_internal::MutableLocale() = std::move(l);
  CurrentCharTables() = CharTables::Defaults();

  const std::string env = ProgramEnvironmentPath();
  if (platform::Env::Default()->Exists(env)) {
    // A damaged or unreadable program environment file leaves the settings above in force.
    (void)LoadEnvironment(env);
  }
}

std::string ProgramEnvironmentPath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    if (slash != std::string::npos) {
      std::string beside = exe.substr(0, slash + 1) + "pellucor.env";
      if (platform::Env::Default()->Exists(beside)) return beside;
    }
  }
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = std::string(home) + "/.config";
  } else {
    config = "/tmp";
  }
  return config + "/pellucor/pellucor.env";
}

std::string ButtonText(size_t index, std::string_view fallback) {
  const Locale& l = CurrentLocale();
  if (index < l.button_texts.size() && !l.button_texts[index].empty()) {
    return l.button_texts[index];
  }
  return std::string(fallback);
}

std::string MessageText(int32_t number, std::string_view fallback) {
  const Locale& l = CurrentLocale();
  auto it = l.messages.find(number);
  return it != l.messages.end() ? it->second : std::string(fallback);
}

}  // namespace pellucor::runtime
