#include "tests/support/scratch_dir.h"

#include "data/kestrune_driver/kestrune_driver.h"

namespace pellucor::testsupport {

ScratchCwd::ScratchCwd() {
  old_ = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  // Second programs of a test find the same transaction control file through the environment.
  setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
  data::SetTransactionControlFile(dir_ / "state/pellucor/kestrune.tcf");
  // No trace switches unless a test writes its own system profile here.
  setenv("PELLUCOR_SYSTEM_PROFILE", (dir_ / "system.ini").c_str(), 1);
}

ScratchCwd::~ScratchCwd() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
}

}  // namespace pellucor::testsupport
