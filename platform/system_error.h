// The last operating-system error of the calling thread, kept as the system error numbers that
// the error table knows (2 file not found, 5 access denied, 32 sharing violation, 33 lock
// violation, 39 disk full, ...). Every platform call that fails sets it from errno, so the
// runtime's error posting can report "300 + system error" with a meaningful text.
#pragma once

#include <cstdint>

namespace pellucor::platform {

namespace syserr {
inline constexpr int32_t kInvalidFunction = 1;
inline constexpr int32_t kFileNotFound = 2;
inline constexpr int32_t kPathNotFound = 3;
inline constexpr int32_t kTooManyOpenFiles = 4;
inline constexpr int32_t kAccessDenied = 5;
inline constexpr int32_t kInvalidHandle = 6;
inline constexpr int32_t kInsufficientMemory = 8;
inline constexpr int32_t kInvalidData = 13;
inline constexpr int32_t kNotSameDevice = 17;
inline constexpr int32_t kWriteProtect = 19;
inline constexpr int32_t kDeviceNotReady = 21;
inline constexpr int32_t kWriteFault = 29;
inline constexpr int32_t kReadFault = 30;
inline constexpr int32_t kGeneralFailure = 31;
inline constexpr int32_t kSharingViolation = 32;
inline constexpr int32_t kLockViolation = 33;
inline constexpr int32_t kHandleEof = 38;
inline constexpr int32_t kHandleDiskFull = 39;
inline constexpr int32_t kNotSupported = 50;
inline constexpr int32_t kFileExists = 80;
inline constexpr int32_t kInvalidParameter = 87;
inline constexpr int32_t kUnknown = 91;
}  // namespace syserr

int32_t LastSystemError();
void SetLastSystemError(int32_t error);

// Maps a POSIX errno value to the system error number above (unknown values give kUnknown).
int32_t SystemErrorFromErrno(int errno_value);
// Sets the last system error from the current errno and returns it.
int32_t SetLastSystemErrorFromErrno();

}  // namespace pellucor::platform
