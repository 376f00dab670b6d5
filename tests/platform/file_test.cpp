#include "platform/file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "platform/system_error.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_dir.h"

namespace pellucor::platform {
namespace {

using testing::ChildProcess;
using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteWholeFile;

constexpr uint64_t kDriverBase = uint64_t{1} << 31;  // where the drivers' locks live

std::unique_ptr<File> OpenOrFail(const std::string& path, Access access, Share share,
                                 Disposition disposition = Disposition::kOpenAlways) {
  std::unique_ptr<File> file;
  const Status status = Env::Default()->Open(path, access, share, disposition, &file);
  EXPECT_EQ(status.error, 0) << path;
  return file;
}

int32_t OpenError(const std::string& path, Access access, Share share,
                  std::unique_ptr<File>* out = nullptr) {
  std::unique_ptr<File> file;
  const Status status =
      Env::Default()->Open(path, access, share, Disposition::kOpenAlways, out ? out : &file);
  return status.error;
}

TEST(PosixFile, ReadsAndWritesAtAbsoluteOffsets) {
  TempDir dir;
  auto file =
      OpenOrFail(dir / "data", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Write(4, "world", 5).ok());
  ASSERT_TRUE(file->Write(0, "hey", 3).ok());
  uint64_t size = 0;
  ASSERT_TRUE(file->Size(&size).ok());
  EXPECT_EQ(size, 9u);
  char buf[16] = {};
  size_t got = 0;
  ASSERT_TRUE(file->Read(2, buf, sizeof buf, &got).ok());
  EXPECT_EQ(got, 7u);  // a read across the end returns what there is
  EXPECT_EQ(std::string(buf, got), std::string("y\0world", 7));
  ASSERT_TRUE(file->Flush().ok());
  ASSERT_TRUE(file->Truncate(3).ok());
  ASSERT_TRUE(file->Read(0, buf, sizeof buf, &got).ok());
  EXPECT_EQ(std::string(buf, got), "hey");
  EXPECT_EQ(file->Path(), dir / "data");
}

TEST(PosixFile, DispositionsAndAccessAreEnforced) {
  TempDir dir;
  const std::string path = dir / "f";
  std::unique_ptr<File> file;
  Env* env = Env::Default();
  EXPECT_EQ(
      env->Open(path, Access::kRead, Share::kDenyNone, Disposition::kOpenExisting, &file).error,
      syserr::kFileNotFound);
  EXPECT_EQ(LastSystemError(), syserr::kFileNotFound);
  EXPECT_FALSE(env->Exists(path));
  WriteWholeFile(path, "contents");
  EXPECT_EQ(
      env->Open(path, Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &file).error,
      syserr::kFileExists);
  ASSERT_TRUE(
      env->Open(path, Access::kReadWrite, Share::kDenyNone, Disposition::kOpenAlways, &file).ok());
  EXPECT_EQ(LastSystemError(), 0);
  file.reset();
  EXPECT_EQ(ReadWholeFile(path), "contents");

  ASSERT_TRUE(
      env->Open(path, Access::kRead, Share::kDenyNone, Disposition::kOpenExisting, &file).ok());
  EXPECT_EQ(file->Write(0, "x", 1).error, syserr::kAccessDenied);
  EXPECT_EQ(file->Truncate(0).error, syserr::kAccessDenied);
  file.reset();
  ASSERT_TRUE(
      env->Open(path, Access::kWrite, Share::kDenyNone, Disposition::kOpenExisting, &file).ok());
  char c;
  size_t got;
  EXPECT_EQ(file->Read(0, &c, 1, &got).error, syserr::kAccessDenied);
  file.reset();

  ASSERT_TRUE(
      env->Open(path, Access::kReadWrite, Share::kDenyNone, Disposition::kCreateAlways, &file)
          .ok());
  file.reset();
  EXPECT_EQ(ReadWholeFile(path), "");
  EXPECT_EQ(
      env->Open(dir.path(), Access::kRead, Share::kDenyNone, Disposition::kOpenExisting, &file)
          .error,
      syserr::kAccessDenied);
  EXPECT_EQ(env->Open(dir / "no/such/dir/f", Access::kRead, Share::kDenyNone,
                      Disposition::kOpenAlways, &file)
                .error,
            syserr::kFileNotFound);
}

// A file this user may only read: it opens for reading, its share mode counts, and its lock
// (necessarily shared) still keeps writers out. Played by a second process without root when
// the tests run as root, since root ignores permissions.
TEST(PosixFile, ReadOnlyPermissionStillOpensForReading) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string path = dir / "ro";
  WriteWholeFile(path, "abc");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const std::string lock = std::to_string(kDriverBase) + " 1 nowait";
  if (geteuid() == 0) {
    ChildProcess reader(testing::ChildUser::kUnprivileged);
    EXPECT_EQ(reader.Do("open " + path + " rw none"), std::to_string(syserr::kAccessDenied));
    ASSERT_EQ(reader.Do("open " + path + " r write"), "0");
    ASSERT_EQ(reader.Do("lock " + lock), "0");
    EXPECT_EQ(OpenError(path, Access::kWrite, Share::kDenyNone), syserr::kSharingViolation);
    auto mine = OpenOrFail(path, Access::kRead, Share::kDenyWrite);
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->Lock(kDriverBase, 1, LockWait::kNoWait).error, syserr::kLockViolation);
    EXPECT_EQ(reader.Do("close"), "0");
    EXPECT_TRUE(mine->Lock(kDriverBase, 1, LockWait::kNoWait).ok());
    EXPECT_EQ(reader.Do("open " + path + " r none"), "0");
    EXPECT_EQ(reader.Do("lock " + lock), std::to_string(syserr::kLockViolation));
    return;
  }
  std::unique_ptr<File> file;
  EXPECT_EQ(OpenError(path, Access::kReadWrite, Share::kDenyNone), syserr::kAccessDenied);
  ASSERT_EQ(OpenError(path, Access::kRead, Share::kDenyWrite, &file), 0);
  char buf[4];
  size_t got = 0;
  ASSERT_TRUE(file->Read(0, buf, 4, &got).ok());
  EXPECT_EQ(std::string(buf, got), "abc");
  ASSERT_TRUE(file->Lock(kDriverBase, 1, LockWait::kNoWait).ok());
  ChildProcess child;
  EXPECT_EQ(child.Do("open " + path + " r none"), "0");
  EXPECT_EQ(child.Do("lock " + lock), std::to_string(syserr::kLockViolation));
  EXPECT_EQ(child.Do("close"), "0");
  EXPECT_EQ(child.Do("open " + path + " r all"), std::to_string(syserr::kSharingViolation));
}

