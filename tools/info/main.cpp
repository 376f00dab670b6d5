// pellucor-info: prints what the runtime sees of this machine: the local date and time and the
// error table's view of a few codes. It grows with the runtime until the desktop program exists.
#include <cstdio>

#include "platform/clock.h"
#include "runtime/core/error_state.h"

int main() {
  using namespace pellucor;
  const platform::LocalTime now = platform::Now();
  std::printf("Pellucor runtime\n");
  std::printf("local time: %04d-%02d-%02d %02d:%02d:%02d\n", now.year, now.month, now.day, now.hour,
              now.minute, now.second);
  std::printf("error 33: %s\n", runtime::ErrorTextFor(33).c_str());
  return 0;
}
