#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/profile_parser.h"
#include "platform/system_error.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_dir.h"

namespace pellucor::platform {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteWholeFile;

const char kSample[] =
    "; settings of the notes program\r\n"
    "orphan=before any section\r\n"
    "\r\n"
    "[Main]\r\n"
    "XPos=10\r\n"
    "  ypos = 20  \r\n"
    "Maximize=\"Yes\"\r\n"
    "quoted='  padded  '\r\n"
    "half=\"open\r\n"
    "empty=\r\n"
    "xpos=99\r\n"
    "; a comment = not a key\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[ Spaced Section ]\r\n"
    "Key=v\r\n"
    "[main]\r\n"
    "Other=second section of the same name\r\n"
    "[L\xC4NDER]\r\n"
    "\xE9t\xE9=summer\r\n";

struct ReadCase {
  const char* section;
  const char* key;
  const char* expected;  // nullptr: the fallback
};

TEST(Profile, ReadsWithTheSystemsMatchingRules) {
  TempDir dir;
  const std::string file = dir / "KNB4.INI";
  WriteWholeFile(file, kSample);
  const ReadCase cases[] = {
      {"Main", "XPos", "10"},
      {"MAIN", "xpos", "10"},            // case does not matter; the first match wins
      {"main", "YPOS", "20"},            // blanks around key and value are dropped
      {"Main", "Maximize", "Yes"},       // surrounding quotes removed
      {"Main", "quoted", "  padded  "},  // ... single ones too, keeping what is inside
      {"Main", "half", "\"open"},        // an unmatched quote stays
      {"Main", "empty", ""},             // present and empty is not missing
      {"Main", "Other", nullptr},        // only the first section of a name counts
      {"Main", "; a comment", nullptr},
      {"Main", "no equals sign here", nullptr},
      {"Main", "orphan", nullptr},
      {"Spaced Section", "key", "v"},
      {"  spaced section", "KEY", "v"},
      {"l\xE4nder", "\xC9T\xC9", "summer"},  // accented letters fold too
      {"Missing", "XPos", nullptr},
      {"Main", "Missing", nullptr},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "---Unknown---", 1025, file),
              c.expected ? c.expected : "---Unknown---");
  }
  EXPECT_EQ(GetPrivateProfileString("Main", "Nope", "dflt   ", 100, file), "dflt");
  EXPECT_EQ(GetPrivateProfileString("Main", "Nope", "x", 100, dir / "absent.ini"), "x");
  EXPECT_FALSE(ReadWholeFile(file).empty());
}

TEST(Profile, ValuesAreCutToTheCallersLimit) {
  TempDir dir;
  const std::string file = dir / "p.ini";
  const std::string long_value(2000, 'v');
  ASSERT_TRUE(WritePrivateProfileString("S", "K", long_value, file));
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", 1025, file), std::string(1024, 'v'));
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", 5, file), "vvvv");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", 1, file), "");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", 0, file), "");
  EXPECT_EQ(GetPrivateProfileString("S", "missing", "fallback", 4, file), "fal");
}

TEST(Profile, IntegersReadTheLeadingDigits) {
  TempDir dir;
  const std::string file = dir / "system.ini";
  WriteWholeFile(file,
                 "[QNKESTRUNE]\nProfile=1\nDetails= 42 secs\nNeg=-17\nPlus=+5\nWord=on\n"
                 "Empty=\nHuge=99999999999999\nNegHuge=-99999999999999\n");
  const std::pair<const char*, int> cases[] = {
      {"Profile", 1}, {"Details", 42}, {"Neg", -17},         {"Plus", 5},
      {"Word", 0},    {"Empty", 0},    {"Huge", 2147483647}, {"NegHuge", -2147483647 - 1},
      {"Missing", 7},
  };
  for (const auto& [key, expected] : cases)
    EXPECT_EQ(GetPrivateProfileInt("qnkestrune", key, 7, file), expected) << key;
}

TEST(Profile, WritingChangesOnlyTheLineItMust) {
  TempDir dir;
  const std::string file = dir / "KNB4.INI";
  WriteWholeFile(file, kSample);
  ASSERT_TRUE(WritePrivateProfileString("main", "XPOS", "15", file));
  std::string expected = kSample;
  expected.replace(expected.find("XPos=10"), 7, "XPOS=15");
  EXPECT_EQ(ReadWholeFile(file), expected);  // duplicates, comments, blank lines untouched
  EXPECT_EQ(GetPrivateProfileString("Main", "xpos", "", 100, file), "15");

  // A new key joins the end of its section, before the blank line that ends it.
  ASSERT_TRUE(WritePrivateProfileString("Main", "Width", "300", file));
  expected.insert(expected.find("\r\n\r\n[ Spaced") + 2, "Width=300\r\n");
  EXPECT_EQ(ReadWholeFile(file), expected);

  // A new section goes at the end, in the file's line endings.
  ASSERT_TRUE(WritePrivateProfileString("New", "A", "1", file));
  expected += "\r\n[New]\r\nA=1\r\n";
  EXPECT_EQ(ReadWholeFile(file), expected);
}

