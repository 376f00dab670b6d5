// The record descriptor decoder over arbitrary bytes: it must refuse, never read out of bounds,
// and whatever it accepts must hold together (fields inside the record, sizes adding up).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "data/driver/declaration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto layout = pellucor::data::DecodeRecordDescriptor(std::span(data, size));
  if (!layout) return 0;
  uint64_t sum = 0;
  for (const auto& f : layout->fields) {
    if (uint64_t{f.offset} + f.size > layout->total_size) std::abort();
    if (f.over == 0) sum += f.size;
  }
  if (sum != layout->total_size) std::abort();
  return 0;
}
