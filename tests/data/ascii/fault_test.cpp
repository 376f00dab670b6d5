// Failures of the file system while reading and writing: reported as 300 plus the system error,
// and nothing written before or after them is lost.
#include "tests/data/ascii/ascii_test_support.h"

#include "platform/system_error.h"

namespace pellucor::data::testing {
namespace {

// A file system whose writes or reads fail while the test says so, as a full disk or a bad
// sector would make them.
struct Faults {
  bool writes = false;
  bool reads = false;
};

class FaultyFile : public platform::File {
 public:
  FaultyFile(std::unique_ptr<platform::File> target, const Faults* faults)
      : target_(std::move(target)), faults_(faults) {}
  platform::Status Read(uint64_t offset, void* buf, size_t n, size_t* got) override {
    if (faults_->reads) return {platform::syserr::kReadFault};
    return target_->Read(offset, buf, n, got);
  }
  platform::Status Write(uint64_t offset, const void* buf, size_t n) override {
    if (faults_->writes) return {platform::syserr::kHandleDiskFull};
    return target_->Write(offset, buf, n);
  }
  platform::Status Flush() override { return target_->Flush(); }
  platform::Status Size(uint64_t* size) override { return target_->Size(size); }
  platform::Status Truncate(uint64_t size) override { return target_->Truncate(size); }
  platform::Status Lock(uint64_t offset, uint64_t length, platform::LockWait wait) override {
    return target_->Lock(offset, length, wait);
  }
  platform::Status Unlock(uint64_t offset, uint64_t length) override {
    return target_->Unlock(offset, length);
  }
  const std::string& Path() const override { return target_->Path(); }

 private:
  std::unique_ptr<platform::File> target_;
  const Faults* faults_;
};

class FaultyEnv : public platform::EnvWrapper {
 public:
  explicit FaultyEnv(const Faults* faults)
      : EnvWrapper(platform::Env::Default()), faults_(faults) {}
  platform::Status Open(const std::string& path, platform::Access access, platform::Share share,
                        platform::Disposition disposition,
                        std::unique_ptr<platform::File>* out) override {
    std::unique_ptr<platform::File> file;
    const platform::Status s = target()->Open(path, access, share, disposition, &file);
    if (s.ok()) *out = std::make_unique<FaultyFile>(std::move(file), faults_);
    return s;
  }

 private:
  const Faults* faults_;
};

class AsciiFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    UseNoSystemProfile();
    AsciiDriverInstance().SetSettings({&env_});
  }
  void TearDown() override { AsciiDriverInstance().SetSettings({}); }
  Faults faults_;
  FaultyEnv env_{&faults_};
  platform::testing::TempDir dir_;
  std::string path_ = dir_ / "lines.txt";
};

TEST_F(AsciiFaults, FailedWritesReportTheSystemErrorAndLoseNothingElse) {
  WriteWholeFile(path_, "");
  TextFile f(path_, 10);
  ASSERT_EQ(f.Open(kReadWriteDenyNone), 0);
  ASSERT_EQ(f.Add("one"), 0);
  faults_.writes = true;
  EXPECT_EQ(f.Add("two"), 339);
  EXPECT_EQ(runtime::ErrorText().substr(0, 16), "Handle Disk Full");
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 1);  // the line that was written stays current
  EXPECT_EQ(f.Op(Op::kPUT), 339);
  faults_.writes = false;
  // The failed write neither moved the end of the file nor left the lock behind.
  ASSERT_EQ(f.Add("three"), 0);
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 6);
  ASSERT_EQ(f.Op(Op::kLOCKfile), 0);
  ASSERT_EQ(f.Op(Op::kUNLOCK), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(path_), "one\r\nthree\r\n");
}

TEST_F(AsciiFaults, FailedReadsReportTheSystemError) {
  WriteWholeFile(path_, "one\r\ntwo\r\n");
  TextFile f(path_, 10);
  ASSERT_EQ(f.Open(kReadDenyNone), 0);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  faults_.reads = true;
  EXPECT_EQ(f.Op(Op::kNEXT), 330);
  EXPECT_EQ(runtime::ErrorText().substr(0, 10), "Read Fault");
  faults_.reads = false;
  OpArgs at;
  at.pointer = 6;
  ASSERT_EQ(f.Op(Op::kSETfileptr, at), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(), "two");
}

}  // namespace
}  // namespace pellucor::data::testing
