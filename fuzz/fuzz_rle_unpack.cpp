// The run-length unpacker reads packed page bodies from the file. The first two bytes of an
// input give the unpacked length, the rest is the packed text. The input is also packed and
// unpacked again, which must give it back.
#include <cstdlib>
#include <vector>

#include "data/kestrune/rle.h"

using pellucor::data::kestrune::RlePack;
using pellucor::data::kestrune::RleUnpack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t length = data[0] | (size_t{data[1]} << 8);
  std::vector<uint8_t> out(length);
  const auto r = RleUnpack({data + 2, size - 2}, out);
  if (r.consumed > size - 2) std::abort();

  const std::vector<uint8_t> text(data, data + size);
  std::vector<uint8_t> packed;
  if (RlePack(text, &packed)) {
    std::vector<uint8_t> back(text.size());
    if (!RleUnpack(packed, back).ok() || back != text) std::abort();
  }
  return 0;
}
