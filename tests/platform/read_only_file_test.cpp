// Files this user cannot write: on a file system mounted read-only they still open for reading
// (and lock, shared), and Env::Writable tells such a file, and one whose permissions forbid
// writing, from one that another open's sharing keeps out.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"
#include "platform/system_error.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_dir.h"
#include "tests/platform/tmpfs_mount.h"

namespace pellucor::platform {
namespace {

using testing::ChildProcess;
using testing::TempDir;
using testing::TmpfsMount;
using testing::WriteWholeFile;

constexpr uint64_t kDriverBase = uint64_t{1} << 31;  // where the drivers' locks live

int32_t OpenError(const std::string& path, Access access, Share share, Disposition disposition,
                  std::unique_ptr<File>* out) {
  return Env::Default()->Open(path, access, share, disposition, out).error;
}

TEST(ReadOnlyFileSystem, FilesOpenForReadingAndRefuseWritingAsWriteProtected) {
  TempDir dir;
  const std::string mount_point = dir / "ro";
  TmpfsMount mount(mount_point);
  if (!mount.mounted()) GTEST_SKIP() << mount.reason();
  const std::string path = mount_point + "/f";
  const std::string missing = mount_point + "/missing";
  WriteWholeFile(path, "abc");
  ASSERT_TRUE(mount.MakeReadOnly()) << std::strerror(errno);
  Env* env = Env::Default();

  std::unique_ptr<File> file;
  for (const Disposition d : {Disposition::kOpenExisting, Disposition::kOpenAlways}) {
    ASSERT_EQ(OpenError(path, Access::kRead, Share::kDenyWrite, d, &file), 0);
    char buf[4];
    size_t got = 0;
    ASSERT_TRUE(file->Read(0, buf, sizeof buf, &got).ok());
    EXPECT_EQ(std::string(buf, got), "abc");
    // Readers lock their slots; on a file nobody can write, other readers still get in.
    ASSERT_TRUE(file->Lock(kDriverBase, 1, LockWait::kNoWait).ok());
    ChildProcess other;
    EXPECT_EQ(other.Do("open " + path + " r none"), "0");
    EXPECT_EQ(other.Do("lock " + std::to_string(kDriverBase) + " 1 nowait"), "0");
    file.reset();
  }
  std::unique_ptr<File> refused;
  EXPECT_EQ(
      OpenError(path, Access::kReadWrite, Share::kDenyNone, Disposition::kOpenExisting, &refused),
      syserr::kWriteProtect);
  EXPECT_EQ(OpenError(path, Access::kWrite, Share::kDenyNone, Disposition::kOpenExisting, &refused),
            syserr::kWriteProtect);
  EXPECT_EQ(OpenError(missing, Access::kRead, Share::kDenyNone, Disposition::kOpenAlways, &refused),
            syserr::kWriteProtect);  // cannot be created there
  EXPECT_FALSE(refused);
  EXPECT_EQ(env->Writable(path).error, syserr::kWriteProtect);
  EXPECT_EQ(env->Writable(missing).error, syserr::kFileNotFound);
}

// Writable asks the file system, not the share modes: another open that denies writing does not
// make a file read-only, while permissions that forbid writing do.
TEST(ReadOnlyFileSystem, WritableTellsPermissionsFromSharing) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string path = dir / "f";
  WriteWholeFile(path, "abc");
  Env* env = Env::Default();
  EXPECT_EQ(env->Writable(path).error, 0);
  {
    ChildProcess holder;
    ASSERT_EQ(holder.Do("open " + path + " r write"), "0");
    std::unique_ptr<File> file;
    EXPECT_EQ(
        OpenError(path, Access::kReadWrite, Share::kDenyNone, Disposition::kOpenExisting, &file),
        syserr::kSharingViolation);
    EXPECT_EQ(env->Writable(path).error, 0);
  }
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  if (geteuid() == 0) {
    // Root writes it anyway; an unprivileged process is refused.
    EXPECT_EQ(env->Writable(path).error, 0);
    ChildProcess user(testing::ChildUser::kUnprivileged);
    EXPECT_EQ(user.Do("writable " + path), std::to_string(syserr::kAccessDenied));
    return;
  }
  EXPECT_EQ(env->Writable(path).error, syserr::kAccessDenied);
}

}  // namespace
}  // namespace pellucor::platform
