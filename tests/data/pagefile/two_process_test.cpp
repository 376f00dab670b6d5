// Two programs on one file: a reader keeps its open while a second process (this test binary,
// run again in a child role) changes the file and commits; the reader's next header check sees
// the change, and a log the child leaves behind is read through and then applied.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

constexpr char kChildPath[] = "PELLUCOR_PAGEFILE_CHILD_FILE";
constexpr char kChildMode[] = "PELLUCOR_PAGEFILE_CHILD_MODE";

// Runs this binary again as the writer; returns its exit status.
int RunChild(const std::string& path, const std::string& mode) {
  const char* self = std::getenv("PELLUCOR_TEST_BINARY");
  const std::string binary = self ? self : "/proc/self/exe";
  const pid_t pid = fork();
  if (pid == 0) {
    setenv(kChildPath, path.c_str(), 1);
    setenv(kChildMode, mode.c_str(), 1);
    execl(binary.c_str(), binary.c_str(), "--gtest_filter=TwoProcesses.ChildWriter", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child's role: puts entries "c0".."c99", removes "p5" and commits ("commit"), or removes
// "p6" and stops between the two halves of a transaction's commit, leaving its log ("log").
TEST(TwoProcesses, ChildWriter) {
  const char* path = std::getenv(kChildPath);
  if (!path) GTEST_SKIP() << "only run as the child of another test";
  auto file = PageFile::Open(path, {});
  ASSERT_TRUE(file);
  for (int i = 0; i < 100; ++i) file->Put(S(B("c" + std::to_string(i))), S(B("child")));
  const bool log = std::string(std::getenv(kChildMode)) == "log";
  ASSERT_TRUE(file->Erase(S(B(log ? "p6" : "p5"))));
  if (log) {
    ASSERT_TRUE(file->PrepareCommit());
    _exit(0);  // the program ends here, as if it had stopped
  }
  ASSERT_TRUE(file->Commit());
}

TEST(TwoProcesses, ReaderSeesTheOtherProgramsCommitAndItsLog) {
  ScratchDir dir;
  const std::string path = dir.File("two.ksr");
  Model m;
  {
    auto file = OpenFile(path);
    for (int i = 0; i < 50; ++i) {
      file->Put(S(B("p" + std::to_string(i))), S(B("parent")));
      m[B("p" + std::to_string(i))] = B("parent");
    }
    ASSERT_TRUE(file->Commit());
  }
  OpenOptions ro;
  ro.mode = OpenMode::kReadOnly;
  auto reader = PageFile::Open(path, ro);
  ASSERT_TRUE(reader);
  ASSERT_EQ(Scan(reader.get()), m);

  ASSERT_EQ(RunChild(path, "commit"), 0);
  for (int i = 0; i < 100; ++i) m[B("c" + std::to_string(i))] = B("child");
  m.erase(B("p5"));
  EXPECT_NE(Scan(reader.get()), m) << "without a header check the reader keeps its cache";
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  EXPECT_EQ(Scan(reader.get()), m);

  // The child stops after its log and header reached the disk: the reader reads through it.
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  ASSERT_EQ(RunChild(path, "log"), 0);
  m.erase(B("p6"));
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  EXPECT_TRUE(reader->LogPending());
  EXPECT_EQ(Scan(reader.get()), m);
  auto writer = PageFile::Open(path, {});
  ASSERT_TRUE(writer);
  EXPECT_FALSE(writer->LogPending());
  EXPECT_EQ(Scan(writer.get()), m);
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  EXPECT_FALSE(reader->LogPending());
  EXPECT_EQ(Scan(reader.get()), m);
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
