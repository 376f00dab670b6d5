// Export and import round trips with awkward text, and files that import must refuse whole.
#include <gtest/gtest.h>

#include "tests/app/cli_runner.h"

namespace pellucor::app::clitest {
namespace {

// The listing without its ids (import gives new ones).
std::vector<std::vector<std::string>> NotesOf(const std::string& dir) {
  const Outcome o = RunCli(dir, {"list", "--tsv"});
  EXPECT_EQ(o.status, 0) << o.err;
  std::vector<std::vector<std::string>> notes;
  const std::vector<std::string> lines = Lines(o.out);
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> f = Fields(lines[i]);
    EXPECT_EQ(f.size(), 7u) << lines[i];
    f.erase(f.begin());
    notes.push_back(f);
  }
  return notes;
}

TEST(Transfer, ExportThenImportGivesBackTheSameNotes) {
  Scratch s;
  const std::string from = s.DataDir("from");
  std::string long_memo;
  for (int i = 0; long_memo.size() < 5050; ++i) long_memo += static_cast<char>('a' + i % 26);
  const std::vector<std::vector<std::string>> adds = {
      {"--topic", "Quotes \"double\" and 'single'", "--memo", "say \"hi\"\n'there'"},
      {"--topic", "Tabs and backslashes", "--memo", "a\tb\\c\\\\d\\n not a newline\tend\\"},
      {"--topic", "Accents: café, naïve, Zürich, €", "--memo", "Grüße aus Köln – 100 €"},
      {"--topic", "Empty memo", "--remind", "2030-01-31", "--done"},
      {"--topic", "Long memo", "--memo", long_memo, "--date", "1999-12-31"},
      {"--topic", "Line breaks", "--memo", "one\r\ntwo\n\nthree\rfour \x1a five"},
      {"--topic", "  leading blanks kept", "--memo", "  indented"},
  };
  for (const auto& a : adds) {
    std::vector<std::string> args = {"add"};
    args.insert(args.end(), a.begin(), a.end());
    const Outcome o = RunCli(from, args);
    ASSERT_EQ(o.status, 0) << o.err;
  }
  // Export relative to the working directory the user is in.
  const Outcome exported = RunCli(from, {"export", "notes.tsv"}, s.root());
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::string text = ReadWhole(s.Path("notes.tsv"));
  EXPECT_EQ(Lines(text).size(), adds.size());  // one line a note, no header
  EXPECT_EQ(text.find('\r'), std::string::npos);

  const std::string to = s.DataDir("to");
  const Outcome imported = RunCli(to, {"import", s.Path("notes.tsv")});
  ASSERT_EQ(imported.status, 0) << imported.err;
  const auto original = NotesOf(from);
  ASSERT_EQ(original.size(), adds.size());
  EXPECT_EQ(NotesOf(to), original);
  EXPECT_EQ(RunCli(to, {"check"}).status, 0);

  // The awkward memos survived field for field, not only as escaped text.
  for (const auto& n : original) {
    if (n[2] == "Long memo") {
      EXPECT_EQ(n[5], long_memo);
    }
    if (n[2] == "Tabs and backslashes") {
      EXPECT_EQ(n[5], "a\\tb\\\\c\\\\\\\\d\\\\n not a newline\\tend\\\\");
    }
    if (n[2] == "Empty memo") {
      EXPECT_EQ(n[5], "");
      EXPECT_EQ(n[0], "2030-01-31");
      EXPECT_EQ(n[3], "Y");
    }
  }
  const Outcome show = RunCli(to, {"list", "--where", "sno:topic='Line breaks'", "--tsv"});
  const std::string id = Fields(Lines(show.out).at(1))[0];
  EXPECT_NE(RunCli(to, {"show", id}).out.find("one\r\ntwo\n\nthree\rfour \x1a five"),
            std::string::npos);

  // A listing with its header line imports too; a tab and a condition narrow the export.
  WriteWhole(s.Path("listed.tsv"), RunCli(from, {"list", "--tsv"}).out);
  const std::string again = s.DataDir("again");
  ASSERT_EQ(RunCli(again, {"import", s.Path("listed.tsv")}).status, 0);
  EXPECT_EQ(NotesOf(again), original);
  ASSERT_EQ(RunCli(from, {"export", s.Path("done.tsv"), "--tab", "done"}).status, 0);
  EXPECT_EQ(Lines(ReadWhole(s.Path("done.tsv"))).size(), 1u);
}

TEST(Transfer, ImportRefusesAWrongFileWhole) {
  Scratch s;
  const std::string dir = s.DataDir();
  ASSERT_EQ(RunCli(dir, {"add", "--topic", "before"}).status, 0);
  const std::string good = "\t\t2024-05-01\tfine\tN\tN\tmemo\n";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"\t\t2024-02-30\tbad date\tN\tN\t\n", "note_date"},
      {"\t\t2024-05-01\ttoo few\tN\tN\n", "7"},
      {"\t\t2024-05-01\tbad flag\tX\tN\t\n", "done"},
      {"\t\t2024-05-01\tbad escape\tN\tN\tsee \\q\n", "escape"},
      {"\t\t2024-05-01\t" + std::string(61, 't') + "\tN\tN\t\n", "60"},
      {"\t\t2024-05-01\tmemo\tN\tN\t" + std::string(5051, 'm') + "\n", "5050"},
      {"\t\t2024-05-01\tGreek \xce\xa9\tN\tN\t\n", "Windows-1252"},
  };
  for (const auto& [line, reason] : bad) {
    WriteWhole(s.Path("in.tsv"), good + line + good);
    const Outcome o = RunCli(dir, {"import", s.Path("in.tsv")});
    EXPECT_EQ(o.status, 2) << line;
    EXPECT_NE(o.err.find("line 2"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(reason), std::string::npos) << o.err;
  }
  EXPECT_EQ(RunCli(dir, {"import", s.Path("missing.tsv")}).status, 2);
  EXPECT_EQ(NotesOf(dir).size(), 1u);  // nothing of any refused file was added
}

}  // namespace
}  // namespace pellucor::app::clitest
