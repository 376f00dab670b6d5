// Share modes of an open, emulated with open-file-description locks on reserved bytes of the file.
// Internal to platform/: the real Env takes them right after open(2) and they last until the
// descriptor is closed (closing drops every OFD lock of the descriptor, so a crashed process
// never leaves a share mode behind).
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace pellucor::platform {

// The first byte of the reserved region. Data and driver locks live below 2^32 + 2^31 (drivers
// lock at 2 GiB plus a record or table number); File::Lock refuses ranges that reach this region.
inline constexpr uint64_t kShareRegionStart = uint64_t{1} << 62;
inline constexpr uint64_t kShareRegionLength = 8;

enum class FdMode { kReadOnly, kWriteOnly, kReadWrite };

// Declares this descriptor's access and share mode to every other open of the file, or fails with
// syserr::kSharingViolation (and holds nothing) when an existing open denies `access` or already
// has an access that `share` denies. Returns another system error when the locks cannot be taken.
[[nodiscard]] int32_t AcquireShareMode(int fd, FdMode fd_mode, Access access, Share share);

}  // namespace pellucor::platform
