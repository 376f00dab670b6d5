// The scratch folder of tests/support under the name the platform tests (and others) use.
#pragma once

#include "tests/support/scratch_dir.h"

namespace pellucor::platform::testing {

using testsupport::ReadWholeFile;
using testsupport::TempDir;
using testsupport::WriteWholeFile;

}  // namespace pellucor::platform::testing
