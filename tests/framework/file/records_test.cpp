// Records through the file manager: automatic numbering, duplicate keys, changes by another
// station, held records, saved buffers and file states, positions, and the validation hook.
#include "framework/file/field_values.h"
#include "tests/framework/file/file_test_util.h"

namespace pellucor::framework::testing {
namespace {

namespace key_flag = data::key_flag;
using RecordsTest = FileTest;

// Items: an id numbered over the whole file, a line numbered within each group, a name that must
// be unique (without regard to case, and only when given), a memo and a blob.
std::unique_ptr<data::FileDecl> Items() {
  return data::DeclarationBuilder("Items", "ITM", &data::KestruneDriverInstance())
      .Name("items\\!items")
      .Attributes(data::decl_attr::kCreate)
      .Long("ID")
      .String("GRP", 10)
      .Long("LINE")
      .String("NAME", 20)
      .Key("BYID", "itm:ById", 0, {"ID"})
      .Key("BYGROUP", "itm:ByGroup", 0, {"GRP", "LINE"})
      .Key("BYNAME", "itm:ByName", key_flag::kOpt | key_flag::kNoCase, {"NAME"})
      .Memo("NOTE", 100)
      .Blob("PIC")
      .Build();
}

class ItemsFile : public FileManager {
 public:
  void BindFields() override {
    AddKey(FILE->Key(0), "itm:ById", KeyNumbering::kAutoIncrement);
    AddKey(FILE->Key(1), "itm:ByGroup", KeyNumbering::kAutoIncrement);
    AddKey(FILE->Key(2), "itm:ByName");
  }
  // A name beginning with "!" is refused, as a generated class refuses a field out of range.
  Level ValidateRecord() override {
    return Name().rfind('!', 0) == 0 ? Level::Notified : Level::Proceed;
  }

  void Set(const std::string& group, const std::string& name) {
    std::memset(Buffer(), 0, BufferSize());
    fields::Access(Layout(), Buffer(), 2)->SetText(group);
    fields::Access(Layout(), Buffer(), 4)->SetText(name);
  }
  int32_t Id() { return fields::Access(Layout(), Buffer(), 1)->GetInteger(); }
  int32_t Line() { return fields::Access(Layout(), Buffer(), 3)->GetInteger(); }
  std::string Name() {
    std::string n = fields::Access(Layout(), Buffer(), 4)->GetText();
    while (!n.empty() && n.back() == ' ') n.pop_back();
    return n;
  }
  std::vector<uint8_t> Bytes() { return std::vector<uint8_t>(Buffer(), Buffer() + BufferSize()); }
};

class ItemsTest : public FileTest {
 protected:
  void SetUp() override {
    items_.Init(*decl_, errors_);
    items_.CREATE = true;
    ASSERT_EQ(items_.Open(), Level::Proceed);
  }
  void TearDown() override { items_.Kill(); }

  // Inserts group/name; returns the record's pointer.
  uint32_t Add(const std::string& group, const std::string& name) {
    items_.Set(group, name);
    EXPECT_EQ(items_.Insert(), Level::Proceed) << group << "/" << name;
    return items_.CurrentPointer();
  }
  int32_t ReadById(int32_t id) {
    std::memset(items_.Buffer(), 0, items_.BufferSize());
    fields::Access(items_.Layout(), items_.Buffer(), 1)->SetInteger(id);
    data::OpArgs a;
    a.key = decl_->Key(0);
    return data::Dispatch(*decl_, data::Op::kGETfilekey, a).error;
  }

