#include "data/kestrune_driver/entry_prefix.h"

#include <vector>

namespace pellucor::data::kdriver {

void ErasePrefix(pagefile::PageFile& pf, std::span<const uint8_t> prefix) {
  // The keys first: erasing moves the cursor's entries about.
  std::vector<std::vector<uint8_t>> keys;
  pagefile::Cursor c(&pf);
  for (bool ok = c.Seek(prefix, pagefile::SeekBias::kAtOrAfter); ok && HasPrefix(c.key(), prefix);
       ok = c.Next()) {
    keys.emplace_back(c.key().begin(), c.key().end());
  }
  for (const auto& k : keys) (void)pf.Erase(k);
}

}  // namespace pellucor::data::kdriver
