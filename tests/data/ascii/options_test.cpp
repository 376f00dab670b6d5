// Options through the driver string and SEND, the operations a text file does not have, and
// the trace.
#include <unistd.h>

#include "tests/data/ascii/ascii_test_support.h"

namespace pellucor::data::testing {
namespace {

class AsciiOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    UseNoSystemProfile();
    WriteWholeFile(Path(), "a\tb\r\n");
  }
  std::string Path(const std::string& name = "lines.txt") { return dir_ / name; }
  platform::testing::TempDir dir_;
};

TEST_F(AsciiOptions, EachOptionAnswersItsValueAndSetsItWithAValue) {
  TextFile f(Path(), 300);
  ASSERT_EQ(f.Open(kReadWriteDenyNone), 0);
  EXPECT_EQ(f.Send("REGISTER"), "ASCII");
  EXPECT_EQ(f.Send("CTRLZISEOF"), "ON");
  EXPECT_EQ(f.Send("CLIP"), "ON");
  EXPECT_EQ(f.Send("TAB"), "8");
  EXPECT_EQ(f.Send("ENDOFRECORD"), "\r\n");
  EXPECT_EQ(f.Send("QUICKSCAN"), "OFF");    // others may change a file that denies nothing
  EXPECT_EQ(f.Send("FILEBUFFERS"), "600");  // 512, raised to twice the record

  EXPECT_EQ(f.Send("ctrlzIsEof = off"), "OFF");
  EXPECT_EQ(f.Send("TAB=-100"), "-100");
  EXPECT_EQ(f.Send("ENDOFRECORD=3,1,2,3"), "\x01\x02\x03");
  EXPECT_EQ(f.Send("FILEBUFFERS=4"), "2048");
  EXPECT_EQ(f.Send("FILEBUFFERS=0"), "2048");  // not a count: unchanged
  WriteWholeFile(Path("other.txt"), "");
  TextFile small(Path("other.txt"), 2000);
  ASSERT_EQ(small.Open(kReadDenyWrite), 0);
  EXPECT_EQ(small.Send("FILEBUFFERS=1"), "2000");  // never smaller than the record
  EXPECT_EQ(small.Send("QUICKSCAN"), "ON");
  EXPECT_EQ(small.Send("FILEBUFFERS"), "2000");

  // Values that do not parse leave the option as it was.
  EXPECT_EQ(f.Send("TAB=eight"), "-100");
  EXPECT_EQ(f.Send("CLIP=maybe"), "ON");
  EXPECT_EQ(f.Send("ENDOFRECORD=2,13"), "\x01\x02\x03");
  EXPECT_EQ(f.Send("ENDOFRECORD=1,300"), "\x01\x02\x03");
  EXPECT_EQ(f.Send("ENDOFRECORD=0"), "\x01\x02\x03");
  // Unknown options (the file managers send "Recover=" to every driver) do no harm.
  OpArgs recover;
  recover.text = "Recover=10";
  EXPECT_EQ(Dispatch(*f.decl, Op::kSEND, recover).error, 0);
  EXPECT_EQ(Dispatch(*f.decl, Op::kSEND, recover).text, "");

  OpArgs property;
  property.text = "TAB";
  property.value = "3";
  EXPECT_EQ(Dispatch(*f.decl, Op::kSET_PROPERTY, property).text, "3");
  EXPECT_EQ(Dispatch(*f.decl, Op::kGET_PROPERTY, property).text, "3");
}

TEST_F(AsciiOptions, DriverStringAppliesInOrderAndSendBeforeOpenIsKept) {
  TextFile f(Path(), 20, "/TAB=0/ALLOWDETAILS/TAB=4");
  EXPECT_EQ(f.Send("CLIP=OFF"), "OFF");  // while closed
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  EXPECT_EQ(f.Send("TAB"), "4");
  EXPECT_EQ(f.Send("CLIP"), "OFF");
  EXPECT_EQ(f.ReadAll(), (std::vector<std::string>{"a   b"}));
  ASSERT_EQ(f.Op(Op::kCLOSE), 0);
  // Closing forgets them: the next open starts from the defaults and the driver string.
  ASSERT_EQ(f.Open(kReadWriteDenyWrite), 0);
  EXPECT_EQ(f.Send("CLIP"), "ON");
}

