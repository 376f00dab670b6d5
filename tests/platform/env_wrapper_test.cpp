#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fault_injection_env.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "tests/platform/temp_dir.h"

namespace pellucor::platform {
namespace {

using testing::TempDir;
using testing::WriteWholeFile;

// The real file system, with a log of the calls that reach it by name.
class RecordingEnv : public Env {
 public:
  Status Open(const std::string& path, Access access, Share share, Disposition disposition,
              std::unique_ptr<File>* out) override {
    calls.push_back("Open");
    return real_->Open(path, access, share, disposition, out);
  }
  Status Remove(const std::string& path) override {
    calls.push_back("Remove");
    return real_->Remove(path);
  }
  Status RemoveTemporary(const std::string& path) override {
    calls.push_back("RemoveTemporary");
    return real_->RemoveTemporary(path);
  }
  Status Rename(const std::string& from, const std::string& to) override {
    calls.push_back("Rename");
    return real_->Rename(from, to);
  }
  bool Exists(const std::string& path) override {
    calls.push_back("Exists");
    return real_->Exists(path);
  }
  bool IsDirectory(const std::string& path) override {
    calls.push_back("IsDirectory");
    return real_->IsDirectory(path);
  }
  Status Writable(const std::string& path) override {
    calls.push_back("Writable");
    return real_->Writable(path);
  }
  Status CreateDirectories(const std::string& path) override {
    calls.push_back("CreateDirectories");
    return real_->CreateDirectories(path);
  }
  Status CreateTempFile(const std::string& prefix, std::string* path) override {
    calls.push_back("CreateTempFile");
    return real_->CreateTempFile(prefix, path);
  }

  std::vector<std::string> calls;

 private:
  Env* real_ = Env::Default();
};

// Every call of the Env interface once, with what each returned.
std::vector<std::string> Exercise(Env* env, const TempDir& dir) {
  std::vector<std::string> results;
  auto note = [&](const char* what, const Status& s) {
    results.push_back(std::string(what) + "=" + std::to_string(s.error));
  };
  std::unique_ptr<File> file;
  note("open", env->Open(dir / "a", Access::kReadWrite, Share::kDenyNone,
                         Disposition::kCreateAlways, &file));
  file.reset();
  note("rename", env->Rename(dir / "a", dir / "b"));
  results.push_back(env->Exists(dir / "b") ? "exists" : "missing");
  results.push_back(env->IsDirectory(dir.path()) ? "directory" : "not directory");
  note("writable", env->Writable(dir / "b"));
  note("remove", env->Remove(dir / "b"));
  note("mkdir", env->CreateDirectories(dir / "sub/deeper"));
  std::string temp;
  note("temp", env->CreateTempFile("TMP", &temp));
  note("remove temporary", env->RemoveTemporary(temp));
  note("remove missing temporary", env->RemoveTemporary(temp));
  return results;
}

// A wrapper that overrides nothing is the target itself: every call reaches the target as the
// same call (a scratch file's removal must not turn into a removal with a directory sync), and
// gives the same result.
TEST(EnvWrapper, PassThroughChangesNothing) {
  TempDir direct_dir, wrapped_dir;
  RecordingEnv direct;
  const std::vector<std::string> direct_results = Exercise(&direct, direct_dir);

  RecordingEnv target;
  EnvWrapper wrapper(&target);
  const std::vector<std::string> wrapped_results = Exercise(&wrapper, wrapped_dir);

  EXPECT_EQ(wrapped_results, direct_results);
  EXPECT_EQ(target.calls, direct.calls);
  EXPECT_EQ(direct.calls.back(), "RemoveTemporary");
  EXPECT_EQ(direct_results.back(),
            "remove missing temporary=" + std::to_string(syserr::kFileNotFound));
}

// The fault-injecting Env keeps its rules for a scratch file's removal too: it reaches the
// target as such, and fails once the machine has stopped.
TEST(EnvWrapper, FaultInjectionRemovesTemporaryFilesAsSuch) {
  TempDir dir;
  RecordingEnv target;
  FaultInjectionEnv env(&target);
  WriteWholeFile(dir / "scratch", "rows");
  ASSERT_TRUE(env.RemoveTemporary(dir / "scratch").ok());
  EXPECT_EQ(target.calls.back(), "RemoveTemporary");
  EXPECT_FALSE(target.Exists(dir / "scratch"));

  WriteWholeFile(dir / "second", "rows");
  std::unique_ptr<File> f;
  ASSERT_TRUE(
      env.Open(dir / "log", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateAlways, &f)
          .ok());
  env.StopAt(1);
  EXPECT_FALSE(f->Write(0, "x", 1).ok());
  EXPECT_EQ(env.RemoveTemporary(dir / "second").error, syserr::kWriteFault);
  EXPECT_TRUE(target.Exists(dir / "second"));
}

}  // namespace
}  // namespace pellucor::platform
