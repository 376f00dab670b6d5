// The note tables through the driver entry: created on first open, written, read back by pointer,
// by key and in key order, changed, deleted and counted; kept apart in one data file.
#include <vector>

#include "data/kestrune/entry_kinds.h"

#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {
namespace {

namespace err = runtime::err;

constexpr size_t kSnot = 0, kAllNotes = 1, kDonyet = 2;

class NoteTables : public ::testing::Test {
 protected:
  ScratchCwd dir;
  std::unique_ptr<FileDecl> notes = MakeNotesTable(&KestruneDriverInstance());
  std::unique_ptr<FileDecl> arc = MakeArchiveTable(&KestruneDriverInstance());

  void TearDown() override {
    if (notes->Block()) (void)Call(*notes, Op::kCLOSE);
    if (arc->Block()) (void)Call(*arc, Op::kCLOSE);
    EXPECT_EQ(OpenPhysicalFileCount(), 0u);
  }

  uint32_t AddNote(const Note& n) {
    FillNote(*notes, n);
    EXPECT_EQ(Call(*notes, Op::kADD), 0) << runtime::ErrorText();
    return Pointer(*notes);
  }
  std::vector<std::string> ScanKey(size_t key, Op dir_op = Op::kNEXT) {
    std::vector<std::string> topics;
    EXPECT_EQ(KeyOp(*notes, Op::kSETkey, key), 0);
    while (Call(*notes, dir_op) == 0) topics.push_back(Topic(*notes));
    EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
    return topics;
  }
};

TEST_F(NoteTables, MissingFileIsCreatedAndRecordsComeBackAfterReopening) {
  EXPECT_EQ(Open(*notes), err::kFileNotFound);
  ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText();
  EXPECT_TRUE(std::filesystem::exists("plk.KSR"));
  EXPECT_EQ(Records(*notes), 0);
  const uint32_t a = AddNote({"Buy milk", 'N', 3, 4, 2026, 0, 0, 0, "two litres", 'N'});
  const uint32_t b = AddNote({"Call Anna", 'N', 1, 4, 2026, 5, 4, 2026, "", 'N'});
  EXPECT_NE(a, b);
  EXPECT_EQ(Records(*notes), 2);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(OpenPhysicalFileCount(), 0u);

  ASSERT_EQ(Open(*notes), 0);
  EXPECT_EQ(Records(*notes), 2);
  ASSERT_EQ(GetPtr(*notes, a), 0);
  EXPECT_EQ(Topic(*notes), "Buy milk");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(notes->RecordBuffer()) + nr::kMainMemoOffset, 10),
            "two litres");
  // By key: the note date of the second note finds it.
  FillNote(*notes, {"", ' ', 1, 4, 2026});
  ASSERT_EQ(KeyOp(*notes, Op::kGETfilekey, kAllNotes), 0);
  EXPECT_EQ(Topic(*notes), "Call Anna");
  FillNote(*notes, {"", ' ', 9, 9, 2020});
  EXPECT_EQ(KeyOp(*notes, Op::kGETfilekey, kAllNotes), err::kRecordNotFound);
  EXPECT_EQ(GetPtr(*notes, 9999), err::kRecordNotFound);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("plk.KSR"), "");
}

