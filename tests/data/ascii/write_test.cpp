// Writing lines (ADD, APPEND, PUT and their pointer and length forms), CLIP, and the operations
// on whole files; the export and import of note records with tabs kept as data.
#include "tests/data/ascii/ascii_test_support.h"

namespace pellucor::data::testing {
namespace {

class AsciiWrite : public ::testing::Test {
 protected:
  void SetUp() override { UseNoSystemProfile(); }
  std::string Path(const std::string& name = "lines.txt") { return dir_ / name; }
  platform::testing::TempDir dir_;
};

TEST_F(AsciiWrite, AddWritesClippedLinesAtTheEnd) {
  WriteWholeFile(Path(), "kept\r\n");
  TextFile f(Path(), 10);
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  ASSERT_EQ(f.Add("one  "), 0);
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 7);
  ASSERT_EQ(f.Add(""), 0);  // a record of blanks is an empty line
  ASSERT_EQ(f.Op(Op::kAPPEND), 0);
  EXPECT_EQ(f.Send("CLIP=OFF"), "OFF");
  ASSERT_EQ(f.Add("ab"), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "kept\r\none\r\n\r\n\r\nab        \r\n");
}

TEST_F(AsciiWrite, FirstAppendWritesOverAnEndingCtrlZ) {
  WriteWholeFile(Path(), "old\r\n\x1a");
  {
    TextFile f(Path(), 8);
    ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
    ASSERT_EQ(f.Add("new"), 0);
    ASSERT_EQ(f.Add("newer"), 0);
    EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"old", "new", "newer"}));
  }
  EXPECT_EQ(ReadWholeFile(Path()), "old\r\nnew\r\nnewer\r\n");
  // With CTRLZISEOF off the Ctrl-Z is data and stays.
  WriteWholeFile(Path(), "old\r\n\x1a");
  TextFile f(Path(), 8, "/CTRLZISEOF=OFF");
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  ASSERT_EQ(f.Add("new"), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "old\r\n\x1anew\r\n");
}

TEST_F(AsciiWrite, LengthFormsNeverReachPastTheRecord) {
  WriteWholeFile(Path(), "");
  TextFile f(Path(), 6);
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  f.SetRecord("abcdef");
  OpArgs args;
  args.length = 3;
  ASSERT_EQ(f.Op(Op::kADDfilelen, args), 0);
  ASSERT_EQ(f.Op(Op::kAPPENDlen, args), 0);
  args.length = 100000;  // more than the record holds: the record is all there is
  ASSERT_EQ(f.Op(Op::kADDfilelen, args), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "abc\r\nabc\r\nabcdef\r\n");
}

TEST_F(AsciiWrite, PutRewritesTheCurrentLineAndPutFilePtrAnyLine) {
  WriteWholeFile(Path(), "aaaa\r\nbbbb\r\ncccc\r\n");
  TextFile f(Path(), 4);
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  EXPECT_EQ(f.Op(Op::kPUT), 33);  // nothing current
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  f.SetRecord("BBBB");
  ASSERT_EQ(f.Op(Op::kPUT), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);  // the sequence goes on with the line after it
  EXPECT_EQ(f.Line(), "cccc");
  f.SetRecord("AAAA");
  OpArgs at;
  at.pointer = 1;
  ASSERT_EQ(f.Op(Op::kPUTfileptr, at), 0);
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 1);
  at.pointer = 13;
  at.length = 2;
  f.SetRecord("CCCC");
  ASSERT_EQ(f.Op(Op::kPUTfileptrlen, at), 0);  // a shorter line: the caller keeps the file tidy
  at.pointer = 100;
  EXPECT_EQ(f.Op(Op::kPUTfileptr, at), 33);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "AAAA\r\nBBBB\r\nCC\r\n\r\n");
}

TEST_F(AsciiWrite, ReadOnlyOpenRefusesEveryWrite) {
  WriteWholeFile(Path(), "line\r\n");
  TextFile f(Path(), 8);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  EXPECT_EQ(f.Add("x"), 5);
  OpArgs args;
  args.length = 1;
  EXPECT_EQ(f.Op(Op::kADDfilelen, args), 5);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Op(Op::kPUT), 5);
  args.pointer = 1;
  EXPECT_EQ(f.Op(Op::kPUTfileptr, args), 5);
  EXPECT_EQ(runtime::ErrorText().substr(0, 13), "Access Denied");
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "line\r\n");
}

