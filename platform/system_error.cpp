#include "platform/system_error.h"

#include <cerrno>

namespace pellucor::platform {

namespace {
thread_local int32_t last_system_error = 0;
}

int32_t LastSystemError() {
  return last_system_error;
}
void SetLastSystemError(int32_t error) {
  last_system_error = error;
}

int32_t SystemErrorFromErrno(int e) {
  switch (e) {
    case 0:
      return 0;
    case ENOENT:
      return syserr::kFileNotFound;
    case ENOTDIR:
      return syserr::kPathNotFound;
    case EMFILE:
    case ENFILE:
      return syserr::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return syserr::kAccessDenied;
    case EBADF:
      return syserr::kInvalidHandle;
    case ENOMEM:
      return syserr::kInsufficientMemory;
    case EXDEV:
      return syserr::kNotSameDevice;
    case EROFS:
      return syserr::kWriteProtect;
    case ENXIO:
    case ENODEV:
      return syserr::kDeviceNotReady;
    case EIO:
      return syserr::kGeneralFailure;
    case EAGAIN:
    case EDEADLK:
      return syserr::kLockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return syserr::kHandleDiskFull;
    case ENOSYS:
    case EOPNOTSUPP:
      return syserr::kNotSupported;
    case EEXIST:
      return syserr::kFileExists;
    case EINVAL:
    case ENAMETOOLONG:
      return syserr::kInvalidParameter;
    default:
      return syserr::kUnknown;
  }
}

int32_t SetLastSystemErrorFromErrno() {
  last_system_error = SystemErrorFromErrno(errno);
  return last_system_error;
}

}  // namespace pellucor::platform
