// Reading lines: terminators, Ctrl-Z, tabs, lines longer than the record, and the pointers and
// positions that address lines again.
#include <random>

#include "tests/data/ascii/ascii_test_support.h"

namespace pellucor::data::testing {
namespace {

class AsciiRead : public ::testing::Test {
 protected:
  void SetUp() override { UseNoSystemProfile(); }
  std::string Path(const std::string& name = "lines.txt") { return dir_ / name; }
  platform::testing::TempDir dir_;
};

TEST_F(AsciiRead, LinesEndedByTheTerminatorAndTheLastLineWithoutOne) {
  WriteWholeFile(Path(), "first\r\nsecond line\r\n\r\nlone\rcr\r\nlast");
  TextFile f(Path(), 20);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  int32_t end = 0;
  EXPECT_EQ(f.ReadAll(&end),
            (std::vector<std::string>{"first", "second line", "", "lone\rcr", "last"}));
  EXPECT_EQ(end, 33);
  EXPECT_EQ(runtime::ErrorCode(), 33);
  EXPECT_EQ(runtime::ErrorText().substr(0, 20), "Record Not Available");
}

TEST_F(AsciiRead, LineFeedTerminatorReadsAndWritesUnixLines) {
  WriteWholeFile(Path(), "one\ntwo\r\nthree\n");
  TextFile f(Path(), 10, "/ENDOFRECORD=1,10");
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  EXPECT_EQ(f.Send("ENDOFRECORD"), "\n");
  EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"one", "two\r", "three"}));
  ASSERT_EQ(f.Add("four"), 0);
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()), "one\ntwo\r\nthree\nfour\n");
}

TEST_F(AsciiRead, RecordIsBlankPaddedAndNeverHoldsTheTerminator) {
  WriteWholeFile(Path(), "ab\r\nxyz\r\n");
  TextFile f(Path(), 6);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  f.SetRecord("######");
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Record(), "ab    ");
  EXPECT_EQ(f.Value(Op::kBYTES), 2);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Record(), "xyz   ");
}

TEST_F(AsciiRead, CtrlZEndsTheFileUnlessSwitchedOff) {
  WriteWholeFile(Path(), "one\r\ntwo\r\n\x1a");
  {
    TextFile f(Path(), 8);
    ASSERT_EQ(f.Open(kReadDenyWrite), 0);
    EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"one", "two"}));
    // The Ctrl-Z is all that follows the last line: the file is at its end.
    EXPECT_EQ(f.Value(Op::kEOF), 1);
  }
  {
    TextFile f(Path(), 8, "/CTRLZISEOF=OFF");
    ASSERT_EQ(f.Open(kReadDenyWrite), 0);
    EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"one", "two", "\x1a"}));
  }
  // Inside a line a Ctrl-Z ends the file as well: what stands before it is the last line.
  WriteWholeFile(Path(), "one\r\ntw\x1ao\r\nthree\r\n");
  TextFile f(Path(), 8);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"one", "tw"}));
}

TEST_F(AsciiRead, TabsExpandByTheTabValue) {
  WriteWholeFile(Path(), "a\tb\r\nabc\tde\tf\r\n");
  const auto read = [&](const std::string& options) {
    TextFile f(Path(), 14, options);
    EXPECT_EQ(f.Open(kReadDenyWrite), 0);
    return f.ReadAll();
  };
  EXPECT_EQ(read(""), (std::vector<std::string>{"a       b", "abc     de"}));
  EXPECT_EQ(read("/TAB=-100"), (std::vector<std::string>{"a\tb", "abc\tde\tf"}));
  EXPECT_EQ(read("/TAB=0"), (std::vector<std::string>{"ab", "abcdef"}));
  EXPECT_EQ(read("/TAB=-3"), (std::vector<std::string>{"a   b", "abc   de   f"}));
  EXPECT_EQ(read("/TAB=4"), (std::vector<std::string>{"a   b", "abc de  f"}));
}

TEST_F(AsciiRead, LongLineIsCutAndTheNextReadTakesTheFollowingLine) {
  const std::string long_line(3000, 'x');
  WriteWholeFile(Path(), "short\r\n" + long_line + "\r\nafter\r\n");
  TextFile f(Path(), 10);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Record(), std::string(10, 'x'));
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 8);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(), "after");
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 7 + 3002 + 1);
  EXPECT_EQ(f.Op(Op::kNEXT), 33);
}