TEST_F(AsciiWrite, EmptyCreateCopyRenameRemoveAndName) {
  WriteWholeFile(Path(), "one\r\ntwo\r\n");
  {
    TextFile f(Path(), 8);
    EXPECT_EQ(Dispatch(*f.decl, Op::kNAME).text, Path());
    ASSERT_EQ(f.Open(kReadWriteDenyNone), 0);
    EXPECT_EQ(f.Op(Op::kEMPTY), 63);  // others may be reading
    ASSERT_EQ(f.Op(Op::kCLOSE), 0);
    ASSERT_EQ(f.Open(kReadWriteDenyAll), 0);
    ASSERT_EQ(f.Op(Op::kEMPTY), 0);
    EXPECT_EQ(f.Value(Op::kBYTES), 0);
    ASSERT_EQ(f.Add("fresh"), 0);
    ASSERT_EQ(f.Op(Op::kCLOSE), 0);
    EXPECT_EQ(ReadWholeFile(Path()), "fresh\r\n");

    OpArgs to;
    to.text = Path("copy.txt");
    ASSERT_EQ(f.Op(Op::kCOPY, to), 0);
    EXPECT_EQ(ReadWholeFile(Path("copy.txt")), "fresh\r\n");
    to.text = Path();
    EXPECT_NE(f.Op(Op::kCOPY, to), 0);  // onto itself: refused, nothing lost
    EXPECT_EQ(ReadWholeFile(Path()), "fresh\r\n");

    to.text = Path("copy.txt");
    EXPECT_EQ(f.Op(Op::kRENAME, to), 380);  // never over another file
    to.text = Path("renamed.txt");
    ASSERT_EQ(f.Op(Op::kRENAME, to), 0);
    EXPECT_EQ(ReadWholeFile(Path("renamed.txt")), "fresh\r\n");
    EXPECT_EQ(f.Op(Op::kREMOVE), 2);
  }
  TextFile created(Path("new.txt"), 8);
  ASSERT_EQ(created.Op(Op::kCREATE), 0);
  ASSERT_EQ(created.Open(kReadWriteDenyWrite), 0);
  EXPECT_TRUE(created.ReadAll().empty());
  ASSERT_EQ(created.Op(Op::kCLOSE), 0);
  ASSERT_EQ(created.Op(Op::kREMOVE), 0);
  TextFile no_create(Path("other.txt"), 8, "", 0);
  EXPECT_EQ(no_create.Op(Op::kCREATE), 54);
}

// The command-line companion exports notes as lines through this driver with tabs kept as data
// and imports them again: a note record is 5120 bytes read as one STRING, and exported lines
// run to about 5200 characters.
TEST_F(AsciiWrite, NoteLinesWithTabsSurviveExportAndImport) {
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) {
    std::string line = "topic " + std::to_string(i) + "\t2024-06-1" + std::to_string(i % 10) + "\t";
    const size_t memo = static_cast<size_t>(i) * 131 % 5100;
    for (size_t k = 0; k < memo; ++k) line += "memo text\twith tabs "[k % 20];
    if (i == 7) line.resize(5200, 'z');  // the longest line a record of 5200 holds
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
  }
  {
    TextFile out(Path("export.txt"), 5200, "/TAB=-100");
    ASSERT_EQ(out.Op(Op::kCREATE), 0);
    ASSERT_EQ(out.Open(kReadWriteDenyAll), 0);
    for (const std::string& line : lines) ASSERT_EQ(out.Add(line), 0);
  }
  TextFile in(Path("export.txt"), 5200, "/TAB=-100");
  ASSERT_EQ(in.Open(kReadDenyWrite), 0);
  EXPECT_EQ(in.ReadAll(), lines);

  // Read into a 5120-byte note record, the longest line is cut and nothing else changes.
  TextFile note(Path("export.txt"), 5120, "/TAB=-100");
  ASSERT_EQ(note.Open(kReadDenyWrite), 0);
  const std::vector<std::string> read = note.ReadAll();
  ASSERT_EQ(read.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(read[i], lines[i].substr(0, 5120)) << "line " << i;
  }
}

}  // namespace
}  // namespace pellucor::data::testing
