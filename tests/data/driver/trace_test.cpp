// The trace file a driver's "Profile" switch turns on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "data/driver/driver.h"
#include "tests/data/driver/test_driver.h"
#include "tests/support/note_fixture.h"

namespace pellucor::data {
namespace {

using testing::TestDriver;

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = ::testing::TempDir() + "trace_" + std::to_string(::getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ::mkdir(dir.c_str(), 0755);
    trace = dir + "/TEST.LOG";
    ::unlink(trace.c_str());
    profile = dir + "/system.ini";
    ::setenv("PELLUCOR_SYSTEM_PROFILE", profile.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("PELLUCOR_SYSTEM_PROFILE"); }
  void Profile(const std::string& section_body) {
    std::ofstream(profile) << "[QNTESTDRV]\n" << section_body;
  }
  std::string Trace() {
    std::ifstream in(trace, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Opens, reads one record and runs off the end.
  void ReadThrough(FileDecl& decl) {
    OpArgs args;
    args.mode = 0x22;
    ASSERT_EQ(Dispatch(decl, Op::kOPEN, args).error, 0);
    ASSERT_EQ(Dispatch(decl, Op::kSETfile).error, 0);
    ASSERT_EQ(Dispatch(decl, Op::kNEXT).error, 0);
    ASSERT_EQ(Dispatch(decl, Op::kNEXT).error, 33);
  }
  std::unique_ptr<FileDecl> Small(uint8_t attributes, std::string driver_string = "") {
    DeclarationBuilder b("Small", "sm", &driver);
    b.Name("small.txt").Attributes(attributes).String("TEXT", 20);
    if (!driver_string.empty()) b.DriverString(driver_string);
    if (attributes & decl_attr::kEncrypt) b.Owner("secret");
    driver.records.assign(1, "Hello, trace!\x01\x02 end ");
    return b.Build();
  }

  std::string dir, trace, profile;
  TestDriver driver;
};

TEST_F(TraceTest, EntriesErrorsAndTimes) {
  Profile("Profile=1\nTraceFile=" + trace + "\n");
  auto decl = Small(0);
  ReadThrough(*decl);
  ASSERT_EQ(Dispatch(*decl, Op::kBYTES).error, 90);
  const std::string t = Trace();
  EXPECT_NE(t.find("small.txt:OPEN                    mode 22 => 0 Time Taken: 0.00 secs\r\n"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("small.txt:SETfile                 "), std::string::npos);
  EXPECT_NE(t.find("small.txt:NEXT                    Error: Record Not Available Time Taken: "),
            std::string::npos);
  EXPECT_NE(t.find("small.txt:BYTES                   File Error: checksum mismatch in block 3 "
                   "Time Taken: "),
            std::string::npos);
  EXPECT_EQ(t.find("48 65 6C 6C"), std::string::npos);  // no record dumps without Details
  // Operations a view makes untraced stay out of the file's trace.
  OpArgs quiet;
  quiet.trace = TraceRoute::kUntraced;
  ASSERT_EQ(Dispatch(*decl, Op::kSETfile, quiet).error, 0);
  EXPECT_EQ(Trace(), t);
}

TEST_F(TraceTest, DetailsDumpRecords) {
  Profile("profile=1\ntracefile=" + trace + "\nDetails=1\n");
  auto decl = Small(0);
  ReadThrough(*decl);
  const std::string t = Trace();
  EXPECT_NE(t.find("48 65 6C 6C 6F 2C 20 74 72 61 63 65 21 01 02 20 Hello, trace!.. \r\n"
                   "65 6E 64 20                                     end \r\n"),
            std::string::npos)
      << t;
}

TEST_F(TraceTest, EncipheredFilesDumpOnlyWithAllowDetails) {
  Profile("Profile=1\nTraceFile=" + trace + "\nDetails=1\n");
  auto hidden = Small(decl_attr::kEncrypt, "/QUICKSCAN=ON/AUTOINC");
  ReadThrough(*hidden);
  EXPECT_EQ(Trace().find("48 65 6C 6C"), std::string::npos);
  EXPECT_NE(Trace().find(",OWNER(******)"), std::string::npos);
  EXPECT_EQ(Trace().find("secret"), std::string::npos);

  ::unlink(trace.c_str());
  auto allowed = Small(decl_attr::kEncrypt, "/QUICKSCAN=ON/allowdetails");
  ReadThrough(*allowed);
  EXPECT_NE(Trace().find("48 65 6C 6C"), std::string::npos);
}

TEST_F(TraceTest, TraceOffWritesNothing) {
  Profile("Profile=0\nTraceFile=" + trace + "\nDetails=1\n");
  auto decl = Small(0);
  ReadThrough(*decl);
  EXPECT_EQ(::access(trace.c_str(), F_OK), -1);
}

TEST_F(TraceTest, NoteTableDeclarationDump) {
  Profile("Profile=1\nTraceFile=" + trace + "\n");
  auto notes = testsupport::MakeNotesTable(&driver);
  ASSERT_EQ(Dispatch(*notes, Op::kNAME).error, 0);
  const std::string want =
      "SNotes FILE,DRIVER('TESTDRV'),NAME('plk\\!notes'),CREATE,THREAD\r\n"
      "SNO:SNOT KEY(+SNO:REMINDER,+SNO:REMINDERDATE,+SNO:TOPIC),DUP,OPT,NOCASE\r\n"
      "SNO:ALLNOTES KEY(+SNO:NOTEDATE),DUP,OPT,NOCASE\r\n"
      "SNO:DONYET KEY(+SNO:DONE,+SNO:REMINDERDATE),DUP,OPT,NOCASE\r\n"
      "RECORD\r\n"
      "SNO:TOPIC STRING(60)\r\n"
      "SNO:REMINDER STRING(1)\r\n"
      "SNO:NOTEDATE DATE\r\n"
      "SNO:REMINDERDATE DATE\r\n"
      "SNO:MAINMEMO STRING(5050)\r\n"
      "SNO:DONE STRING(1)\r\n"
      "END\r\n"
      "END\r\n\r\n";
  EXPECT_EQ(Trace().substr(0, want.size()), want);
}

TEST_F(TraceTest, DeclarationDumpOfOtherForms) {
  Profile("Profile=1\nTraceFile=" + trace + "\n");
  auto d = DeclarationBuilder("Acct", "ac", &driver)
               .Name("acct")
               .DriverString("/CLIP=OFF")
               .Attributes(decl_attr::kReclaim)
               .Decimal("AMOUNT", 9, 2)
               .String("CODE", 6)
               .String("PREFIX", 2)
               .Over("CODE")
               .Field("RATES", runtime::TypeCode::kReal)
               .Dim({3, 2})
               .PictureString("PHONE", "@s13", 13)
               .ExternalName("Phone")
               .Key("BYCODE", "ac:bycode", key_flag::kPrimary, {"-CODE", "AMOUNT"})
               .ExternalKeyName("code_key")
               .Key("DYN", "ac:dyn", key_flag::kIndex, {})
               .Memo("NOTES", 200)
               .Blob("PICTURE", memo_flag::kBinary)
               .Build();
  ASSERT_EQ(Dispatch(*d, Op::kNAME).error, 0);
  EXPECT_EQ(Trace().substr(0, Trace().find("END\r\nEND\r\n\r\n") + 12),
            "Acct FILE,DRIVER('TESTDRV','/CLIP=OFF'),NAME('acct'),RECLAIM\r\n"
            "AC:BYCODE KEY(-AC:CODE,+AC:AMOUNT),PRIMARY,NAME('code_key')\r\n"
            "AC:DYN INDEX()\r\n"
            "AC:NOTES MEMO(200)\r\n"
            "AC:PICTURE BLOB,BINARY\r\n"
            "RECORD\r\n"
            "AC:AMOUNT DECIMAL(9,2)\r\n"
            "AC:CODE STRING(6)\r\n"
            "AC:PREFIX STRING(2), OVER(AC:CODE)\r\n"
            "AC:RATES REAL, DIM(3,2)\r\n"
            "AC:PHONE STRING(@s13),NAME('Phone')\r\n"
            "END\r\n"
            "END\r\n\r\n");
}

}  // namespace
}  // namespace pellucor::data
