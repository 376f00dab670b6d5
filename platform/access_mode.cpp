#include "platform/file.h"

namespace pellucor::platform {

bool DecodeAccessMode(uint8_t mode, Access* access, Share* share) {
  if ((mode & 0x8C) != 0) return false;
  switch (mode & 0x03) {
    case 0:
      *access = Access::kRead;
      break;
    case 1:
      *access = Access::kWrite;
      break;
    case 2:
      *access = Access::kReadWrite;
      break;
    default:
      return false;
  }
  switch (mode & 0x70) {
    case 0x00:
      *share = Share::kCompat;
      break;
    case 0x10:
      *share = Share::kDenyAll;
      break;
    case 0x20:
      *share = Share::kDenyWrite;
      break;
    case 0x30:
      *share = Share::kDenyRead;
      break;
    case 0x40:
      *share = Share::kDenyNone;
      break;
    default:
      return false;
  }
  return true;
}

}  // namespace pellucor::platform
