// Applies arbitrary bytes as an environment file. Besides not crashing: the collating order
// stays a permutation of the 256 characters, the tables stay within their limits, and the parsed
// lines respect the key and value limits.
#include <stdlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/core/char_tables.h"
#include "runtime/core/fatal.h"
#include "runtime/locale/env_file.h"
#include "runtime/locale/locale.h"

using namespace pellucor::runtime;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    SetHaltHook(HaltHookThrows());
    // Keep the user's own settings out of the runs.
    setenv("PELLUCOR_SYSTEM_PROFILE", "/nonexistent/pellucor-fuzz/system.ini", 1);
    setenv("XDG_CONFIG_HOME", "/nonexistent/pellucor-fuzz", 1);
    return true;
  }();
  (void)once;
  InitLocale();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const EnvEntry& e : ParseEnvironment(text)) {
    Check(!e.key.empty() && e.key.size() <= kMaxEnvKey);
    Check(e.value.size() <= kMaxEnvValue);
  }
  ApplyEnvironmentText(text);
  const CharTables& t = CurrentCharTables();
  std::array<bool, 256> seen{};
  for (uint8_t rank : t.collation) {
    Check(!seen[rank]);
    seen[rank] = true;
  }
  Check(t.digraph_count <= kMaxDigraphs);
  const Locale& l = CurrentLocale();
  Check(l.am.size() <= 2 && l.pm.size() <= 2);
  for (const auto& name : l.short_month_names) Check(name.size() <= 3);
  (void)CollateCompare(text.substr(0, 40), text.substr(size / 2), CaseRule::kIgnoreCase);
  return 0;
}