TEST(PosixEnv, DirectoriesRenameRemoveAndTempFiles) {
  TempDir dir;
  Env* env = Env::Default();
  const std::string nested = dir / "a/b/c";
  ASSERT_TRUE(env->CreateDirectories(nested).ok());
  EXPECT_TRUE(env->IsDirectory(nested));
  ASSERT_TRUE(env->CreateDirectories(nested).ok());  // already there is fine
  WriteWholeFile(nested + "/x", "new");
  WriteWholeFile(dir / "y", "old");
  EXPECT_EQ(env->CreateDirectories(dir / "y").error, syserr::kFileExists);
  ASSERT_TRUE(env->Rename(nested + "/x", dir / "y").ok());
  EXPECT_EQ(ReadWholeFile(dir / "y"), "new");
  EXPECT_FALSE(env->Exists(nested + "/x"));
  EXPECT_EQ(env->Rename(nested + "/x", dir / "z").error, syserr::kFileNotFound);
  ASSERT_TRUE(env->Remove(dir / "y").ok());
  EXPECT_EQ(env->Remove(dir / "y").error, syserr::kFileNotFound);

  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", dir.path().c_str(), 1);
  std::string first, second;
  ASSERT_TRUE(env->CreateTempFile("VEL", &first).ok());
  ASSERT_TRUE(env->CreateTempFile("VEL", &second).ok());
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(dir / "VEL", 0), 0u) << first;
  EXPECT_EQ(first.size(), (dir / "VEL").size() + 6);
  EXPECT_TRUE(env->Exists(first));
  EXPECT_EQ(ReadWholeFile(first), "");
  EXPECT_EQ(env->CreateTempFile("a/b", &first).error, syserr::kInvalidParameter);
}