TEST_F(AsciiOptions, OperationsWithoutMeaningForTextFilesAnswer80) {
  DeclarationBuilder b("Keyed", "KEY", &AsciiDriverInstance());
  auto decl = b.Name(Path()).String("LINE", 8).Key("K1", "key:k1", 0, {"LINE"}).Build();
  OpArgs open;
  open.mode = kReadWriteDenyAll;
  ASSERT_EQ(Dispatch(*decl, Op::kOPEN, open).error, 0);
  ASSERT_EQ(Dispatch(*decl, Op::kSETfile).error, 0);
  ASSERT_EQ(Dispatch(*decl, Op::kNEXT).error, 0);
  for (Op op : {Op::kPREVIOUS, Op::kDELETE, Op::kRECORDSfile, Op::kHOLDfile, Op::kWATCH,
                Op::kLOGOUT, Op::kSTREAM, Op::kBUILDfile, Op::kSKIP, Op::kBUFFER}) {
    // A failed sequence operation ends the sequence; each one gets a fresh one and a record.
    ASSERT_EQ(Dispatch(*decl, Op::kSETfile).error, 0);
    ASSERT_EQ(Dispatch(*decl, Op::kNEXT).error, 0);
    EXPECT_EQ(Dispatch(*decl, op).error, 80) << OpName(op);
  }
  OpArgs by_pointer;
  by_pointer.pointer = 1;
  EXPECT_EQ(Dispatch(*decl, Op::kGETfileptr, by_pointer).error, 80);
  OpArgs by_key;
  by_key.key = decl->Key(0);
  EXPECT_EQ(Dispatch(*decl, Op::kSETkey, by_key).error, 80);
  EXPECT_EQ(Dispatch(*decl, Op::kGETfilekey, by_key).error, 80);
  EXPECT_EQ(runtime::ErrorText().substr(0, 32), "Unsupported File Driver Function");
  ASSERT_EQ(Dispatch(*decl, Op::kSETfile).error, 0);
  const OpResult bof = Dispatch(*decl, Op::kBOF);
  EXPECT_EQ(bof.error, 80);
  EXPECT_EQ(bof.value, 1);  // a failing BOF answers true
  // What is there does answer.
  EXPECT_EQ(Dispatch(*decl, Op::kQUERY_VIEW).value, 0);
  EXPECT_EQ(Dispatch(*decl, Op::kQUERY_KEY, by_key).error, 0);
  EXPECT_EQ(Dispatch(*decl, Op::kINVIEW).error, 0);
  EXPECT_EQ(Dispatch(*decl, Op::kENDVIEW).error, 0);
  EXPECT_EQ(Dispatch(*decl, Op::kFLUSH).error, 0);
  EXPECT_EQ(Dispatch(*decl, Op::kInternalEntry).pointer, &AsciiDriverInstance());
  OpArgs clear;
  clear.mode = 0;
  decl->RecordBuffer()[0] = 'x';
  EXPECT_EQ(Dispatch(*decl, Op::kCLEAR, clear).error, 0);
  EXPECT_EQ(decl->RecordBuffer()[0], ' ');
  EXPECT_EQ(Dispatch(*decl, Op::kCLOSE).error, 0);
}

TEST_F(AsciiOptions, TraceWritesTheDeclarationAndEveryOperation) {
  const std::string profile = dir_ / "system.ini";
  const std::string trace = dir_ / "trace.log";
  WriteWholeFile(profile, "[QNASCII]\nProfile=1\nTraceFile=" + trace + "\nDetails=1\n");
  ::setenv("PELLUCOR_SYSTEM_PROFILE", profile.c_str(), 1);
  {
    TextFile f(Path(), 8, "/TAB=-100");
    ASSERT_EQ(f.Open(kReadDenyWrite), 0);
    EXPECT_EQ(f.ReadAll().size(), 1u);
  }
  const std::string log = ReadWholeFile(trace);
  EXPECT_NE(log.find("FILE,DRIVER('ASCII','/TAB=-100')"), std::string::npos) << log;
  EXPECT_NE(log.find("NEXT"), std::string::npos);
  EXPECT_NE(log.find("Error: Record Not Available"), std::string::npos);
  EXPECT_NE(log.find("61 09 62 "), std::string::npos);  // the record dump of "a\tb"
  EXPECT_NE(log.find("Time Taken: "), std::string::npos);

  // Without "TraceFile" the trace goes to ASCII.LOG in the current directory.
  WriteWholeFile(profile, "[QNASCII]\nProfile=1\n");
  char old_dir[4096];
  ASSERT_NE(::getcwd(old_dir, sizeof old_dir), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  {
    TextFile f(Path(), 8);
    EXPECT_EQ(f.Open(kReadDenyWrite), 0);
  }
  ASSERT_EQ(::chdir(old_dir), 0);
  EXPECT_NE(ReadWholeFile(dir_ / "ASCII.LOG").find("OPEN"), std::string::npos);
  UseNoSystemProfile();
}

}  // namespace
}  // namespace pellucor::data::testing
