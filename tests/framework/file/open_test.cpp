// Opening through the file manager: the read-only fallback when another program keeps writers
// out, creating a missing file, the stop when it cannot be opened, lazy opening, rebuilding keys,
// usage counts per thread and the registry.
#include <filesystem>

#include "framework/file/file_registry.h"
#include "runtime/event/event.h"
#include "tests/framework/file/file_test_util.h"
#include "tests/platform/tmpfs_mount.h"

namespace pellucor::framework::testing {
namespace {

namespace err = runtime::err;
using OpenTest = FileTest;

// Makes the notes data file with one note, through the driver.
void MakeNotesFile(const std::string& topic = "first") {
  auto decl = Notes();
  data::OpArgs create;
  create.mode = 0x22;
  ASSERT_EQ(data::Dispatch(*decl, data::Op::kCREATE, create).error, 0);
  data::OpArgs open;
  open.mode = 0x22;
  ASSERT_EQ(data::Dispatch(*decl, data::Op::kOPEN, open).error, 0);
  uint8_t* r = decl->RecordBuffer();
  std::memset(r, ' ', nr::kSize);
  std::memset(r + nr::kNoteDateOffset, 0, 8);
  std::memcpy(r, topic.data(), topic.size());
  ASSERT_EQ(data::Dispatch(*decl, data::Op::kADD).error, 0);
  ASSERT_EQ(data::Dispatch(*decl, data::Op::kCLOSE).error, 0);
}

TEST_F(OpenTest, AFileAnotherProgramKeepsWritersFromOpensReadOnlyAfterOneNotice) {
  MakeNotesFile();
  // The other program reads and lets nobody else write.
  SecondStation other("open", std::to_string(0x20));
  ASSERT_EQ(other.Read(), "open");
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  ASSERT_EQ(notes.Open(), Level::Proceed);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Access Denied");
  EXPECT_EQ(boxes_[0].text, "Could not get write access to plk\\!notes so trying read-only.");
  EXPECT_TRUE(notes.Info().USED);
  // It reads...
  ASSERT_EQ(SetKey(*decl, 0), 0);
  ASSERT_EQ(notes.Next(), Level::Proceed);
  EXPECT_EQ(Topic(notes), "first");
  // ...and a write fails with the insert message, the buffer as it was.
  SetTopic(notes, "second");
  EXPECT_EQ(notes.Insert(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].title, "Record Insert Error");
  EXPECT_EQ(boxes_[1].text,
            "An error was experienced during the creation of a record. Error: Access Denied (5).");
  EXPECT_EQ(Topic(notes), "second");
  EXPECT_EQ(notes.Close(), Level::Proceed);
  other.Send("quit");
  EXPECT_TRUE(other.ExitedCleanly());
  // With the other program gone it opens for writing again, without a word.
  ASSERT_EQ(notes.Open(), Level::Proceed);
  SetTopic(notes, "second");
  EXPECT_EQ(notes.Insert(), Level::Proceed);
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(Records(*decl), 2);
  notes.Kill();
}

TEST_F(OpenTest, WhenEvenReadingIsRefusedTheProgramStopsWithFileAccessError) {
  MakeNotesFile();
  SecondStation other("open", std::to_string(0x12));  // read and write, deny all
  ASSERT_EQ(other.Read(), "open");
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  try {
    (void)notes.Open();
    ADD_FAILURE() << "the program went on";
  } catch (const runtime::HaltException& stop) {
    EXPECT_EQ(stop.text, "File Access Error");
  }
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Access Denied", "File Access Error"}));
  EXPECT_EQ(boxes_.back().text,
            "File (plk\\!notes) could not be opened.  Error: Access Denied (5).  Press OK to end "
            "this application");
  // The Try form records the same without a word.
  boxes_.clear();
  EXPECT_EQ(notes.TryOpen(), Level::Notified);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(notes.Info().LASTERROR, msg::kFileAccessError);
  EXPECT_EQ(notes.Info().OPENED, 0);
  other.Send("quit");
  EXPECT_TRUE(other.ExitedCleanly());
}

TEST_F(OpenTest, AMissingFileIsCreatedWithCreateAndStopsTheProgramWithout) {
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  notes.CREATE = true;
  ASSERT_EQ(notes.Open(), Level::Proceed);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(std::filesystem::exists("plk.KSR"));
  EXPECT_EQ(Records(*decl), 0);
  notes.Kill();

  // The archive table is missing from the file now there: without CREATE message 23 ends it.
  auto archive = app::MakeArcnotes(&data::KestruneDriverInstance());
  FileManager arc;
  arc.Init(*archive, errors_);
  try {
    (void)arc.Open();
    ADD_FAILURE() << "the program went on";
  } catch (const runtime::HaltException& stop) {
    EXPECT_EQ(stop.code, kFatalExitCode);
    EXPECT_EQ(stop.text, "File Access Error");
  }
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text,
            "File (plk\\!Arcnotes) could not be opened.  Error: File Not Found (2).  Press OK to "
            "end this application");
  // With CREATE the table joins the file beside the notes, which stay.
  arc.CREATE = true;
  ASSERT_EQ(arc.TryOpen(), Level::Proceed);
  arc.Kill();
}

TEST_F(OpenTest, AFileThatCannotBeCreatedStopsWithFileCreationError) {
  // A folder nobody may write into: a read-only file system for root, who writes anywhere else.
  std::unique_ptr<platform::testing::TmpfsMount> mount;
  if (geteuid() == 0) {
    mount = std::make_unique<platform::testing::TmpfsMount>(dir_.path() + "/ro");
    if (!mount->mounted()) GTEST_SKIP() << mount->reason();
    ASSERT_TRUE(mount->MakeReadOnly());
  } else {
    std::filesystem::create_directory("ro");
    std::filesystem::permissions(
        "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  auto decl = data::DeclarationBuilder("T", "TST", &data::KestruneDriverInstance())
                  .Name("ro/t")
                  .Attributes(data::decl_attr::kCreate)
                  .Long("ID")
                  .Build();
  FileManager file;
  file.Init(*decl, errors_);
  file.CREATE = true;
  EXPECT_EQ(file.TryOpen(), Level::Notified);
  EXPECT_EQ(file.Info().LASTERROR, msg::kFileCreationError);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_THROW((void)file.Open(), runtime::HaltException);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "File Creation Error");
}

TEST_F(OpenTest, LazyOpeningWaitsForTheFirstRecordAndKeepsTheBuffer) {
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  notes.CREATE = true;
  notes.LAZYOPEN = true;
  // A record operation before any Open is a programming error that stops the program.
  EXPECT_THROW((void)notes.Next(), runtime::HaltException);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "File Usage Error");
  EXPECT_EQ(boxes_[0].text,
            "Attempt to use file (plk\\!notes) before it was opened  Press OK to end this "
            "application");

  ASSERT_EQ(notes.Open(), Level::Proceed);
  EXPECT_FALSE(notes.Info().USED);
  EXPECT_FALSE(std::filesystem::exists("plk.KSR"));
  SetTopic(notes, "in hand");
  ASSERT_EQ(notes.Insert(), Level::Proceed);  // opens (creating the file) first
  EXPECT_TRUE(notes.Info().USED);
  EXPECT_EQ(Topic(notes), "in hand");
  EXPECT_EQ(Records(*decl), 1);
  EXPECT_EQ(notes.Close(), Level::Proceed);
  EXPECT_FALSE(notes.Info().USED);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(OpenTest, OpensAreCountedAndAnUnmatchedCloseChangesNothing) {
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  notes.CREATE = true;
  EXPECT_EQ(notes.Close(), Level::Proceed);  // nothing open: the count stays 0
  EXPECT_EQ(notes.Info().OPENED, 0);
  ASSERT_EQ(notes.Open(), Level::Proceed);
  ASSERT_EQ(notes.Open(), Level::Proceed);
  EXPECT_EQ(notes.Info().OPENED, 2);
  EXPECT_EQ(FileManagerOf(*decl), &notes);
  EXPECT_EQ(notes.Close(), Level::Proceed);
  EXPECT_TRUE(notes.Info().USED);  // one user left
  EXPECT_EQ(notes.Close(), Level::Proceed);
  EXPECT_FALSE(notes.Info().USED);
  EXPECT_EQ(data::OpenPhysicalFileCount(), 0u);
  notes.Kill();
  EXPECT_EQ(FileManagerOf(*decl), nullptr);
}

TEST_F(OpenTest, EveryThreadHasItsOwnUsageOfAThreadFile) {
  auto decl = Notes();
  NotesFile notes;
  notes.Init(*decl, errors_);
  notes.CREATE = true;
  ASSERT_EQ(notes.Open(), Level::Proceed);
  int64_t seen_there = -1;
  uint16_t opened_there = 0;
  runtime::START([&] {
    // The other thread's own open, buffer and count.
    if (notes.Open() != Level::Proceed) return;
    SetTopic(notes, "from thread two");
    (void)notes.Insert();
    opened_there = notes.Info().OPENED;
    seen_there = Records(*decl);
    (void)notes.Close();
  });
  runtime::WaitForOtherThreads();
  EXPECT_EQ(opened_there, 1);
  EXPECT_EQ(seen_there, 1);
  ASSERT_EQ(notes.INFO.size(), 2u);
  EXPECT_EQ(notes.Info().OPENED, 1);
  EXPECT_TRUE(notes.Info().USED);
  EXPECT_EQ(Records(*decl), 1);
  notes.Kill();
}

// A driver that reports the keys out of date at the first open, as a file whose keys were
// written by a program that stopped half-way would: the real driver never leaves its own keys so.
class StaleKeysDriver : public data::Driver {
 public:
  std::string_view Name() const override { return real().Name(); }
  std::string_view ProfileSection() const override { return real().ProfileSection(); }
  std::string_view DefaultTraceFile() const override { return real().DefaultTraceFile(); }
  int32_t CreateState(data::FileBlock& block,
                      std::unique_ptr<data::DriverFileState>* state) override {
    return real().CreateState(block, state);
  }
  data::OpResult Handle(data::FileBlock& block, data::Op op, data::OpArgs& args) override {
    if (op == data::Op::kOPEN && stale_opens > 0) {
      --stale_opens;
      block.status |= data::status_bit::kDiscardBlock;
      return data::OpResult::Fail(err::kKeyMustBeRebuilt);
    }
    if (op == data::Op::kBUILDfile) {
      ++builds;
      if (fail_builds) return data::OpResult::Fail(err::kAccessDenied);
    }
    return real().Handle(block, op, args);
  }
  int stale_opens = 0;
  int builds = 0;
  bool fail_builds = false;

 private:
  static data::KestruneDriver& real() { return data::KestruneDriverInstance(); }
};

TEST_F(OpenTest, KeysOutOfDateAreRebuiltAfterTellingTheUser) {
  MakeNotesFile();
  StaleKeysDriver driver;
  auto decl = app::MakeSNotes(&driver);
  NotesFile notes;
  notes.Init(*decl, errors_);
  driver.stale_opens = 1;
  // The Try form only records it, and does not rebuild.
  EXPECT_EQ(notes.TryOpen(), Level::Notified);
  EXPECT_EQ(notes.Info().LASTERROR, msg::kInvalidKey);
  EXPECT_EQ(driver.builds, 0);
  EXPECT_TRUE(boxes_.empty());

  driver.stale_opens = 1;
  ASSERT_EQ(notes.Open(), Level::Proceed);
  EXPECT_EQ(driver.builds, 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Invalid Key");
  EXPECT_EQ(boxes_[0].text, "plk\\!notes key file is invalid. Key must be rebuilt.");
  ASSERT_EQ(SetKey(*decl, 0), 0);
  ASSERT_EQ(notes.Next(), Level::Proceed);
  EXPECT_EQ(Topic(notes), "first");
  ASSERT_EQ(notes.Close(), Level::Proceed);

  // A rebuild that fails stops the program.
  driver.stale_opens = 1;
  driver.fail_builds = true;
  boxes_.clear();
  EXPECT_THROW((void)notes.Open(), runtime::HaltException);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Invalid Key", "Key was not built"}));
}

}  // namespace
}  // namespace pellucor::framework::testing