TEST(AccessModeByte, DecodesTheFileStatementsModes) {
  Access a;
  Share s;
  ASSERT_TRUE(DecodeAccessMode(0x22, &a, &s));
  EXPECT_EQ(a, Access::kReadWrite);
  EXPECT_EQ(s, Share::kDenyWrite);
  ASSERT_TRUE(DecodeAccessMode(0x40, &a, &s));
  EXPECT_EQ(a, Access::kRead);
  EXPECT_EQ(s, Share::kDenyNone);
  ASSERT_TRUE(DecodeAccessMode(0x01, &a, &s));
  EXPECT_EQ(a, Access::kWrite);
  EXPECT_EQ(s, Share::kCompat);
  ASSERT_TRUE(DecodeAccessMode(0x12, &a, &s));
  EXPECT_EQ(s, Share::kDenyAll);
  ASSERT_TRUE(DecodeAccessMode(0x30, &a, &s));
  EXPECT_EQ(s, Share::kDenyRead);
  for (uint8_t bad : {0x03, 0x50, 0x70, 0x04, 0x82, 0x08})
    EXPECT_FALSE(DecodeAccessMode(bad, &a, &s));
}

// Share-mode conflicts as the system's file layer decides them. The first open stays open while
// the second is tried.
struct ShareCase {
  Access first_access;
  Share first_share;
  Access second_access;
  Share second_share;
  bool allowed;
};

const ShareCase kShareCases[] = {
    {Access::kReadWrite, Share::kDenyNone, Access::kReadWrite, Share::kDenyNone, true},
    {Access::kRead, Share::kCompat, Access::kReadWrite, Share::kCompat, true},
    {Access::kRead, Share::kDenyWrite, Access::kRead, Share::kDenyWrite, true},
    {Access::kRead, Share::kDenyWrite, Access::kWrite, Share::kDenyNone, false},
    {Access::kRead, Share::kDenyWrite, Access::kReadWrite, Share::kDenyNone, false},
    {Access::kReadWrite, Share::kDenyWrite, Access::kRead, Share::kDenyNone, true},
    {Access::kReadWrite, Share::kDenyWrite, Access::kRead, Share::kDenyWrite, false},
    {Access::kReadWrite, Share::kCompat, Access::kRead, Share::kDenyWrite, false},
    {Access::kRead, Share::kDenyAll, Access::kRead, Share::kDenyNone, false},
    {Access::kWrite, Share::kDenyAll, Access::kWrite, Share::kDenyNone, false},
    {Access::kRead, Share::kDenyRead, Access::kWrite, Share::kDenyNone, true},
    {Access::kWrite, Share::kDenyRead, Access::kRead, Share::kDenyNone, false},
    {Access::kWrite, Share::kDenyNone, Access::kRead, Share::kDenyWrite, false},
    {Access::kWrite, Share::kDenyNone, Access::kRead, Share::kDenyRead, true},
    {Access::kRead, Share::kDenyNone, Access::kReadWrite, Share::kDenyRead, false},
    {Access::kRead, Share::kDenyNone, Access::kWrite, Share::kDenyAll, false},
    {Access::kWrite, Share::kDenyWrite, Access::kRead, Share::kDenyRead, true},
};

std::string Word(Access a) {
  return a == Access::kRead ? "r" : a == Access::kWrite ? "w" : "rw";
}
std::string Word(Share s) {
  switch (s) {
    case Share::kCompat:
      return "compat";
    case Share::kDenyAll:
      return "all";
    case Share::kDenyWrite:
      return "write";
    case Share::kDenyRead:
      return "read";
    case Share::kDenyNone:
      return "none";
  }
  return "";
}

