// Bad input gets a message on standard error, exit status 2, and leaves the data file as it was.
#include <gtest/gtest.h>

#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

TEST(BadInput, RefusedWithStatusTwoAndNothingWritten) {
  Scratch s;
  const std::string dir = s.DataDir();
  const Outcome added = RunCli(dir, {"add", "--topic", "the one note", "--memo", "kept"});
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string id = Lines(added.out).at(0);
  const std::string file = dir + "/plk.KSR";
  const std::string before = ReadWhole(file);
  const std::string listing = RunCli(dir, {"list", "--tsv"}).out;
  WriteWhole(s.Path("big.txt"), std::string(5051, 'm'));

  struct Case {
    std::vector<std::string> args;
    std::string says;  // part of the message
  };
  const std::vector<Case> cases = {
      {{"frobnicate"}, "unknown command"},
      {{}, "no command"},
      {{"add", "--topic", "x", "--colour", "red"}, "unknown option --colour"},
      {{"list", "-x"}, "unknown option"},
      {{"add", "--topic"}, "needs a value"},
      {{"add", "--memo", "no topic"}, "--topic"},
      {{"add", "--topic", "x", "--date", "2023-02-29"}, "not a date"},
      {{"add", "--topic", "x", "--remind", "2024-13-01"}, "not a date"},
      {{"add", "--topic", "x", "--date", "24-01-01"}, "not a date"},
      {{"add", "--topic", std::string(61, 't')}, "at most 60"},
      {{"add", "--topic", "x", "--memo", std::string(5051, 'm')}, "at most 5050"},
      {{"add", "--topic", "x", "--memo-file", s.Path("big.txt")}, "at most 5050"},
      {{"add", "--topic", "x", "--memo-file", s.Path("absent.txt")}, "cannot read"},
      {{"add", "--topic", "Snowman \xe2\x98\x83"}, "cannot store"},
      {{"add", "--topic", "two\nlines"}, "one line"},
      {{"add", "--topic", "x", "--memo", "a", "--memo-file", s.Path("big.txt")}, "together"},
      {{"edit", id, "--topic", "\xf0\x9f\x98\x80"}, "cannot store"},
      {{"edit", id, "--remind", "2024-02-30"}, "not a date"},
      {{"edit", id, "--remind", "2024-02-03", "--no-remind"}, "together"},
      {{"edit", id}, "nothing to change"},
      {{"show", "999999"}, "no note has the id 999999"},
      {{"edit", "999999", "--done"}, "no note has the id"},
      {{"delete", "999999"}, "no note has the id"},
      {{"archive", "999999"}, "no note has the id"},
      {{"delete", "0"}, "no note id"},
      {{"delete", "abc"}, "no note id"},
      {{"show"}, "one note id"},
      {{"list", "--tab", "someday"}, "unknown tab"},
      {{"list", "--where", "sno:topic = "}, "does not compile: Invalid expression"},
      {{"list", "--where", "sno:nosuchfield = 1"}, "No BIND on variable"},
      {{"export", s.Path("x.tsv"), "--where", "(("}, "does not compile"},
      {{"eval", "1 +* 2"}, "does not compile"},
      {{"eval", "nosuch:name"}, "No BIND on variable"},
      {{"help", "frobnicate"}, "no command"},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCli(dir, c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a.substr(0, 40) + " ";
    EXPECT_EQ(o.status, 2) << shown << "\n" << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << shown << "\n" << o.err;
    EXPECT_EQ(o.out, "") << shown;
  }
  EXPECT_EQ(ReadWhole(file), before);  // not a byte changed
  EXPECT_EQ(RunCli(dir, {"list", "--tsv"}).out, listing);
  EXPECT_FALSE(std::filesystem::exists(s.Path("x.tsv")));
}

TEST(BadInput, HelpAndEval) {
  Scratch s;
  const std::string dir = s.DataDir();
  const Outcome help = RunCli(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("SYNOPSIS"), std::string::npos);
  for (const char* command : {"add", "list", "due", "show", "edit", "delete", "archive", "export",
                              "import", "check", "eval"}) {
    const Outcome o = RunCli(dir, {"help", command});
    EXPECT_EQ(o.status, 0) << command;
    EXPECT_NE(o.out.find(std::string("pellucor-cli ") + command), std::string::npos) << command;
    EXPECT_EQ(RunCli(dir, {command, "--help"}).out, o.out) << command;
  }
  const Outcome date = RunCli(dir, {"eval", "FORMAT(DATE(10,31,1959),@D4)"});
  EXPECT_EQ(date.status, 0) << date.err;
  EXPECT_EQ(date.out.substr(0, 16), "October 31, 1959");
  // The note fields are bound to an empty note.
  const Outcome empty = RunCli(dir, {"eval", "CLIP(sno:topic) & '|' & sno:notedate"});
  EXPECT_EQ(empty.out, "|0\n") << empty.err;
  const Outcome text = RunCli(dir, {"eval", "'café' & '!'"});
  EXPECT_EQ(text.out, "café!\n");
  EXPECT_FALSE(std::filesystem::exists(dir + "/plk.KSR"));  // eval needs no data file
}

}  // namespace
}  // namespace pellucor::app::clitest
