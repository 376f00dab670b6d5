// Stored pages come from a file that may be damaged: decoding must never read out of bounds, and
// whatever decodes must encode and decode back to the same entries.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/kestrune/page_codec.h"

using pellucor::data::kestrune::DecodePage;
using pellucor::data::kestrune::EncodePage;
using pellucor::data::kestrune::Page;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Page page;
  if (!DecodePage({data, size}, &page).ok()) return 0;
  std::vector<uint8_t> stored;
  if (!EncodePage(page, 1, &stored).ok()) return 0;  // may be too large once re-packed
  Page again;
  if (!DecodePage(stored, &again).ok() || again.count() != page.count() ||
      again.level() != page.level()) {
    std::abort();
  }
  for (size_t i = 0; i < page.count(); ++i) {
    const auto a = page.Entry(i), b = again.Entry(i);
    if (a.size() != b.size() || page.Key(i).size() != again.Key(i).size() ||
        (a.size() != 0 && std::memcmp(a.data(), b.data(), a.size()) != 0)) {
      std::abort();
    }
    if (!page.is_leaf() && page.Child(i) != again.Child(i)) std::abort();
  }
  return 0;
}