TEST(ShareModes, TwoOpensInOneProcess) {
  TempDir dir;
  const std::string path = dir / "shared";
  for (const ShareCase& c : kShareCases) {
    SCOPED_TRACE(Word(c.first_access) + "/" + Word(c.first_share) + " then " +
                 Word(c.second_access) + "/" + Word(c.second_share));
    auto first = OpenOrFail(path, c.first_access, c.first_share);
    EXPECT_EQ(OpenError(path, c.second_access, c.second_share),
              c.allowed ? 0 : syserr::kSharingViolation);
    if (!c.allowed) {
      EXPECT_EQ(LastSystemError(), syserr::kSharingViolation);
    }
    first.reset();
    EXPECT_EQ(OpenError(path, c.second_access, c.second_share), 0) << "after the first closed";
  }
}

TEST(ShareModes, AgainstASecondProcess) {
  TempDir dir;
  const std::string path = dir / "shared";
  ChildProcess child;
  for (const ShareCase& c : kShareCases) {
    SCOPED_TRACE(Word(c.first_access) + "/" + Word(c.first_share) + " then " +
                 Word(c.second_access) + "/" + Word(c.second_share));
    // The child opens first and this process tries second ...
    ASSERT_EQ(child.Do("open " + path + " " + Word(c.first_access) + " " + Word(c.first_share)),
              "0");
    EXPECT_EQ(OpenError(path, c.second_access, c.second_share),
              c.allowed ? 0 : syserr::kSharingViolation);
    ASSERT_EQ(child.Do("close"), "0");
    // ... and the other way round.
    auto first = OpenOrFail(path, c.first_access, c.first_share);
    EXPECT_EQ(child.Do("open " + path + " " + Word(c.second_access) + " " + Word(c.second_share)),
              std::to_string(c.allowed ? 0 : syserr::kSharingViolation));
    ASSERT_EQ(child.Do("close"), "0");
  }
}

TEST(ShareModes, RefusedCreateAlwaysLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir / "keep";
  WriteWholeFile(path, "precious");
  ChildProcess child;
  ASSERT_EQ(child.Do("open " + path + " r write"), "0");
  std::unique_ptr<File> file;
  EXPECT_EQ(
      Env::Default()
          ->Open(path, Access::kReadWrite, Share::kDenyNone, Disposition::kCreateAlways, &file)
          .error,
      syserr::kSharingViolation);
  EXPECT_EQ(ReadWholeFile(path), "precious");
}

TEST(ShareModes, EndOfTheOtherProcessFreesTheFile) {
  TempDir dir;
  const std::string path = dir / "f";
  {
    ChildProcess child;
    ASSERT_EQ(child.Do("open " + path + " rw all"), "0");
    EXPECT_EQ(OpenError(path, Access::kRead, Share::kDenyNone), syserr::kSharingViolation);
  }
  EXPECT_EQ(OpenError(path, Access::kRead, Share::kDenyNone), 0);
}

TEST(ByteLocks, ConflictBetweenProcessesAndBetweenOpensOfOneProcess) {
  TempDir dir;
  const std::string path = dir / "locks";
  auto mine = OpenOrFail(path, Access::kReadWrite, Share::kDenyNone);
  ChildProcess child;
  ASSERT_EQ(child.Do("open " + path + " rw none"), "0");
  ASSERT_EQ(child.Do("lock " + std::to_string(kDriverBase) + " 1023 nowait"), "0");
  EXPECT_EQ(mine->Lock(kDriverBase + 5, 1, LockWait::kNoWait).error, syserr::kLockViolation);
  EXPECT_EQ(LastSystemError(), syserr::kLockViolation);
  EXPECT_TRUE(mine->Lock(kDriverBase + 1023, 1, LockWait::kNoWait).ok());  // the writer byte
  EXPECT_EQ(child.Do("lock " + std::to_string(kDriverBase + 1023) + " 1 nowait"),
            std::to_string(syserr::kLockViolation));
  // A second open in this process is a different open: it conflicts with the first ...
  auto second = OpenOrFail(path, Access::kReadWrite, Share::kDenyNone);
  EXPECT_EQ(second->Lock(kDriverBase + 1023, 1, LockWait::kNoWait).error, syserr::kLockViolation);
  // ... and closing it leaves the first one's lock in place.
  second.reset();
  EXPECT_EQ(child.Do("lock " + std::to_string(kDriverBase + 1023) + " 1 nowait"),
            std::to_string(syserr::kLockViolation));
  ASSERT_TRUE(mine->Unlock(kDriverBase + 1023, 1).ok());
  EXPECT_EQ(child.Do("lock " + std::to_string(kDriverBase + 1023) + " 1 nowait"), "0");
}

