// Parses arbitrary bytes as a profile file, reads from it, writes to it and parses the result
// again. Besides not crashing: a written value reads back, and every line other than the one a
// write replaces keeps its bytes and its order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/profile_parser.h"

using pellucor::platform::ProfileText;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Whether `after` is `before` with at most `replaced` of its lines replaced or removed and at
// most `added` lines put in, all in one place: what stays keeps its bytes and its order. The last
// line of `before` may have gained a line ending.
bool KeepsLines(const ProfileText& before, const ProfileText& after, size_t replaced,
                size_t added) {
  const auto& a = before.lines();
  const auto& b = after.lines();
  auto same = [&](size_t i, size_t k) {
    const std::string old_bytes = a[i].text + a[i].ending;
    const std::string new_bytes = b[k].text + b[k].ending;
    if (i + 1 == a.size() && a[i].ending.empty())
      return new_bytes.compare(0, old_bytes.size(), old_bytes) == 0;
    return old_bytes == new_bytes;
  };
  size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && same(prefix, prefix)) ++prefix;
  size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         same(a.size() - 1 - suffix, b.size() - 1 - suffix))
    ++suffix;
  const size_t gone = a.size() - prefix - suffix;
  const size_t come = b.size() - prefix - suffix;
  return gone <= replaced && come <= gone + added;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ProfileText text(bytes);
  Check(text.Serialize() == bytes);  // parsing alone changes nothing

  // Query every name the text itself holds, and write to the first section's first key.
  const auto sections = text.SectionNames();
  for (const auto& s : sections)
    for (const auto& k : text.KeyNames(s)) Check(text.Get(s, k).has_value());

  std::string section = sections.empty() ? "Fuzz" : sections.front();
  if (!ProfileText::ValidSection(section)) section = "Fuzz";
  std::string key = "NewKey";
  if (!sections.empty()) {
    const auto keys = text.KeyNames(sections.front());
    if (!keys.empty() && ProfileText::ValidKey(keys.front())) key = keys.front();
  }
  const bool existed = text.Get(section, key).has_value();

  ProfileText written(bytes);
  written.Set(section, key, "fuzz value");
  const ProfileText reread(written.Serialize());
  Check(reread.Get(section, key) == std::optional<std::string>("fuzz value"));
  Check(existed ? KeepsLines(text, reread, 1, 0) : KeepsLines(text, reread, 0, 3));

  ProfileText deleted(reread.Serialize());
  deleted.DeleteKey(section, key);
  Check(!ProfileText(deleted.Serialize()).Get(section, key).has_value());
  deleted.DeleteSection(section);
  Check(!ProfileText(deleted.Serialize()).Get(section, "x").has_value());
  return 0;
}