TEST_F(NoteTables, KeyOrderSequencesBothWaysAndFromAValue) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  AddNote({"march", 'N', 1, 3, 2026});
  AddNote({"january", 'N', 1, 1, 2026});
  AddNote({"december", 'N', 31, 12, 2025});
  AddNote({"february", 'N', 1, 2, 2026});
  EXPECT_EQ(ScanKey(kAllNotes),
            (std::vector<std::string>{"december", "january", "february", "march"}));
  EXPECT_EQ(ScanKey(kAllNotes, Op::kPREVIOUS),
            (std::vector<std::string>{"march", "february", "january", "december"}));
  // NEXT after the end of a sequence needs a new SET.
  EXPECT_EQ(Call(*notes, Op::kNEXT), err::kRecordNotAvailable);

  FillNote(*notes, {"", ' ', 15, 1, 2026});
  ASSERT_EQ(KeyOp(*notes, Op::kSETkeykey, kAllNotes), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "february");
  FillNote(*notes, {"", ' ', 15, 1, 2026});
  ASSERT_EQ(KeyOp(*notes, Op::kSETkeykey, kAllNotes), 0);
  ASSERT_EQ(Call(*notes, Op::kPREVIOUS), 0);
  EXPECT_EQ(Topic(*notes), "january");

  // Physical order is the order of adding.
  ASSERT_EQ(Call(*notes, Op::kSETfile), 0);
  std::vector<std::string> physical;
  while (Call(*notes, Op::kNEXT) == 0) physical.push_back(Topic(*notes));
  EXPECT_EQ(physical, (std::vector<std::string>{"march", "january", "december", "february"}));
  // SKIP moves without reading; the read after it is the next one.
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kAllNotes), 0);
  OpArgs skip;
  skip.count = 2;
  ASSERT_EQ(Dispatch(*notes, Op::kSKIP, skip).error, 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "february");
  EXPECT_EQ(Dispatch(*notes, Op::kEOF).value, 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Dispatch(*notes, Op::kEOF).value, 1);
}

TEST_F(NoteTables, OptKeysLeaveOutEmptyRecordsAndNocaseFoldsLetters) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  AddNote({"dated", 'N', 2, 2, 2026, 0, 0, 0, "", 'N'});
  AddNote({"", ' ', 0, 0, 0, 0, 0, 0, "", ' '});  // empty in every key
  AddNote({"done lower", 'n', 0, 0, 0, 4, 4, 2026, "", 'y'});
  AddNote({"done upper", 'N', 0, 0, 0, 3, 4, 2026, "", 'Y'});
  EXPECT_EQ(Records(*notes), 4);
  EXPECT_EQ(KeyRecords(*notes, kAllNotes), 1);
  EXPECT_EQ(KeyRecords(*notes, kSnot), 3);
  EXPECT_EQ(KeyRecords(*notes, kDonyet), 3);
  EXPECT_EQ(ScanKey(kAllNotes), std::vector<std::string>{"dated"});
  // "y" and "Y" sort together, ordered by the reminder date after them.
  EXPECT_EQ(ScanKey(kDonyet), (std::vector<std::string>{"dated", "done upper", "done lower"}));
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("plk.KSR"), "");
}

TEST_F(NoteTables, PutMovesKeyEntriesAndDeleteRemovesEverything) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  const uint32_t a = AddNote({"first", 'N', 1, 1, 2026});
  AddNote({"second", 'N', 2, 1, 2026});
  EXPECT_EQ(Call(*notes, Op::kPUT), 0);  // unchanged record
  ASSERT_EQ(GetPtr(*notes, a), 0);
  FillNote(*notes, {"first, later", 'N', 5, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kPUT), 0) << runtime::ErrorText();
  EXPECT_EQ(ScanKey(kAllNotes), (std::vector<std::string>{"second", "first, later"}));
  // A date taken away leaves the OPT key.
  ASSERT_EQ(GetPtr(*notes, a), 0);
  FillNote(*notes, {"first, undated", 'N'});
  ASSERT_EQ(Call(*notes, Op::kPUT), 0);
  EXPECT_EQ(KeyRecords(*notes, kAllNotes), 1);

  ASSERT_EQ(GetPtr(*notes, a), 0);
  ASSERT_EQ(Call(*notes, Op::kDELETE), 0);
  EXPECT_EQ(Call(*notes, Op::kDELETE), err::kRecordNotAvailable);
  EXPECT_EQ(Call(*notes, Op::kPUT), err::kRecordNotAvailable);
  EXPECT_EQ(GetPtr(*notes, a), err::kRecordNotFound);
  EXPECT_EQ(Records(*notes), 1);
  EXPECT_EQ(KeyRecords(*notes, kSnot), 1);
  EXPECT_EQ(ScanKey(kSnot), std::vector<std::string>{"second"});
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("plk.KSR"), "");
}

