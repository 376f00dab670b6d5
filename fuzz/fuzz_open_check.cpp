// Opens arbitrary bytes as a Kestrune file (read-only), runs the structural check and a full
// scan in both directions. A damaged file must give an error or an orderly stop, never a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "data/pagefile/checker.h"
#include "data/pagefile/page_file.h"
#include "platform/file.h"
#include "runtime/core/fatal.h"

namespace pf = pellucor::data::pagefile;
namespace rt = pellucor::runtime;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    std::string p;
    if (!pellucor::platform::Env::Default()->CreateTempFile("VEL", &p).ok()) std::abort();
    return p;
  }();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  rt::SetHaltHook(rt::HaltHookThrows());
  try {
    pf::OpenOptions options;
    options.mode = pf::OpenMode::kReadOnly;
    auto file = pf::PageFile::Open(path, options);
    if (file) {
      (void)pf::CheckPageFile(file.get(), 50).Text();
      pf::Cursor cursor(file.get());
      size_t n = 0;
      for (bool ok = cursor.SeekFirst(); ok && n < 1000000; ok = cursor.Next()) ++n;
      for (bool ok = cursor.SeekLast(); ok && n > 0; ok = cursor.Prev()) --n;
      (void)file->CheckHeader(pf::LogHandling::kReadThrough);
    }
  } catch (const rt::HaltException&) {
    // An orderly stop: what a damaged file may cause.
  }
  rt::SetHaltHook({});
  return 0;
}
