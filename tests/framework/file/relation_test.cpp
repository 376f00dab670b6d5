// Referential integrity over three test tables in one data file: parents, their children (linked
// by the parent's id) and the children's notes (linked by the child's sequence number).
#include "framework/file/field_values.h"
#include "tests/framework/file/file_test_util.h"

namespace pellucor::framework::testing {
namespace {

namespace key_flag = data::key_flag;

std::unique_ptr<data::FileDecl> Parents() {
  return data::DeclarationBuilder("Parents", "PAR", &data::KestruneDriverInstance())
      .Name("rel\\!par")
      .Attributes(data::decl_attr::kCreate)
      .Long("ID")
      .String("NAME", 20)
      .Key("BYID", "par:ById", 0, {"ID"})
      .Build();
}

std::unique_ptr<data::FileDecl> Children() {
  return data::DeclarationBuilder("Children", "CHD", &data::KestruneDriverInstance())
      .Name("rel\\!chd")
      .Attributes(data::decl_attr::kCreate)
      .Long("PARENT")
      .Long("SEQ")
      .String("TEXT", 20)
      .Key("BYPARENT", "chd:ByParent", 0, {"PARENT", "SEQ"})
      .Key("BYSEQ", "chd:BySeq", key_flag::kDup, {"SEQ"})
      .Build();
}

std::unique_ptr<data::FileDecl> Remarks() {
  return data::DeclarationBuilder("Remarks", "REM", &data::KestruneDriverInstance())
      .Name("rel\\!rem")
      .Attributes(data::decl_attr::kCreate)
      .Long("CHILDSEQ")
      .String("TEXT", 20)
      .Key("BYCHILD", "rem:ByChild", key_flag::kDup, {"CHILDSEQ"})
      .Build();
}

class Table {
 public:
  explicit Table(std::unique_ptr<data::FileDecl> decl) : decl_(std::move(decl)) {}
  void Init(ErrorManager& errors) {
    fm_.Init(*decl_, errors);
    fm_.AddKey(decl_->Key(0), decl_->Key(0)->description);
    fm_.CREATE = true;
    rm_.Init(fm_);
  }
  void Set(std::vector<std::string> values) {
    std::memset(fm_.Buffer(), 0, fm_.BufferSize());
    for (size_t i = 0; i < values.size(); ++i) {
      fields::Access(fm_.Layout(), fm_.Buffer(), static_cast<int32_t>(i + 1))->SetText(values[i]);
    }
  }
  void Add(std::vector<std::string> values) {
    Set(std::move(values));
    ASSERT_EQ(fm_.Insert(), Level::Proceed);
  }
  std::string Get(int32_t field) {
    std::string v = fields::Access(fm_.Layout(), fm_.Buffer(), field)->GetText();
    return v.substr(0, v.find_last_not_of(' ') + 1);
  }
  void SetField(int32_t field, const std::string& value) {
    fields::Access(fm_.Layout(), fm_.Buffer(), field)->SetText(value);
  }
  // Reads the record whose first key value is `values` (as Set fills it).
  Level Fetch(std::vector<std::string> values) {
    Set(std::move(values));
    return fm_.Fetch(decl_->Key(0));
  }
  // Every record in key order, as "field1/field2".
  std::vector<std::string> All() {
    // The record in hand stays current: a form may write it afterwards.
    const uint16_t saved = fm_.SaveFileState();
    std::vector<std::string> rows;
    data::OpArgs a;
    a.key = decl_->Key(0);
    EXPECT_EQ(data::Dispatch(*decl_, data::Op::kSETkey, a).error, 0);
    while (fm_.Next() == Level::Proceed) rows.push_back(Get(1) + "/" + Get(2));
    fm_.RestoreFileState(saved);
    return rows;
  }
  std::vector<uint8_t> Bytes() { return {fm_.Buffer(), fm_.Buffer() + fm_.BufferSize()}; }

  std::unique_ptr<data::FileDecl> decl_;
  FileManager fm_;
  RelationManager rm_;
};

class RelationTest : public FileTest {
 protected:
  void SetUp() override {
    for (Table* t : {&par_, &chd_, &rem_}) {
      t->Init(errors_);
      ASSERT_EQ(t->rm_.Open(), Level::Proceed);
    }
    par_.Add({"1", "first"});
    par_.Add({"2", "second"});
    chd_.Add({"1", "11", "a"});
    chd_.Add({"1", "12", "b"});
    chd_.Add({"2", "21", "c"});
    rem_.Add({"12", "on b"});
    rem_.Add({"21", "on c"});
  }
  void TearDown() override {
    for (Table* t : {&par_, &chd_, &rem_}) t->rm_.Kill();
  }
  void Relate(Integrity update, Integrity del, Integrity child_update, Integrity child_delete) {
    ASSERT_TRUE(par_.rm_.AddRelation(chd_.rm_, update, del, chd_.decl_->Key(0),
                                     {{"PAR:ID", "CHD:PARENT"}}));
    ASSERT_TRUE(chd_.rm_.AddRelation(rem_.rm_, child_update, child_delete, rem_.decl_->Key(0),
                                     {{"SEQ", "CHILDSEQ"}}));
  }