TEST_F(AsciiRead, PointersAndPositionsReadLinesAgain) {
  WriteWholeFile(Path(), "alpha\r\nbeta\r\ngamma\r\n");
  TextFile f(Path(), 8);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  EXPECT_EQ(f.Op(Op::kNEXT), 33);  // no sequence yet
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Value(Op::kPOINTERfile), 8);
  const OpResult position = Dispatch(*f.decl, Op::kPOSITIONfile);
  ASSERT_EQ(position.error, 0);
  EXPECT_EQ(position.text, std::string("\x08\0\0\0", 4));

  OpArgs get;
  get.pointer = 14;  // "gamma"
  get.length = 3;
  f.SetRecord("########");
  ASSERT_EQ(f.Op(Op::kGETfileptrlen, get), 0);
  EXPECT_EQ(f.Record(), "gam#####");  // only the given length is filled
  get.pointer = 100;
  EXPECT_EQ(f.Op(Op::kGETfileptrlen, get), 33);

  OpArgs reget;
  reget.position = position.text;
  ASSERT_EQ(f.Op(Op::kREGETfile, reget), 0);
  EXPECT_EQ(f.Line(), "beta");
  ASSERT_EQ(f.Op(Op::kNEXT), 0);  // the sequence goes on after the line read again
  EXPECT_EQ(f.Line(), "gamma");

  OpArgs reset;
  reset.position = position.text;
  ASSERT_EQ(f.Op(Op::kRESETfile, reset), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(), "beta");
  reset.position = std::string(4, ' ');
  EXPECT_EQ(f.Op(Op::kRESETfile, reset), 35);

  OpArgs from;
  from.pointer = 14;
  ASSERT_EQ(f.Op(Op::kSETfileptr, from), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(), "gamma");
  EXPECT_EQ(f.Value(Op::kEOF), 1);
  from.pointer = 1000;
  ASSERT_EQ(f.Op(Op::kSETfileptr, from), 0);
  EXPECT_EQ(f.Op(Op::kNEXT), 33);
}

TEST_F(AsciiRead, EndOfFileAndBytes) {
  WriteWholeFile(Path(), "abc\r\nde");
  TextFile f(Path(), 8);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  EXPECT_EQ(f.Value(Op::kBYTES), 7);  // nothing read yet: the file's size
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  EXPECT_EQ(f.Value(Op::kEOF), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Value(Op::kEOF), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Value(Op::kBYTES), 2);
  EXPECT_EQ(f.Value(Op::kEOF), 1);
  EXPECT_EQ(f.Value(Op::kCOUNTRECORDS), 0);
}

TEST_F(AsciiRead, EmptyFileHasNoLines) {
  WriteWholeFile(Path(), "");
  TextFile f(Path(), 8);
  ASSERT_EQ(f.Open(kReadDenyWrite), 0);
  int32_t end = 0;
  EXPECT_TRUE(f.ReadAll(&end).empty());
  EXPECT_EQ(end, 33);
  EXPECT_EQ(f.Value(Op::kEOF), 1);
}

TEST_F(AsciiRead, OemFileIsReadAndWrittenInTheOemCodePage) {
  // "Grüße" in code page 437: u-umlaut 0x81, sharp s 0xE1.
  WriteWholeFile(Path(),
                 "Gr\x81\xE1"
                 "e\r\n");
  TextFile f(Path(), 8, "", decl_attr::kCreate | decl_attr::kOem);
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  ASSERT_EQ(f.Op(Op::kSETfile), 0);
  ASSERT_EQ(f.Op(Op::kNEXT), 0);
  EXPECT_EQ(f.Line(),
            "Gr\xFC\xDF"
            "e");                    // Windows-1252
  ASSERT_EQ(f.Add("\xE9t\xE9"), 0);  // "été"
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  EXPECT_EQ(ReadWholeFile(Path()),
            "Gr\x81\xE1"
            "e\r\n\x82t\x82\r\n");
}