  std::unique_ptr<data::FileDecl> decl_ = Items();
  ItemsFile items_;
};

TEST_F(ItemsTest, NumbersRunFromOneOverTheFileAndRestartInEveryGroup) {
  const std::vector<std::pair<std::string, std::string>> adds{
      {"A", "apple"}, {"A", "apricot"}, {"B", "banana"}, {"A", "avocado"}, {"C", ""}, {"B", ""}};
  std::vector<std::pair<int32_t, int32_t>> numbers;
  for (const auto& [group, name] : adds) {
    Add(group, name);
    numbers.emplace_back(items_.Id(), items_.Line());
  }
  EXPECT_EQ(numbers, (std::vector<std::pair<int32_t, int32_t>>{
                         {1, 1}, {2, 2}, {3, 1}, {4, 3}, {5, 1}, {6, 2}}));
  EXPECT_EQ(Records(*decl_), 6);
  EXPECT_TRUE(boxes_.empty());
  // Stored as numbered.
  ASSERT_EQ(ReadById(4), 0);
  EXPECT_EQ(items_.Name(), "avocado");
  EXPECT_EQ(items_.Line(), 3);
}

TEST_F(ItemsTest, APrimedNumberIsCompletedInPlaceOrReleased) {
  Add("A", "first");
  items_.Set("A", "");
  ASSERT_EQ(items_.ReserveAutoNumber(), Level::Proceed);
  EXPECT_TRUE(items_.Info().AUTOINCDONE);
  EXPECT_EQ(items_.Id(), 2);
  EXPECT_EQ(Records(*decl_), 2);  // the number is taken at once
  // Another read of the same file in between (a lookup), with the buffer put back after it:
  // completing still writes the numbered record, not the one read last.
  const uint16_t form = items_.SnapshotBuffer();
  ASSERT_EQ(ReadById(1), 0);
  items_.RestoreSnapshot(form);
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("second");
  ASSERT_EQ(items_.Insert(), Level::Proceed);
  EXPECT_FALSE(items_.Info().AUTOINCDONE);
  EXPECT_EQ(Records(*decl_), 2);
  ASSERT_EQ(ReadById(1), 0);
  EXPECT_EQ(items_.Name(), "first");
  ASSERT_EQ(ReadById(2), 0);
  EXPECT_EQ(items_.Name(), "second");

  // Abandoned: the primed record goes again and the buffer stays as the form had it.
  items_.Set("B", "third");
  ASSERT_EQ(items_.TryReserveAutoNumber(), Level::Proceed);
  EXPECT_EQ(Records(*decl_), 3);
  const std::vector<uint8_t> in_hand = items_.Bytes();
  ASSERT_EQ(items_.ReleaseAutoNumber(nullptr), Level::Proceed);
  EXPECT_EQ(Records(*decl_), 2);
  EXPECT_FALSE(items_.Info().AUTOINCDONE);
  EXPECT_EQ(items_.Bytes(), in_hand);
  EXPECT_EQ(items_.ReleaseAutoNumber(nullptr), Level::Proceed);  // nothing more to release
  EXPECT_EQ(Records(*decl_), 2);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ItemsTest, APrimedRecordDeletedMeanwhileIsNumberedAndAddedAfresh) {
  Add("A", "first");
  items_.Set("A", "");
  ASSERT_EQ(items_.ReserveAutoNumber(), Level::Proceed);
  const uint16_t form = items_.SnapshotBuffer();
  ASSERT_EQ(ReadById(2), 0);
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kDELETE).error, 0);  // as another station might
  items_.RestoreSnapshot(form);
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("second");
  ASSERT_EQ(items_.Insert(), Level::Proceed);
  EXPECT_FALSE(items_.Info().AUTOINCDONE);
  EXPECT_EQ(Records(*decl_), 2);
  ASSERT_EQ(ReadById(2), 0);
  EXPECT_EQ(items_.Name(), "second");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ItemsTest, NumberingThatKeepsFailingAsksAndGivesUpOnNo) {
  Add("A", "first");
  items_.Kill();
  // Open for reading only: every add fails.
  items_.Init(*decl_, errors_);
  items_.OPENMODE = 0x40;
  ASSERT_EQ(items_.Open(), Level::Proceed);
  items_.Set("A", "second");
  const std::vector<uint8_t> before = items_.Bytes();
  answers_ = {runtime::button::kYes, runtime::button::kNo};
  EXPECT_EQ(items_.ReserveAutoNumber(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 2u);  // three attempts, Yes, three more, No
  EXPECT_EQ(boxes_[0].title, "Auto Increment Error");
  EXPECT_EQ(boxes_[0].text,
            "Attempts to automatically number this record have failed.  Error: Access Denied "
            "(5). Try Again?");
  EXPECT_EQ(items_.Bytes(), before);
  EXPECT_FALSE(items_.Info().AUTOINCDONE);
  // The Try form gives up after three attempts without a word.
  boxes_.clear();
  EXPECT_EQ(items_.TryInsert(), Level::Notified);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(items_.Info().LASTERROR, msg::kAutoIncrementError);
  EXPECT_EQ(items_.Bytes(), before);
  EXPECT_EQ(Records(*decl_), 1);
}

TEST_F(ItemsTest, ADuplicateNamesTheKeysDescriptionAndAddsNothing) {
  Add("A", "Same");
  // The record just added is the current one: the duplicate is still found and named.
  items_.Set("B", "same");
  const std::vector<uint8_t> before = items_.Bytes();
  EXPECT_EQ(items_.Insert(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Duplicate Key Error");
  EXPECT_EQ(boxes_[0].text, "Adding this record creates a duplicate entry for the key: itm:ByName");
  EXPECT_EQ(items_.Bytes(), before);
  EXPECT_EQ(Records(*decl_), 1);
  EXPECT_FALSE(items_.Info().AUTOINCDONE);
  // Try records it; ReportLast shows it later.
  EXPECT_EQ(items_.TryInsert(), Level::Notified);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(items_.Info().LASTERROR, msg::kDuplicateKey);
  EXPECT_EQ(items_.ReportLast(), Level::Notified);
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].title, "Duplicate Key Error");
}

// A table without numbering: the add itself meets the duplicate.
TEST_F(RecordsTest, ADuplicateOfTheCurrentRecordIsNamedToo) {
  auto decl = data::DeclarationBuilder("Codes", "COD", &data::KestruneDriverInstance())
                  .Name("codes")
                  .Attributes(data::decl_attr::kCreate)
                  .String("CODE", 4)
                  .String("TEXT", 10)
                  .Key("BYTEXT", "cod:ByText", key_flag::kDup, {"TEXT"})
                  .Key("BYCODE", "cod:ByCode", 0, {"CODE"})
                  .Build();
  FileManager codes;
  codes.Init(*decl, errors_);
  codes.AddKey(decl->Key(0), "cod:ByText");
  codes.AddKey(decl->Key(1), "cod:ByCode");
  codes.CREATE = true;
  ASSERT_EQ(codes.Open(), Level::Proceed);
  std::memcpy(codes.Buffer(), "A1  one       ", 14);
  ASSERT_EQ(codes.Insert(), Level::Proceed);
  std::memcpy(codes.Buffer(), "A1  two       ", 14);
  EXPECT_EQ(codes.Insert(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Adding this record creates a duplicate entry for the key: cod:ByCode");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(codes.Buffer()), 14), "A1  two       ");
  EXPECT_EQ(Records(*decl), 1);
  codes.Kill();
}

TEST_F(ItemsTest, TheValidationHookRefusesWrites) {
  items_.Set("A", "!bad");
  EXPECT_EQ(items_.Insert(), Level::Notified);
  EXPECT_EQ(Records(*decl_), 0);
  Add("A", "good");
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("!worse");
  EXPECT_EQ(items_.Update(UpdateMode::kHandle), Level::AskUser);
  ASSERT_EQ(ReadById(1), 0);
  EXPECT_EQ(items_.Name(), "good");
  EXPECT_TRUE(boxes_.empty());  // the hook tells the user itself
}

TEST_F(ItemsTest, SnapshotsCoverMemosAndBlobs) {
  items_.Set("A", "one");
  decl_->MemoBuffer(0).assign(100, 'm');
  decl_->MemoBuffer(1) = {1, 2, 3};
  const uint16_t first = items_.SnapshotBuffer();
  const uint16_t second = items_.SnapshotBuffer();
  EXPECT_EQ(second, first + 1);
  EXPECT_TRUE(items_.SnapshotUnchanged(first));
  decl_->MemoBuffer(1).push_back(4);  // only the blob differs
  EXPECT_FALSE(items_.SnapshotUnchanged(first));
  decl_->MemoBuffer(0)[5] = 'x';
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("changed");
  items_.RestoreSnapshot(second);
  EXPECT_TRUE(items_.SnapshotUnchanged(first));
  EXPECT_EQ(items_.Name(), "one");
  EXPECT_EQ(decl_->MemoBuffer(1), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(items_.SnapshotUnchanged(second));  // restored copies are gone
  items_.RestoreSnapshot(second);                  // and restoring one again changes nothing
  EXPECT_EQ(items_.Name(), "one");
  items_.DropSnapshot(first);
  EXPECT_TRUE(items_.BUFFERS.empty());
}

TEST_F(ItemsTest, AFileStateAndAPositionBringTheRecordBack) {
  Add("A", "one");
  Add("A", "two");
  Add("B", "three");
  items_.PRIMARYKEY = 1;
  ASSERT_EQ(ReadById(2), 0);
  const std::string position = items_.GetPosition();
  EXPECT_EQ(position.size(), kPositionSize);
  const uint16_t state = items_.SaveFileState();
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("two, edited");
  // A lookup elsewhere in the file...
  ASSERT_EQ(ReadById(3), 0);
  EXPECT_EQ(items_.Name(), "three");
  // ...and the state comes back: the record is current again, the buffer as saved.
  items_.RestoreFileState(state);
  EXPECT_EQ(items_.Name(), "two");
  fields::Access(items_.Layout(), items_.Buffer(), 4)->SetText("two, edited");
  ASSERT_EQ(items_.Update(UpdateMode::kHandle), Level::Proceed);
  ASSERT_EQ(ReadById(3), 0);
  ASSERT_EQ(items_.ResetPosition(position), Level::Proceed);
  EXPECT_EQ(items_.Name(), "two, edited");
  EXPECT_EQ(items_.ResetPosition(std::string(kPositionSize, ' ')), Level::Notified);
  ASSERT_EQ(items_.Delete(), Level::Proceed);
  EXPECT_EQ(items_.ResetPosition(position), Level::Notified);
  EXPECT_EQ(items_.Info().LASTERROR, msg::kRecordRetrievalError);
  EXPECT_TRUE(boxes_.empty());
  // Deleting with no current record says so, and leaves the buffer alone.
  const std::vector<uint8_t> before = items_.Bytes();
  EXPECT_EQ(items_.Delete(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Record was not deleted");
  EXPECT_EQ(boxes_[0].text,
            "An error (Record Not Available (33)) was experienced when deleting a record from the "
            "items\\!items file.");
  EXPECT_EQ(items_.Bytes(), before);
}

TEST_F(ItemsTest, ReadingRunsToTheEndAndSetsAtEof) {
  Add("A", "one");
  Add("A", "two");
  data::OpArgs a;
  a.key = decl_->Key(0);
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETkey, a).error, 0);
  std::vector<std::string> names;
  while (items_.Next() == Level::Proceed) names.push_back(items_.Name());
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(items_.Info().ATEOF);
  EXPECT_EQ(items_.Previous(), Level::Notified);  // the sequence ended with the end
  EXPECT_TRUE(boxes_.empty());
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETkey, a).error, 0);
  EXPECT_EQ(items_.Previous(), Level::Proceed);
  EXPECT_FALSE(items_.Info().ATEOF);
  EXPECT_EQ(items_.Name(), "two");
}

// --- With another station ---

class NotesTest : public FileTest {
 protected:
  void SetUp() override {
    notes_.Init(*decl_, errors_);
    notes_.CREATE = true;
    notes_.OPENMODE = 0x42;  // read and write, shared with the other station
    ASSERT_EQ(notes_.Open(), Level::Proceed);
    for (const char* topic : {"one", "two", "three"}) {
      SetTopic(notes_, topic);
      ASSERT_EQ(notes_.Insert(), Level::Proceed);
      pointers_.push_back(notes_.CurrentPointer());
    }
  }
  void TearDown() override { notes_.Kill(); }
  std::string Arg(int i, const std::string& topic = {}) {
    return std::to_string(pointers_[static_cast<size_t>(i)]) + (topic.empty() ? "" : ":" + topic);
  }
  std::string StoredTopic(int i) {
    std::vector<uint8_t> record;
    EXPECT_EQ(notes_.ReadStored(pointers_[static_cast<size_t>(i)], &record), 0);
    std::string t(reinterpret_cast<const char*>(record.data()), nr::kTopicSize);
    return t.substr(0, t.find_last_not_of(' ') + 1);
  }

  std::unique_ptr<data::FileDecl> decl_ = Notes();
  NotesFile notes_;
  std::vector<uint32_t> pointers_;
};

TEST_F(NotesTest, AnUpdateAfterAnotherStationsChangeShowsItsVersion) {
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETfile).error, 0);
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kWATCH).error, 0);
  ASSERT_EQ(notes_.Next(), Level::Proceed);
  ASSERT_EQ(Topic(notes_), "one");
  {
    SecondStation other("change", Arg(0, "theirs"));
    ASSERT_EQ(other.Read(), "changed");
    EXPECT_TRUE(other.ExitedCleanly());
  }
  SetTopic(notes_, "mine");
  EXPECT_EQ(notes_.Update(UpdateMode::kHandle), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Record Was Not Updated");
  EXPECT_EQ(boxes_[0].text, "This record was changed by another station.");
  EXPECT_EQ(Topic(notes_), "theirs");
  EXPECT_EQ(StoredTopic(0), "theirs");

  // Still watched: a second change is caught as well, and a form hears it with message 7.
  {
    SecondStation other("change", Arg(0, "theirs again"));
    ASSERT_EQ(other.Read(), "changed");
  }
  SetTopic(notes_, "mine");
  RelationManager rm;
  rm.Init(notes_);
  EXPECT_EQ(rm.Update(UpdateMode::kForm), Level::Notified);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].title, "Record Was Not Updated");
  EXPECT_EQ(boxes_[1].text,
            "This record was changed by another station. Those changes will now be displayed. "
            "Use the Ditto Button or Ctrl+' to recall your changes.");
  EXPECT_EQ(Topic(notes_), "theirs again");
  // The Try form records it without a word.
  {
    SecondStation other("change", Arg(0, "third version"));
    ASSERT_EQ(other.Read(), "changed");
  }
  SetTopic(notes_, "mine");
  EXPECT_EQ(notes_.TryUpdate(), Level::Notified);
  EXPECT_EQ(notes_.Info().LASTERROR, msg::kChangedByAnotherStation);
  EXPECT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(Topic(notes_), "third version");
  // With nobody in between, the user's own change goes through.
  SetTopic(notes_, "mine at last");
  EXPECT_EQ(rm.Update(UpdateMode::kForm), Level::Proceed);
  EXPECT_EQ(StoredTopic(0), "mine at last");
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(NotesTest, HeldRecordsAreSteppedOverOrReported) {
  SecondStation other("hold", Arg(1));
  ASSERT_EQ(other.Read(), "held");
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETfile).error, 0);
  notes_.SKIPHELDRECORDS = true;
  std::vector<std::string> read;
  for (;;) {
    notes_.HoldNext(1);
    if (notes_.Next() != Level::Proceed) break;
    read.push_back(Topic(notes_));
    // Held here: the other station's hold of "two" is the only one in the way.
    const data::FileBlock* block = decl_->Block();
    EXPECT_TRUE(block != nullptr && (block->state & data::state_bit::kHeld) != 0);
  }
  EXPECT_EQ(read, (std::vector<std::string>{"one", "three"}));
  EXPECT_TRUE(notes_.Info().ATEOF);
  EXPECT_TRUE(boxes_.empty());

  notes_.SKIPHELDRECORDS = false;
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETfile).error, 0);
  notes_.HoldNext(1);
  ASSERT_EQ(notes_.Next(), Level::Proceed);
  notes_.HoldNext(1);
  EXPECT_EQ(notes_.TryNext(), Level::Notified);
  EXPECT_EQ(notes_.Info().LASTERROR, msg::kRecordNotRead);
  EXPECT_TRUE(boxes_.empty());
  ASSERT_EQ(data::Dispatch(*decl_, data::Op::kSETfile).error, 0);
  notes_.HoldNext(1);
  ASSERT_EQ(notes_.Next(), Level::Proceed);
  notes_.HoldNext(1);
  EXPECT_EQ(notes_.Next(), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Record not read");
  EXPECT_EQ(boxes_[0].text,
            "A record held by another station was encountered reading from the plk\\!notes "
            "file.");
  other.Send("quit");
  EXPECT_TRUE(other.ExitedCleanly());
}

}  // namespace
}  // namespace pellucor::framework::testing