  Table par_{Parents()};
  Table chd_{Children()};
  Table rem_{Remarks()};
};

TEST_F(RelationTest, RestrictRefusesToDeleteAParentWithChildren) {
  Relate(Integrity::kRestrict, Integrity::kRestrict, Integrity::kNone, Integrity::kNone);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  const std::vector<uint8_t> before = par_.Bytes();
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);  // no "try again?" after a refusal
  EXPECT_EQ(boxes_[0].title, "Referential Integrity Delete Error");
  EXPECT_EQ(boxes_[0].text,
            "This record is referenced from the file rel\\!chd. This record cannot be deleted "
            "while these references exist.");
  EXPECT_EQ(par_.Bytes(), before);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first", "2/second"}));
  EXPECT_EQ(chd_.All().size(), 3u);
  // Asked first and answered No: nothing happens.
  boxes_.clear();
  ASSERT_EQ(par_.Fetch({"2"}), Level::Proceed);
  answers_ = {runtime::button::kNo};
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kAsk), Level::Cancelled);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Confirm Delete"}));
  EXPECT_EQ(boxes_[0].text, "Are you sure you want to delete the highlighted record?");
  EXPECT_EQ(par_.All().size(), 2u);
  // A parent whose children are gone may go.
  ASSERT_EQ(chd_.Fetch({"2", "21"}), Level::Proceed);
  ASSERT_EQ(chd_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Proceed);
  ASSERT_EQ(par_.Fetch({"2"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first"}));
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(RelationTest, ClearLeavesTheChildrenWithoutAParent) {
  Relate(Integrity::kClear, Integrity::kClear, Integrity::kNone, Integrity::kNone);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"2/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"0/11", "0/12", "2/21"}));
  // On update too.
  ASSERT_EQ(par_.Fetch({"2"}), Level::Proceed);
  par_.SetField(1, "3");
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kHandle), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"3/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"0/11", "0/12", "0/21"}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(RelationTest, CascadeDeletesChildrenByTheirOwnRules) {
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kNone, Integrity::kCascade);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"2/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"2/21"}));
  EXPECT_EQ(rem_.All(), (std::vector<std::string>{"21/on c"}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(RelationTest, ACascadeThatFailsHalfWayLeavesNothingDone) {
  // Children go with their parent, but a child with remarks may not go.
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kNone, Integrity::kRestrict);
  par_.rm_.USELOGOUT = true;
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  const std::vector<uint8_t> before = par_.Bytes();
  // Child 11 (no remarks) is deleted first; child 12 then refuses.
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Notified);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Referential Integrity Delete Error"}));
  EXPECT_EQ(boxes_[0].text,
            "This record is referenced from the file rel\\!rem. This record cannot be deleted "
            "while these references exist.");
  EXPECT_EQ(par_.Bytes(), before);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first", "2/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"1/11", "1/12", "2/21"}));
  EXPECT_EQ(rem_.All(), (std::vector<std::string>{"12/on b", "21/on c"}));
  // The parent is still current and whole: once the remark is gone the delete goes through.
  ASSERT_EQ(rem_.Fetch({"12"}), Level::Proceed);
  ASSERT_EQ(rem_.fm_.Delete(), Level::Proceed);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Proceed);
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"2/21"}));
}

TEST_F(RelationTest, WithoutATransactionARefusalBelowIsFoundBeforeAnythingGoes) {
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kNone, Integrity::kRestrict);
  ASSERT_FALSE(par_.rm_.USELOGOUT);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Notified);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Referential Integrity Delete Error"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"1/11", "1/12", "2/21"}));
  EXPECT_EQ(par_.All().size(), 2u);
}

TEST_F(RelationTest, CascadeCarriesANewIdToTheChildren) {
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kCascade, Integrity::kCascade);
  par_.rm_.USELOGOUT = true;
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  par_.SetField(1, "5");
  par_.SetField(2, "fifth");
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kHandle), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"2/second", "5/fifth"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"2/21", "5/11", "5/12"}));
  // The remarks hang on the sequence numbers, which did not change.
  EXPECT_EQ(rem_.All(), (std::vector<std::string>{"12/on b", "21/on c"}));
  // A change that leaves the link alone touches no child.
  par_.SetField(2, "fifth again");
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kHandle), Level::Proceed);
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"2/21", "5/11", "5/12"}));
  for (const Box& b : boxes_) ADD_FAILURE() << b.title << ": " << b.text;
}