TEST(Profile, DeletingKeysAndSections) {
  TempDir dir;
  const std::string file = dir / "KNB4.INI";
  WriteWholeFile(file, "[A]\nk=1\nK=2\nj=3\n\n[B]\nx=1\n[a]\nk=4\n");
  ASSERT_TRUE(WritePrivateProfileString("a", "K", std::nullopt, file));
  EXPECT_EQ(ReadWholeFile(file), "[A]\nj=3\n\n[B]\nx=1\n[a]\nk=4\n");
  EXPECT_EQ(GetPrivateProfileString("A", "k", "gone", 10, file), "gone");
  ASSERT_TRUE(WritePrivateProfileString("A", std::nullopt, std::nullopt, file));
  EXPECT_EQ(ReadWholeFile(file), "[B]\nx=1\n");
  // Deleting what is not there changes nothing and creates nothing.
  ASSERT_TRUE(WritePrivateProfileString("B", "nope", std::nullopt, file));
  ASSERT_TRUE(WritePrivateProfileString("C", std::nullopt, std::nullopt, file));
  EXPECT_EQ(ReadWholeFile(file), "[B]\nx=1\n");
  ASSERT_TRUE(WritePrivateProfileString("C", std::nullopt, std::nullopt, dir / "none.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

TEST(Profile, MissingFilesAreCreatedAndLineEndingsKept) {
  TempDir dir;
  const std::string file = dir / "fresh.ini";
  ASSERT_TRUE(WritePrivateProfileString("Main", "Maximize", "No", file));
  ASSERT_TRUE(WritePrivateProfileString("Main", "XPos", "4", file));
  ASSERT_TRUE(WritePrivateProfileString("Other", "Y", "5", file));
  EXPECT_EQ(ReadWholeFile(file), "[Main]\nMaximize=No\nXPos=4\n\n[Other]\nY=5\n");
  // A last line without its ending gets one before anything follows it.
  WriteWholeFile(file, "[S]\r\na=1");
  ASSERT_TRUE(WritePrivateProfileString("S", "b", "2", file));
  EXPECT_EQ(ReadWholeFile(file), "[S]\r\na=1\r\nb=2\r\n");
  // A byte-order mark stays where it is and does not hide the first section.
  WriteWholeFile(file, "\xEF\xBB\xBF[S]\na=1\n");
  EXPECT_EQ(GetPrivateProfileString("s", "A", "", 10, file), "1");
  ASSERT_TRUE(WritePrivateProfileString("S", "a", "2", file));
  EXPECT_EQ(ReadWholeFile(file), "\xEF\xBB\xBF[S]\na=2\n");
  // Nothing is left beside the file, and its permissions stay.
  ASSERT_EQ(chmod(file.c_str(), 0600), 0);
  ASSERT_TRUE(WritePrivateProfileString("S", "a", "3", file));
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  // A missing folder of a private profile is an error, not a silent loss.
  EXPECT_FALSE(WritePrivateProfileString("S", "a", "1", dir / "no/such/dir.ini"));
  EXPECT_EQ(LastSystemError(), syserr::kFileNotFound);
}

TEST(Profile, WritesThatWouldBreakTheFileAreRefused) {
  TempDir dir;
  const std::string file = dir / "p.ini";
  WriteWholeFile(file, "[S]\nk=1\n");
  const std::tuple<const char*, const char*, const char*> bad[] = {
      {"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"S]", "k", "v"},  {"", "k", "v"},
      {"  ", "k", "v"},         {"S", "a=b", "v"},  {"S", "", "v"},    {"S", "[k", "v"},
      {"S", ";k", "v"},         {"a\nb", "k", "v"}, {"S", "k\n", "v"},
  };
  for (const auto& [section, key, value] : bad) {
    EXPECT_FALSE(WritePrivateProfileString(section, key, value, file)) << section << "/" << key;
    EXPECT_EQ(LastSystemError(), syserr::kInvalidParameter);
  }
  EXPECT_EQ(ReadWholeFile(file), "[S]\nk=1\n");
}

TEST(Profile, ListsSectionsAndKeysOnceInFileOrder) {
  TempDir dir;
  const std::string file = dir / "p.ini";
  WriteWholeFile(file, kSample);
  EXPECT_EQ(GetPrivateProfileKeys(std::nullopt, file),
            (std::vector<std::string>{"Main", "Spaced Section", "L\xC4NDER"}));
  EXPECT_EQ(GetPrivateProfileKeys("main", file),
            (std::vector<std::string>{"XPos", "ypos", "Maximize", "quoted", "half", "empty"}));
  EXPECT_TRUE(GetPrivateProfileKeys("absent", file).empty());
  EXPECT_TRUE(GetPrivateProfileKeys(std::nullopt, dir / "absent.ini").empty());
}

TEST(Profile, SystemProfileLocation) {
  TempDir dir;
  const char* saved_override = std::getenv("PELLUCOR_SYSTEM_PROFILE");
  const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string keep_override = saved_override ? saved_override : "";
  const std::string keep_xdg = saved_xdg ? saved_xdg : "";
  unsetenv("PELLUCOR_SYSTEM_PROFILE");
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(SystemProfilePath(), dir / "pellucor/system.ini");
  // The folder is created on the first write.
  ASSERT_TRUE(WriteProfileString("intl", "sShortDate", "dd.MM.yyyy"));
  EXPECT_EQ(ReadWholeFile(dir / "pellucor/system.ini"), "[intl]\nsShortDate=dd.MM.yyyy\n");
  EXPECT_EQ(GetProfileString("INTL", "sshortdate", "", 80), "dd.MM.yyyy");
  EXPECT_EQ(GetPrivateProfileString("intl", "sShortDate", "", 80, ""), "dd.MM.yyyy");
  setenv("PELLUCOR_SYSTEM_PROFILE", (dir / "system.ini").c_str(), 1);
  EXPECT_EQ(SystemProfilePath(), dir / "system.ini");
  WriteWholeFile(dir / "system.ini", "[QNVIEW]\nProfile=1\n");
  EXPECT_EQ(GetProfileInt("qnview", "profile", 0), 1);
  EXPECT_EQ(GetProfileInt("qnview", "Details", 3), 3);
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  unsetenv("PELLUCOR_SYSTEM_PROFILE");
  EXPECT_EQ(SystemProfilePath().find("relative"), std::string::npos);
  if (saved_override) setenv("PELLUCOR_SYSTEM_PROFILE", keep_override.c_str(), 1);
  if (saved_xdg)
    setenv("XDG_CONFIG_HOME", keep_xdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

TEST(Profile, TwoProcessesWritingAtOnceLoseNothing) {
  TempDir dir;
  const std::string file = dir / "KNB4.INI";
  constexpr int kEach = 60;
  testing::ChildProcess child;
  child.Send("profile " + file + " child " + std::to_string(kEach));
  for (int i = 1; i <= kEach; ++i)
    ASSERT_TRUE(WritePrivateProfileString("S", "parent" + std::to_string(i), "v", file));
  ASSERT_EQ(child.Answer(), "0");
  const auto keys = GetPrivateProfileKeys("S", file);
  EXPECT_EQ(keys.size(), 2u * kEach);
  for (int i = 1; i <= kEach; ++i) {
    EXPECT_EQ(GetPrivateProfileString("s", "child" + std::to_string(i), "", 8, file), "v");
    EXPECT_EQ(GetPrivateProfileString("s", "parent" + std::to_string(i), "", 8, file), "v");
  }
}

TEST(Profile, AFileTheUserMayNotWriteIsNotReplaced) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  const std::string file = dir / "ro.ini";
  WriteWholeFile(file, "[S]\nk=1\n");
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  // Root ignores permissions: an unprivileged second process plays the user.
  testing::ChildProcess child(testing::ChildUser::kUnprivileged);
  if (geteuid() == 0) {
    EXPECT_EQ(child.Do("profile " + file + " k 1"), std::to_string(syserr::kAccessDenied));
  } else {
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", file));
    EXPECT_EQ(LastSystemError(), syserr::kAccessDenied);
  }
  EXPECT_EQ(ReadWholeFile(file), "[S]\nk=1\n");
}

TEST(Profile, ASymbolicLinkIsFollowed) {
  TempDir dir;
  WriteWholeFile(dir / "real.ini", "[S]\nk=1\n");
  std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", dir / "link.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadWholeFile(dir / "real.ini"), "[S]\nk=2\n");
}

}  // namespace
}  // namespace pellucor::platform
