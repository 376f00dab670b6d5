// Every tab's membership and order on a mixed set of notes, through the real pellucor-cli.
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/values/calendar.h"
#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

std::string Day(int offset) {
  runtime::BrokenDate d;
  EXPECT_EQ(runtime::SplitDate(runtime::TODAY() + offset, &d), 0);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

class Tabs : public ::testing::Test {
 protected:
  void Add(const std::string& topic, int note_day, std::optional<int> remind, bool done) {
    std::vector<std::string> args = {"add", "--topic", topic, "--date", Day(note_day)};
    if (remind) {
      args.push_back("--remind");
      args.push_back(Day(*remind));
    }
    if (done) args.push_back("--done");
    const Outcome o = RunCli(dir_, args);
    ASSERT_EQ(o.status, 0) << o.err;
  }
  // The topics a tab lists, in its order.
  std::vector<std::string> Topics(const std::string& tab) {
    const Outcome o = RunCli(dir_, {"list", "--tab", tab, "--tsv"});
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<std::string> lines = Lines(o.out);
    EXPECT_FALSE(lines.empty());
    std::vector<std::string> topics;
    for (size_t i = 1; i < lines.size(); ++i) topics.push_back(Fields(lines[i]).at(3));
    return topics;
  }
  Scratch scratch_;
  std::string dir_ = scratch_.DataDir();
};

TEST_F(Tabs, MembershipAndOrderOfEveryTab) {
  Add("alpha", -20, std::nullopt, false);
  Add("Beta", -19, std::nullopt, false);
  Add("beta", -30, std::nullopt, false);  // equal to "Beta" where letters compare without case
  Add("same", -18, std::nullopt, false);
  Add("same", -18, std::nullopt, false);  // equal keys everywhere: both kept
  Add("past", -2, -10, false);
  Add("today", -5, 0, false);
  Add("plus3", -1, 3, false);
  Add("plus4", -3, 4, false);  // not yet current: on no tab but Everything
  Add("donepast", -4, -1, true);
  Add("donenone", -40, std::nullopt, true);
  Add("donenone2", -7, std::nullopt, true);

  EXPECT_EQ(Topics("notes"), (std::vector<std::string>{"alpha", "Beta", "beta", "same", "same"}));
  // By note date.
  EXPECT_EQ(Topics("reminders"), (std::vector<std::string>{"today", "past", "plus3"}));
  // By done flag and reminder date, then the newest note first.
  EXPECT_EQ(Topics("done"), (std::vector<std::string>{"donenone2", "donenone", "donepast"}));
  EXPECT_EQ(Topics("all"),
            (std::vector<std::string>{"alpha", "Beta", "beta", "donenone", "donenone2", "same",
                                      "same", "past", "donepast", "today", "plus3", "plus4"}));
  EXPECT_EQ(Topics("all"), Topics("all"));  // the default tab is the same listing
  const Outcome plain = RunCli(dir_, {"list", "--tsv"});
  EXPECT_EQ(plain.out, RunCli(dir_, {"list", "--tab", "all", "--tsv"}).out);

  // The aligned listing marks what the main window marks with its reminder icon.
  const Outcome aligned = RunCli(dir_, {"list"});
  ASSERT_EQ(aligned.status, 0);
  for (const std::string& line : Lines(aligned.out)) {
    const bool icon = line.find('*') != std::string::npos;
    if (line.find("plus4") != std::string::npos || line.find("alpha") != std::string::npos) {
      EXPECT_FALSE(icon) << line;
    }
    if (line.find("plus3") != std::string::npos || line.find("donepast") != std::string::npos) {
      EXPECT_TRUE(icon) << line;
    }
  }

  // --where narrows a tab; ids and every field come back as stored.
  EXPECT_EQ(
      RunCli(dir_, {"list", "--tab", "notes", "--tsv", "--where", "UPPER(sno:topic)='BETA'"}).out,
      RunCli(dir_,
             {"list", "--tab", "all", "--tsv", "--where", "sno:topic='Beta' or sno:topic='beta'"})
          .out);
  const std::vector<std::string> lines =
      Lines(RunCli(dir_, {"list", "--tab", "reminders", "--tsv"}).out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "id\treminder_date\tnote_date\ttopic\tdone\tarchive\tmemo");
  EXPECT_EQ(Fields(lines[1]), (std::vector<std::string>{Fields(lines[1])[0], Day(0), Day(-5),
                                                        "today", "N", "N", ""}));
  const Outcome shown = RunCli(dir_, {"show", Fields(lines[1])[0]});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("topic:         today"), std::string::npos) << shown.out;
}