TEST_F(RelationTest, RestrictRefusesANewIdAndPutsTheOldOneBack) {
  Relate(Integrity::kRestrict, Integrity::kRestrict, Integrity::kNone, Integrity::kNone);
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  par_.SetField(1, "7");
  par_.SetField(2, "renamed");
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kForm), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Referential Integrity Update Error");
  EXPECT_EQ(boxes_[0].text,
            "This record is referenced from the file rel\\!chd. Linking field(s) have been "
            "restricted from change and have been reset to original values.");
  // The link is back; the rest of what the user typed is still there, and nothing is written.
  EXPECT_EQ(par_.Get(1), "1");
  EXPECT_EQ(par_.Get(2), "renamed");
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first", "2/second"}));
  // Saving again writes the rest.
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kForm), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/renamed", "2/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"1/11", "1/12", "2/21"}));
}

TEST_F(RelationTest, ACascadedUpdateThatFailsHalfWayIsRolledBack) {
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kNone, Integrity::kNone);
  par_.rm_.USELOGOUT = true;
  chd_.Add({"5", "12", "orphan"});  // child 12 of parent 1 cannot become 5/12
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  par_.SetField(1, "5");
  EXPECT_EQ(par_.rm_.Update(UpdateMode::kHandle), Level::AskUser);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Record was not updated");
  EXPECT_EQ(boxes_[0].text,
            "An error (Creates Duplicate Key (40)) was experienced when making changes to the "
            "rel\\!chd file.");
  EXPECT_EQ(par_.Get(1), "1");
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first", "2/second"}));
  EXPECT_EQ(chd_.All(), (std::vector<std::string>{"1/11", "1/12", "2/21", "5/12"}));
}

TEST_F(RelationTest, ATransactionThatCannotStartChangesNothing) {
  Relate(Integrity::kCascade, Integrity::kCascade, Integrity::kNone, Integrity::kNone);
  par_.rm_.USELOGOUT = true;
  data::SetTransactionControlFile("");
  ASSERT_EQ(par_.Fetch({"1"}), Level::Proceed);
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Notified);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Transaction cancelled");
  EXPECT_EQ(boxes_[0].text,
            "Error: (Unable To Log Transaction (48)) attempting to frame the transaction on "
            "rel\\!par.");
  EXPECT_EQ(par_.All().size(), 2u);
  EXPECT_EQ(chd_.All().size(), 3u);
}

TEST_F(RelationTest, ARecordThatWillNotGoIsOfferedAgain) {
  par_.rm_.Kill();
  par_.Init(errors_);
  par_.fm_.OPENMODE = 0x40;  // reading only: the delete itself fails
  ASSERT_EQ(par_.rm_.Open(), Level::Proceed);
  ASSERT_EQ(par_.Fetch({"2"}), Level::Proceed);
  answers_ = {0, runtime::button::kYes, 0, runtime::button::kNo};
  EXPECT_EQ(par_.rm_.Delete(DeleteConfirm::kNoAsk), Level::Notified);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Record was not deleted", "Record Delete Error",
                                                "Record was not deleted", "Record Delete Error"}));
  EXPECT_EQ(boxes_[0].text,
            "An error (Access Denied (5)) was experienced when deleting a record from the "
            "rel\\!par file.");
  EXPECT_EQ(par_.Get(2), "second");
  EXPECT_EQ(par_.All().size(), 2u);
}

TEST_F(RelationTest, AnAbandonedNumberGoesThroughTheRelationManager) {
  Relate(Integrity::kRestrict, Integrity::kRestrict, Integrity::kNone, Integrity::kNone);
  // The parents' ids numbered automatically.
  par_.fm_.KEYS.clear();
  par_.fm_.AddKey(par_.decl_->Key(0), "par:ById", KeyNumbering::kAutoIncrement);
  par_.Set({"0", "new"});
  ASSERT_EQ(par_.fm_.ReserveAutoNumber(), Level::Proceed);
  EXPECT_EQ(par_.Get(1), "3");
  EXPECT_EQ(par_.All().size(), 3u);
  EXPECT_EQ(par_.rm_.CancelAutoNumber(), Level::Proceed);
  EXPECT_EQ(par_.All(), (std::vector<std::string>{"1/first", "2/second"}));
  EXPECT_EQ(par_.Get(2), "new");
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace pellucor::framework::testing