TEST(ByteLocks, WaitBlocksUntilTheOtherProcessUnlocks) {
  TempDir dir;
  const std::string path = dir / "locks";
  const std::string record = std::to_string(kDriverBase + 1025 + 7);
  auto mine = OpenOrFail(path, Access::kReadWrite, Share::kDenyNone);
  ChildProcess child;
  ASSERT_EQ(child.Do("open " + path + " rw none"), "0");
  // The child waits for a lock this process holds.
  ASSERT_TRUE(mine->Lock(kDriverBase + 1025 + 7, 1, LockWait::kNoWait).ok());
  child.Send("lock " + record + " 1 wait");
  EXPECT_EQ(child.Answer(std::chrono::milliseconds(300)), std::nullopt) << "should be blocked";
  ASSERT_TRUE(mine->Unlock(kDriverBase + 1025 + 7, 1).ok());
  EXPECT_EQ(child.Answer(), "0");
  // And this process waits for the child's.
  auto waiter = std::async(std::launch::async, [&] {
    return mine->Lock(kDriverBase + 1025 + 7, 1, LockWait::kWait).error;
  });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  EXPECT_EQ(child.Do("unlock " + record + " 1"), "0");
  EXPECT_EQ(waiter.get(), 0);
  EXPECT_EQ(child.Do("lock " + record + " 1 nowait"), std::to_string(syserr::kLockViolation));
  // The other process ending releases what it held.
  ASSERT_TRUE(mine->Unlock(kDriverBase + 1025 + 7, 1).ok());
  ASSERT_EQ(child.Do("lock " + record + " 1 nowait"), "0");
  EXPECT_EQ(child.Do("close"), "0");
  EXPECT_TRUE(mine->Lock(kDriverBase + 1025 + 7, 1, LockWait::kNoWait).ok());
}

TEST(ByteLocks, RangesOfOneOpenFollowTheSystemRules) {
  TempDir dir;
  auto file = OpenOrFail(dir / "f", Access::kReadWrite, Share::kDenyNone);
  ASSERT_TRUE(file->Lock(kDriverBase, 1023, LockWait::kNoWait).ok());
  // Overlapping an own lock fails instead of merging with it (kWait must not hang either).
  EXPECT_EQ(file->Lock(kDriverBase + 3, 1, LockWait::kNoWait).error, syserr::kLockViolation);
  EXPECT_EQ(file->Lock(kDriverBase + 1022, 2, LockWait::kWait).error, syserr::kLockViolation);
  EXPECT_EQ(file->Lock(kDriverBase - 1, 2, LockWait::kNoWait).error, syserr::kLockViolation);
  ASSERT_TRUE(file->Lock(kDriverBase + 1023, 1, LockWait::kNoWait).ok());
  // Unlocks name exactly what was locked.
  EXPECT_EQ(file->Unlock(kDriverBase + 3, 1).error, syserr::kLockViolation);
  EXPECT_EQ(file->Unlock(kDriverBase, 1024).error, syserr::kLockViolation);
  ASSERT_TRUE(file->Unlock(kDriverBase, 1023).ok());
  EXPECT_EQ(file->Unlock(kDriverBase, 1023).error, syserr::kLockViolation);
  ASSERT_TRUE(file->Unlock(kDriverBase + 1023, 1).ok());
  // Empty ranges and the share-mode region are refused.
  EXPECT_EQ(file->Lock(kDriverBase, 0, LockWait::kNoWait).error, syserr::kInvalidParameter);
  EXPECT_EQ(file->Lock(uint64_t{1} << 62, 1, LockWait::kNoWait).error, syserr::kInvalidParameter);
  EXPECT_EQ(file->Lock((uint64_t{1} << 62) - 1, 2, LockWait::kNoWait).error,
            syserr::kInvalidParameter);
  EXPECT_EQ(file->Lock(~uint64_t{0}, 2, LockWait::kNoWait).error, syserr::kInvalidParameter);
}

}  // namespace
}  // namespace pellucor::platform
