// Where the data directory is, and that it is made on first use.
#include "app/data_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/app/cli_runner.h"

namespace pellucor::app {
namespace {

class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : name_(name) {
    if (const char* v = getenv(name)) value_ = v;
  }
  ~SavedEnv() {
    if (value_) {
      setenv(name_, value_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> value_;
};

TEST(DataDir, OverrideThenVariableThenXdgThenHome) {
  SavedEnv a(std::string(kDataDirVariable).c_str()), b("XDG_DATA_HOME"), c("HOME");
  setenv("HOME", "/home/someone", 1);
  unsetenv("PELLUCOR_DATA_DIR");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(ResolveDataDir(std::nullopt), "/home/someone/.local/share/pellucor");
  setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(ResolveDataDir(std::nullopt), "/home/someone/.local/share/pellucor");
  setenv("XDG_DATA_HOME", "/xdg/data", 1);
  EXPECT_EQ(ResolveDataDir(std::nullopt), "/xdg/data/pellucor");
  setenv("PELLUCOR_DATA_DIR", "/env/dir/", 1);
  EXPECT_EQ(ResolveDataDir(std::nullopt), "/env/dir/");
  EXPECT_EQ(ResolveDataDir(std::string_view("/given")), "/given");
  EXPECT_EQ(ResolveDataDir(std::string_view("")), "/env/dir/");
}

TEST(DataDir, MadeOnFirstUsePrivateAndRefusedWhenAFile) {
  clitest::Scratch s;
  const std::string deep = s.Path("a/b/pellucor");
  const DataDirResult made = EnsureDataDir(std::string_view(deep));
  ASSERT_TRUE(made.ok()) << made.error;
  struct stat st {};
  ASSERT_EQ(stat(deep.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(EnsureDataDir(std::string_view(deep)).ok());  // already there

  clitest::WriteWhole(s.Path("plain"), "x");
  const DataDirResult refused = EnsureDataDir(std::string_view(s.Path("plain")));
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.error.find("not a directory"), std::string::npos);

  // The command line's --data-dir wins over the environment, before or after the command.
  const std::string other = s.Path("other");
  const clitest::Outcome o =
      clitest::RunCli(s.DataDir(), {"--data-dir", other, "add", "--topic", "here"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(std::filesystem::exists(other + "/plk.KSR"));
  EXPECT_FALSE(std::filesystem::exists(s.DataDir() + "/plk.KSR"));
  EXPECT_EQ(clitest::Lines(clitest::RunCli(s.DataDir(), {"list", "--tsv", "--data-dir", other}).out)
                .size(),
            2u);
  EXPECT_EQ(clitest::RunCli(s.DataDir(), {"--data-dir", s.Path("plain"), "list"}).status, 3);
}

}  // namespace
}  // namespace pellucor::app