TEST_F(AsciiRead, MissingFileAndBadModes) {
  TextFile f(Path("absent.txt"), 8);
  EXPECT_EQ(f.Open(kReadDenyWrite), 2);
  EXPECT_EQ(runtime::ErrorCode(), 2);
  EXPECT_EQ(f.decl->Block(), nullptr);  // a failed open leaves no block behind
  WriteWholeFile(Path(), "x\r\n");
  TextFile g(Path(), 8);
  EXPECT_EQ(g.Open(0x03), 387);  // access 3 does not exist
  TextFile dir(dir_.path(), 8);
  EXPECT_NE(dir.Open(kReadDenyWrite), 0);
}

// A plain reading of the rules, one byte at a time, against which the buffered reader (which
// copies runs, refills its window and finds terminators across window edges) is compared.
struct ModelLine {
  std::string record;
  uint64_t start = 0;
};
std::vector<ModelLine> ModelRead(const std::string& data, const std::string& terminator, int tab,
                                 bool ctrl_z, size_t length) {
  std::vector<ModelLine> lines;
  size_t pos = 0;
  while (pos < data.size()) {
    if (ctrl_z && data[pos] == '\x1a') break;
    std::string out(length, ' ');
    size_t column = 0, i = pos;
    while (i < data.size()) {
      if (data.compare(i, terminator.size(), terminator) == 0) {
        i += terminator.size();
        break;
      }
      const char c = data[i];
      if (ctrl_z && c == '\x1a') break;
      ++i;
      if (c == '\t' && tab != -100) {
        if (tab > 0) column += tab - column % tab;
        if (tab < 0) column += -tab;
        column = std::min(column, length);
        continue;
      }
      if (column < length) out[column++] = c;
    }
    lines.push_back({out, pos});
    pos = i;
    if (i < data.size() && ctrl_z && data[i] == '\x1a') break;
  }
  return lines;
}

TEST_F(AsciiRead, BufferedReadingAgreesWithPlainReadingAcrossBufferEdges) {
  std::mt19937 random(20240611);
  const std::vector<std::pair<std::string, std::string>> terminators = {
      {"2,13,10", "\r\n"}, {"1,10", "\n"}, {"3,13,13,10", "\r\r\n"}};
  const std::string alphabet = "abc \t\r\n\x1a";
  for (int round = 0; round < 60; ++round) {
    const auto& [option, terminator] = terminators[round % terminators.size()];
    std::string data;
    const int lines = 1 + static_cast<int>(random() % 40);
    for (int l = 0; l < lines; ++l) {
      const size_t n = random() % (round % 2 == 0 ? 1400 : 30);
      for (size_t i = 0; i < n; ++i) {
        const size_t pick = random() % 100;
        // Mostly letters; a few of the bytes that matter, Ctrl-Z only now and then.
        if (pick < 80) {
          data += alphabet[random() % 3];
        } else if (pick < 99) {
          data += alphabet[3 + random() % 4];
        } else if (round % 3 == 0) {
          data += '\x1a';
        }
      }
      data += terminator;
    }
    if (round % 4 == 1) data.resize(data.size() - 1);  // the last terminator cut short
    const int tab = std::vector<int>{8, -100, 0, -2, 3}[round % 5];
    const bool ctrl_z = round % 6 != 5;
    const size_t length = std::vector<size_t>{7, 64, 300}[round % 3];
    const std::string path = Path("random" + std::to_string(round));
    WriteWholeFile(path, data);
    TextFile f(path, static_cast<uint32_t>(length),
               "/ENDOFRECORD=" + option + "/TAB=" + std::to_string(tab) +
                   "/FILEBUFFERS=1/CTRLZISEOF=" + (ctrl_z ? "ON" : "OFF"));
    ASSERT_EQ(f.Open(kReadDenyWrite), 0);
    const auto expected = ModelRead(data, terminator, tab, ctrl_z, length);
    ASSERT_EQ(f.Op(Op::kSETfile), 0);
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(f.Op(Op::kNEXT), 0) << "round " << round << " line " << i;
      ASSERT_EQ(f.Record(), expected[i].record) << "round " << round << " line " << i;
      ASSERT_EQ(f.Value(Op::kPOINTERfile), static_cast<int64_t>(expected[i].start) + 1);
    }
    EXPECT_EQ(f.Op(Op::kNEXT), 33) << "round " << round;
  }
}

}  // namespace
}  // namespace pellucor::data::testing
