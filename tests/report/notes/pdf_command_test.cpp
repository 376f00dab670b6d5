// pellucor-cli pdf, run as the real program: the MultiNote report of a tab or a query written to
// a PDF file without a window, and bad input refused with exit status 2 and nothing written.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/cli_runner.h"
#include "tests/ui/report_test_util.h"

namespace pellucor::app::clitest {
namespace {

using ui::testing::Collapsed;
using ui::testing::FirstMissingInOrder;
using ui::testing::PdfText;

class PdfCommandTest : public ::testing::Test {
 protected:
  Outcome Cli(const std::vector<std::string>& args) { return RunCli(data_, args, scratch_.root()); }
  void AddNote(const std::string& topic, const std::string& memo, bool done = false) {
    const std::string memo_file = scratch_.Path("memo.txt");
    WriteWhole(memo_file, memo);
    std::vector<std::string> args = {"add", "--topic", topic, "--memo-file", memo_file};
    if (done) args.push_back("--done");
    ASSERT_EQ(Cli(args).status, 0);
  }

  ui::testing::ScopedTmpDir tmp_;  // the page files of the runs go here
  Scratch scratch_;
  std::string data_ = scratch_.DataDir();
};

TEST_F(PdfCommandTest, WritesTheNotesOfATabOrAQueryWithTheirPages) {
  std::string long_memo;
  for (int w = 1; w <= 600; ++w) long_memo += "word" + std::to_string(w) + " ";
  ASSERT_LT(long_memo.size(), 5050u);
  AddNote("Zebra crossing", "The last topic in order");
  AddNote("Apple harvest", long_memo);
  AddNote("Meeting notes", "Finished and done", true);
  const std::string pdf = scratch_.Path("all.pdf");
  const Outcome all = Cli({"pdf", pdf});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_TRUE(all.err.empty()) << all.err;
  const std::string text = Collapsed(PdfText(pdf));
  EXPECT_EQ(FirstMissingInOrder(text, {"Pellucor: MultiNote Report", "Apple harvest", "word1",
                                       "word300", "word600", "Meeting notes", "Finished and done",
                                       "Zebra crossing", "The last topic in order"}),
            "");
  EXPECT_EQ(FirstMissingInOrder(text, {"Page 1", "Page 2"}), "");

  const std::string done = scratch_.Path("done.pdf");
  ASSERT_EQ(Cli({"pdf", done, "--tab", "done"}).status, 0);
  const std::string done_text = Collapsed(PdfText(done));
  EXPECT_NE(done_text.find("Meeting notes"), std::string::npos);
  EXPECT_EQ(done_text.find("Apple harvest"), std::string::npos);

  const std::string query = scratch_.Path("query.pdf");
  ASSERT_EQ(Cli({"pdf", query, "--where", "UPPER(sno:topic) = 'ZEBRA CROSSING'"}).status, 0);
  const std::string query_text = Collapsed(PdfText(query));
  EXPECT_NE(query_text.find("Zebra crossing"), std::string::npos);
  EXPECT_EQ(query_text.find("Apple harvest"), std::string::npos);
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(PdfCommandTest, BadInputWritesNothing) {
  AddNote("Only note", "Its memo");
  const std::string target = scratch_.Path("kept.pdf");
  WriteWhole(target, "what was there before");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"pdf"}, 2, "pdf takes one FILE"},
      {{"pdf", target, target}, 2, "pdf takes one FILE"},
      {{"pdf", target, "--where", "sno:nothing = 1"}, 2, "--where does not compile"},
      {{"pdf", target, "--tab", "archive"}, 2, "pdf prints the notes table"},
      {{"pdf", target, "--tab", "someday"}, 2, "unknown tab"},
      {{"pdf", target, "--width", "3"}, 2, "--width"},
      {{"pdf", scratch_.root()}, 2, "is a directory"},
      {{"pdf", target, "--where", "sno:topic = 'nothing like it'"}, 1, "no note to print"},
  };
  for (const Case& c : cases) {
    const Outcome o = Cli(c.args);
    EXPECT_EQ(o.status, c.status) << c.args.back() << ": " << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    EXPECT_EQ(ReadWhole(target), "what was there before");
  }
  // A file that cannot be written: status 3, and nothing half written is left.
  const Outcome o = Cli({"pdf", scratch_.Path("no-such-dir/out.pdf")});
  EXPECT_EQ(o.status, 3);
  EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path("no-such-dir")));
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

}  // namespace
}  // namespace pellucor::app::clitest