TEST_F(NoteTables, PositionsReadTheSameRecordAgain) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  AddNote({"a", 'N', 1, 1, 2026});
  AddNote({"b", 'N', 1, 1, 2026});  // same date: DUP keeps both
  AddNote({"c", 'N', 3, 1, 2026});
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kAllNotes), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "b");
  OpArgs pos;
  pos.key = notes->Key(kAllNotes);
  const std::string key_position = Dispatch(*notes, Op::kPOSITIONkey, pos).text;
  const std::string file_position = Dispatch(*notes, Op::kPOSITIONfile).text;
  ASSERT_FALSE(key_position.empty());

  OpArgs reget;
  reget.key = notes->Key(kAllNotes);
  reget.position = key_position + std::string(512 - key_position.size(), ' ');  // a padded field
  FillNote(*notes, {"junk"});
  ASSERT_EQ(Dispatch(*notes, Op::kREGETkey, reget).error, 0);
  EXPECT_EQ(Topic(*notes), "b");
  ASSERT_EQ(Dispatch(*notes, Op::kRESETkey, reget).error, 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "b");
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "c");

  OpArgs fpos;
  fpos.position = file_position;
  ASSERT_EQ(Dispatch(*notes, Op::kREGETfile, fpos).error, 0);
  EXPECT_EQ(Topic(*notes), "b");
  fpos.position = std::string(512, ' ');
  EXPECT_EQ(Dispatch(*notes, Op::kREGETfile, fpos).error, err::kRecordNotFound);
}

TEST_F(NoteTables, BothTablesShareOneFileAndCreatingOneKeepsTheOther) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  AddNote({"kept", 'N', 1, 1, 2026});
  // The archive table is missing from the file: creating it must not touch the notes.
  ASSERT_EQ(OpenOrCreate(*arc), 0) << runtime::ErrorText();
  EXPECT_EQ(Records(*arc), 0);
  FillNote(*arc, {"archived", 'Y', 2, 2, 2025});
  ASSERT_EQ(Call(*arc, Op::kADD), 0);
  EXPECT_EQ(Records(*notes), 1);
  EXPECT_EQ(Records(*arc), 1);
  OpArgs pnm;
  pnm.text = "PNM=";
  EXPECT_EQ(Dispatch(*notes, Op::kSEND, pnm).text, "ARCNOTES");
  pnm.text = "PNM=B";
  EXPECT_EQ(Dispatch(*notes, Op::kSEND, pnm).text, "NOTES");
  EXPECT_EQ(Dispatch(*arc, Op::kNAME).text, "plk\\!ARCNOTES");
  ASSERT_EQ(Call(*arc, Op::kCLOSE), 0);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*notes), 0);
  EXPECT_EQ(Records(*notes), 1);
  ASSERT_EQ(Open(*arc), 0);
  EXPECT_EQ(Records(*arc), 1);
}

TEST(KestruneOpen, DeclarationThatDiffersFromTheStoredTableFails47) {
  ScratchCwd dir;
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  auto other = DeclarationBuilder("Other", "sno", &KestruneDriverInstance())
                   .Name("plk\\!notes")
                   .Attributes(decl_attr::kCreate)
                   .String("TOPIC", 60)
                   .String("REST", 5060)
                   .Build();
  EXPECT_EQ(Open(*other), err::kInvalidRecordDeclaration);
  EXPECT_EQ(other->Block(), nullptr);  // a failed open leaves no block
  // Not a Kestrune file: 36.
  {
    std::FILE* f = std::fopen("text.KSR", "w");
    std::fputs(std::string(600, 'x').c_str(), f);
    std::fclose(f);
  }
  auto text = DeclarationBuilder("T", "T", &KestruneDriverInstance())
                  .Name("text\\!notes")
                  .String("A", 10)
                  .Build();
  EXPECT_EQ(Open(*text), err::kInvalidDataFile);
  EXPECT_EQ(OpenPhysicalFileCount(), 0u);
}

