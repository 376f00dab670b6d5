#include "data/kestrune/names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace pellucor::data::kestrune {
namespace {

namespace fs = std::filesystem;

TEST(NamesTest, SplitsTableAndAddsExtension) {
  const auto no_dirs = [](const std::string&) { return false; };
  KestruneName n = SplitName("plk\\!notes", no_dirs);
  EXPECT_EQ(n.file_part, "plk");
  EXPECT_EQ(n.path, "plk.KSR");
  EXPECT_EQ(n.table, "NOTES");
  EXPECT_EQ(ReportedName(n), "plk\\!NOTES");

  n = SplitName("data/plk.dat\\!Arcnotes", no_dirs);
  EXPECT_EQ(n.path, "data/plk.dat");
  EXPECT_EQ(n.table, "ARCNOTES");

  n = SplitName("plk", no_dirs);
  EXPECT_EQ(n.table, "UNNAMED");
  EXPECT_EQ(n.path, "plk.KSR");
  EXPECT_EQ(ReportedName(n), "plk");

  // A blank-padded name, as a fixed-length field holds it.
  n = SplitName("plk\\!notes      ", no_dirs);
  EXPECT_EQ(n.table, "NOTES");
  EXPECT_EQ(n.path, "plk.KSR");

  // The first separator decides; the rest belongs to the table name.
  n = SplitName("a\\!b\\!c", no_dirs);
  EXPECT_EQ(n.file_part, "a");
  EXPECT_EQ(n.table, "B\\!C");

  EXPECT_TRUE(HasExtension("x.ksr"));
  EXPECT_FALSE(HasExtension("dir.d/x"));
  EXPECT_FALSE(HasExtension(".hidden"));
}

TEST(NamesTest, SeparatorAfterAnExistingDirectoryBelongsToThePath) {
  const fs::path base = fs::temp_directory_path() / ("kestrune_names_" + std::to_string(getpid()));
  // "<base>/odd" exists, so the separator after it is part of the path, which goes on into
  // the directory "<base>/odd\!more" (a name that holds the two characters).
  fs::create_directories(base / "odd");
  fs::create_directories(base / "odd\\!more");
  const std::string name = (base / "odd").string() + "\\!more/plk\\!notes";
  KestruneName n = SplitName(name);
  EXPECT_EQ(n.file_part, (base / "odd").string() + "\\!more/plk");
  EXPECT_EQ(n.table, "NOTES");
  // Without the directory the first separator splits.
  fs::remove_all(base);
  n = SplitName(name);
  EXPECT_EQ(n.file_part, (base / "odd").string());
  EXPECT_EQ(n.table, "MORE/PLK\\!NOTES");
}

}  // namespace
}  // namespace pellucor::data::kestrune
