// pellucor-info: prints what the runtime sees of this machine: the local date and time, today
// through several pictures, the locale's settings and the error table's view of a few codes. It
// grows with the runtime until the desktop program exists.
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "runtime/core/error_state.h"
#include "runtime/locale/locale.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace {

// Runtime text is Windows-1252; the terminal wants UTF-8.
std::string Show(const std::string& ansi) {
  return pellucor::platform::AnsiToUtf8(ansi);
}

}  // namespace

int main() {
  using namespace pellucor;
  using runtime::FormatValue;
  runtime::InitLocale();
  const platform::LocalTime now = platform::Now();
  std::printf("Pellucor runtime\n");
  std::printf("local time: %04d-%02d-%02d %02d:%02d:%02d\n", now.year, now.month, now.day, now.hour,
              now.minute, now.second);

  const int32_t today = runtime::TODAY();
  const int32_t clock = runtime::CLOCK();
  std::printf("today: day number %d, time value %d\n", today, clock);
  for (const char* picture : {"@D1", "@D2", "@D3", "@D4", "@D6", "@D8", "@D10", "@D17", "@D18"}) {
    std::printf("  %-5s  '%s'\n", picture,
                Show(runtime::FORMAT(FormatValue::Integer(today), picture)).c_str());
  }
  for (const char* picture : {"@T1", "@T3", "@T4", "@T6", "@T7", "@T8"}) {
    std::printf("  %-5s  '%s'\n", picture,
                Show(runtime::FORMAT(FormatValue::Integer(clock), picture)).c_str());
  }
  std::printf("  @N-15.2 of -1234567.891: '%s'\n",
              runtime::FORMAT(FormatValue::Real(-1234567.891), "@N-15.2").c_str());

  const runtime::Locale& l = runtime::CurrentLocale();
  std::printf("locale (system profile %s):\n", platform::SystemProfilePath().c_str());
  std::printf("  sShortDate '%s'  sLongDate '%s'\n", Show(l.short_date_format).c_str(),
              Show(l.long_date_format).c_str());
  std::printf("  iTime %d  iTLzero %d  sTime '%s'  s1159 '%s'  s2359 '%s'\n", l.i_time, l.i_tlzero,
              Show(l.s_time).c_str(), Show(l.s1159).c_str(), Show(l.s2359).c_str());
  std::printf("  AM/PM '%s'/'%s'  months %s .. %s (%s .. %s)\n", Show(l.am).c_str(),
              Show(l.pm).c_str(), Show(l.month_names[0]).c_str(), Show(l.month_names[11]).c_str(),
              Show(l.short_month_names[0]).c_str(), Show(l.short_month_names[11]).c_str());
  const std::string env = runtime::ProgramEnvironmentPath();
  std::printf("  environment file %s (%s)\n", env.c_str(),
              platform::Env::Default()->Exists(env) ? "read" : "none");

  std::printf("error 33: %s\n", runtime::ErrorTextFor(33).c_str());
  return 0;
}