TEST_F(Tabs, DueTellsByItsExitStatus) {
  EXPECT_EQ(RunCli(dir_, {"due"}).status, 1);  // no data file yet
  Add("later", 0, 4, false);
  Add("finished", 0, -3, true);
  const Outcome none = RunCli(dir_, {"due"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  Add("soon", 0, 3, false);
  const Outcome due = RunCli(dir_, {"due", "--tsv"});
  EXPECT_EQ(due.status, 0);
  ASSERT_EQ(Lines(due.out).size(), 2u);
  const std::string id = Fields(Lines(due.out)[1])[0];
  EXPECT_EQ(Fields(Lines(due.out)[1])[3], "soon");
  // Done, it is no longer due; undone, it is again; without a reminder it is a plain note.
  ASSERT_EQ(RunCli(dir_, {"edit", id, "--done"}).status, 0);
  EXPECT_EQ(RunCli(dir_, {"due"}).status, 1);
  ASSERT_EQ(RunCli(dir_, {"edit", id, "--undone"}).status, 0);
  EXPECT_EQ(RunCli(dir_, {"due"}).status, 0);
  ASSERT_EQ(RunCli(dir_, {"edit", id, "--no-remind"}).status, 0);
  EXPECT_EQ(RunCli(dir_, {"due"}).status, 1);
  EXPECT_EQ(Topics("notes"), (std::vector<std::string>{"soon"}));
}

TEST_F(Tabs, ArchiveMovesTheNoteAndDeleteRemovesIt) {
  Add("keep", 0, std::nullopt, false);
  Add("old", -1, -1, false);
  const std::vector<std::string> lines =
      Lines(RunCli(dir_, {"list", "--tab", "reminders", "--tsv"}).out);
  ASSERT_EQ(lines.size(), 2u);
  const std::string id = Fields(lines[1])[0];
  const Outcome moved = RunCli(dir_, {"archive", id});
  ASSERT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(Topics("all"), (std::vector<std::string>{"keep"}));
  const std::vector<std::string> archived =
      Lines(RunCli(dir_, {"list", "--tab", "archive", "--tsv"}).out);
  ASSERT_EQ(archived.size(), 2u);
  EXPECT_EQ(Fields(archived[1])[3], "old");
  EXPECT_EQ(Fields(archived[1])[5], "Y");  // carries the archive flag
  EXPECT_EQ(Fields(archived[1])[0], Lines(moved.out).at(0));
  EXPECT_EQ(RunCli(dir_, {"show", id}).status, 2);  // gone from the notes
  EXPECT_EQ(RunCli(dir_, {"show", "--archive", Fields(archived[1])[0]}).status, 0);
  EXPECT_EQ(RunCli(dir_, {"check"}).status, 0);

  ASSERT_EQ(RunCli(dir_, {"delete", "--archive", Fields(archived[1])[0]}).status, 0);
  EXPECT_EQ(Lines(RunCli(dir_, {"list", "--tab", "archive", "--tsv"}).out).size(), 1u);
  EXPECT_EQ(RunCli(dir_, {"check"}).status, 0);
}

}  // namespace
}  // namespace pellucor::app::clitest
