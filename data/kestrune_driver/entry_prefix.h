// Entries by the start of their key part: a table's entries, one record's memo chunks, one
// key's entries all share a prefix. Private to data/kestrune_driver/.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "data/pagefile/page_file.h"

namespace pellucor::data::kdriver {

inline bool HasPrefix(std::span<const uint8_t> key, std::span<const uint8_t> prefix) {
  return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

// Removes every entry whose key part starts with `prefix`.
void ErasePrefix(pagefile::PageFile& pf, std::span<const uint8_t> prefix);

}  // namespace pellucor::data::kdriver
