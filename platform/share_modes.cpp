// Share modes over open-file-description (OFD) locks.
//
// Layout of the reserved region (offsets from kShareRegionStart = 2^62, one byte each):
//
//   +0  has read    every open with read access holds a shared (F_RDLCK) lock here
//   +1  has write   every open with write access holds a shared lock here
//   +2  denies read every open whose share mode denies reading holds a shared lock here
//   +3  denies write every open whose share mode denies writing holds a shared lock here
//   +4  gate        held exclusively (F_WRLCK) for the few system calls of one open's protocol,
//                   so that two opens racing each other are checked one after the other
//   +5..+7          reserved
//
// Whether another open holds one of the bytes is asked with F_OFD_GETLK for an exclusive lock:
// it reports a conflicting lock of any other open file description, in this process or another,
// and never the caller's own. Shared locks never conflict with each other, so any number of opens
// can advertise the same access or denial at once.
//
// Protocol of one open with access A and share mode S:
//   1. take the gate (waiting) when the descriptor can be written;
//   2. take the bytes for A and for S's denials, shared;
//   3. fail when some other open holds "denies read" and A reads, "denies write" and A writes,
//      "has read" and S denies reading, or "has write" and S denies writing;
//   4. drop the gate; on failure also drop the bytes of step 2.
// Steps 2 and 3 come in that order so that even without the gate (a descriptor this user may only
// read cannot take an exclusive lock) two racing opens cannot both succeed: the later check sees
// the earlier one's bytes. A race may make both fail, so a failed attempt is retried a few times
// after a short pause before the sharing violation is reported.
//
// Compatibility mode shares like deny none. A write-only descriptor cannot take shared locks; such
// an open is checked against the others but cannot advertise its own access (only a file whose
// permissions allow writing and not reading gets such a descriptor).
#include "platform/share_modes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/clock.h"
#include "platform/system_error.h"

namespace pellucor::platform {

namespace {

constexpr uint64_t kHasRead = 0;
constexpr uint64_t kHasWrite = 1;
constexpr uint64_t kDeniesRead = 2;
constexpr uint64_t kDeniesWrite = 3;
constexpr uint64_t kGate = 4;
constexpr int kAttempts = 4;

struct flock ByteLock(short type, uint64_t byte) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(kShareRegionStart + byte);
  lock.l_len = 1;
  lock.l_pid = 0;  // required to be 0 for OFD locks
  return lock;
}

// 0 or an errno value.
int SetLock(int fd, short type, uint64_t byte, int command) {
  struct flock lock = ByteLock(type, byte);
  while (fcntl(fd, command, &lock) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Whether an open other than this descriptor's holds a lock on the byte; errno value in *error.
bool HeldByOthers(int fd, uint64_t byte, int* error) {
  struct flock lock = ByteLock(F_WRLCK, byte);
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) {
    *error = errno;
    return false;
  }
  return lock.l_type != F_UNLCK;
}

void ReleaseRegion(int fd) {
  struct flock lock {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(kShareRegionStart);
  lock.l_len = static_cast<off_t>(kShareRegionLength);
  fcntl(fd, F_OFD_SETLK, &lock);
}

bool Reads(Access a) {
  return a != Access::kWrite;
}
bool Writes(Access a) {
  return a != Access::kRead;
}
bool DeniesRead(Share s) {
  return s == Share::kDenyAll || s == Share::kDenyRead;
}
bool DeniesWrite(Share s) {
  return s == Share::kDenyAll || s == Share::kDenyWrite;
}

enum class Outcome { kHeld, kConflict, kError };

Outcome Attempt(int fd, FdMode fd_mode, Access access, Share share, int* error) {
  const bool gated = fd_mode != FdMode::kReadOnly;
  if (gated) {
    *error = SetLock(fd, F_WRLCK, kGate, F_OFD_SETLKW);
    if (*error != 0) return Outcome::kError;
  }
  std::vector<uint64_t> mine;
  if (Reads(access)) mine.push_back(kHasRead);
  if (Writes(access)) mine.push_back(kHasWrite);
  if (DeniesRead(share)) mine.push_back(kDeniesRead);
  if (DeniesWrite(share)) mine.push_back(kDeniesWrite);
  Outcome outcome = Outcome::kHeld;
  if (fd_mode != FdMode::kWriteOnly) {
    for (uint64_t byte : mine) {
      *error = SetLock(fd, F_RDLCK, byte, F_OFD_SETLK);
      if (*error != 0) {
        outcome = Outcome::kError;
        break;
      }
    }
  }
  if (outcome == Outcome::kHeld) {
    const std::pair<bool, uint64_t> checks[] = {
        {Reads(access), kDeniesRead},
        {Writes(access), kDeniesWrite},
        {DeniesRead(share), kHasRead},
        {DeniesWrite(share), kHasWrite},
    };
    for (const auto& [applies, byte] : checks) {
      if (!applies) continue;
      *error = 0;
      const bool held = HeldByOthers(fd, byte, error);
      if (*error != 0) {
        outcome = Outcome::kError;
        break;
      }
      if (held) {
        outcome = Outcome::kConflict;
        break;
      }
    }
  }
  if (outcome != Outcome::kHeld) {
    ReleaseRegion(fd);  // drops the gate too
  } else if (gated) {
    SetLock(fd, F_UNLCK, kGate, F_OFD_SETLK);
  }
  return outcome;
}

}  // namespace

int32_t AcquireShareMode(int fd, FdMode fd_mode, Access access, Share share) {
  for (int attempt = 1;; ++attempt) {
    int error = 0;
    switch (Attempt(fd, fd_mode, access, share, &error)) {
      case Outcome::kHeld:
        return 0;
      case Outcome::kError:
        return SystemErrorFromErrno(error);
      case Outcome::kConflict:
        if (attempt == kAttempts) return syserr::kSharingViolation;
        SleepMilliseconds(attempt);
        break;
    }
  }
}

}  // namespace pellucor::platform