TEST(KestruneAdd, DuplicateUniqueKeyFails40AndChangesNothing) {
  ScratchCwd dir;
  auto t = DeclarationBuilder("People", "PEO", &KestruneDriverInstance())
               .Name("people")
               .Attributes(decl_attr::kCreate)
               .Long("ID")
               .String("NAME", 20)
               .Key("BYNAME", "peo:byname", key_flag::kDup, {"NAME"})
               .Key("BYID", "peo:byid", 0, {"ID"})
               .Build();
  ASSERT_EQ(OpenOrCreate(*t), 0);
  auto fill = [&](int32_t id, const char* name) {
    std::memset(t->RecordBuffer(), ' ', t->record_length);
    std::memcpy(t->RecordBuffer(), &id, 4);
    std::memcpy(t->RecordBuffer() + 4, name, std::strlen(name));
  };
  fill(7, "Ann");
  ASSERT_EQ(Call(*t, Op::kADD), 0);
  fill(8, "Bob");
  ASSERT_EQ(Call(*t, Op::kADD), 0);
  const uint64_t commits = CommitsOf("people.KSR");
  fill(7, "Carl");
  EXPECT_EQ(Call(*t, Op::kADD), err::kDuplicateKey);
  EXPECT_EQ(Records(*t), 2);
  EXPECT_EQ(KeyRecords(*t, 0), 2);              // the DUP key's entry for Carl was not left behind
  EXPECT_EQ(CommitsOf("people.KSR"), commits);  // nothing was written
  fill(7, "x");
  EXPECT_EQ(Dispatch(*t, Op::kDUPLICATE).value, 1);
  // PUT that would duplicate: 40, and the stored record stays.
  fill(8, "");
  ASSERT_EQ(KeyOp(*t, Op::kGETfilekey, 1), 0);
  int32_t seven = 7;
  std::memcpy(t->RecordBuffer(), &seven, 4);
  EXPECT_EQ(Call(*t, Op::kPUT), err::kDuplicateKey);
  fill(8, "");
  ASSERT_EQ(KeyOp(*t, Op::kGETfilekey, 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(t->RecordBuffer()) + 4, 3), "Bob");
  ASSERT_EQ(Call(*t, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("people.KSR"), "");
}

// A key entry whose record is gone (a file damaged by hand here) is passed over by key scans,
// holds and all.
TEST_F(NoteTables, KeyScansSkipEntriesWhoseRecordIsGone) {
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  AddNote({"one", 'N', 1, 1, 2026});
  const uint32_t gone = AddNote({"two", 'N', 2, 1, 2026});
  AddNote({"three", 'N', 3, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  {
    pagefile::OpenOptions o;
    auto pf = pagefile::PageFile::Open("plk.KSR", o);
    ASSERT_TRUE(pf);
    kestrune::Bytes key, data;
    kestrune::NameDirectoryKey("NOTES", &key);
    ASSERT_TRUE(pf->Get(key, &data));
    kestrune::DataKey(*kestrune::ParseNumberData(data), gone, &key);
    ASSERT_TRUE(pf->Erase(key));
    ASSERT_TRUE(pf->Commit());
  }
  ASSERT_EQ(Open(*notes), 0);
  ASSERT_EQ(Call(*notes, Op::kHOLDfile), 0);
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kAllNotes), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "one");
  ASSERT_EQ(Call(*notes, Op::kHOLDfile), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "three");
  EXPECT_TRUE(notes->Block()->state & state_bit::kHeld);
  EXPECT_EQ(Call(*notes, Op::kNEXT), err::kRecordNotAvailable);
  EXPECT_EQ(ScanKey(kAllNotes, Op::kPREVIOUS), (std::vector<std::string>{"three", "one"}));
}

}  // namespace
}  // namespace pellucor::data::kdtest
