// Dynamic indexes over a note table: built from a component text, with and without a filter,
// read in their order, counted, unbuilt by CLOSE; and the file and key properties.
#include <vector>

#include "runtime/expr/expression.h"
#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {
namespace {

namespace err = runtime::err;

constexpr size_t kSnot = 0, kDynamic = 1;

std::unique_ptr<FileDecl> MakeNotesWithDynamicIndex() {
  return DeclarationBuilder("DynNotes", "SNO", &KestruneDriverInstance())
      .Name("plk\\!dynnotes")
      .Attributes(decl_attr::kCreate)
      .String("TOPIC", 60)
      .String("REMINDER", 1)
      .Date("NOTEDATE")
      .Date("REMINDERDATE")
      .String("MAINMEMO", 5050)
      .String("DONE", 1)
      .Key("SNOT", "sno:SNOT", key_flag::kDup | key_flag::kNoCase, {"TOPIC"})
      .Key("BYANY", "sno:BYANY", key_flag::kIndex, {})
      .Build();
}

class DynamicIndexes : public ::testing::Test {
 protected:
  ScratchCwd dir;
  std::unique_ptr<FileDecl> notes = MakeNotesWithDynamicIndex();

  void SetUp() override {
    ASSERT_EQ(OpenOrCreate(*notes), 0) << runtime::ErrorText();
    for (const Note& n : {Note("beta", 'N', 3, 1, 2020), Note("delta", 'Y', 1, 1, 2020),
                          Note("alpha", 'N', 2, 1, 2020), Note("gamma", 'Y', 2, 1, 2020)}) {
      FillNote(*notes, n);
      ASSERT_EQ(Call(*notes, Op::kADD), 0) << runtime::ErrorText();
    }
  }
  void TearDown() override {
    if (notes->Block()) (void)Call(*notes, Op::kCLOSE);
    EXPECT_EQ(OpenPhysicalFileCount(), 0u);
  }

  int32_t Build(const std::string& components, const std::string& filter = "") {
    OpArgs a;
    a.key = notes->Key(kDynamic);
    a.text = components;
    a.value = filter;
    return Dispatch(*notes, filter.empty() ? Op::kBUILDdyn : Op::kBUILDdynfilter, a).error;
  }
  std::vector<std::string> Scan(Op dir_op = Op::kNEXT) {
    std::vector<std::string> topics;
    EXPECT_EQ(KeyOp(*notes, Op::kSETkey, kDynamic), 0);
    while (Call(*notes, dir_op) == 0) topics.push_back(Topic(*notes));
    EXPECT_EQ(runtime::ErrorCode(), err::kRecordNotAvailable);
    return topics;
  }
  std::string KeyProperty(size_t key, const std::string& name) {
    OpArgs a;
    a.key = notes->Key(key);
    a.text = name;
    return Dispatch(*notes, Op::kGETPROPERTYkey, a).text;
  }
  std::string FileProperty(const std::string& name) {
    OpArgs a;
    a.text = name;
    return Dispatch(*notes, Op::kGET_PROPERTY, a).text;
  }
  void SetFileProperty(const std::string& name, const std::string& value) {
    OpArgs a;
    a.text = name;
    a.value = value;
    EXPECT_EQ(Dispatch(*notes, Op::kSET_PROPERTY, a).error, 0);
  }
};

TEST_F(DynamicIndexes, BuiltIndexReadsInItsOrderBothWaysAndFromAValue) {
  ASSERT_EQ(Build("-SNO:TOPIC"), 0) << runtime::ErrorText();
  EXPECT_EQ(Scan(), (std::vector<std::string>{"gamma", "delta", "beta", "alpha"}));
  EXPECT_EQ(Scan(Op::kPREVIOUS), (std::vector<std::string>{"alpha", "beta", "delta", "gamma"}));
  EXPECT_EQ(KeyRecords(*notes, kDynamic), 4);

  // Two components, the second breaking ties; the prefix may be left out.
  ASSERT_EQ(Build("reminder, -notedate"), 0) << runtime::ErrorText();
  EXPECT_EQ(Scan(), (std::vector<std::string>{"beta", "alpha", "gamma", "delta"}));

  // SETkeykey starts at the first entry at or after the buffer's value.
  ASSERT_EQ(Build("+SNO:TOPIC"), 0);
  FillNote(*notes, Note("c"));
  ASSERT_EQ(KeyOp(*notes, Op::kSETkeykey, kDynamic), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "delta");
  FillNote(*notes, Note("c"));
  ASSERT_EQ(KeyOp(*notes, Op::kSETkeykey, kDynamic), 0);
  ASSERT_EQ(Call(*notes, Op::kPREVIOUS), 0);
  EXPECT_EQ(Topic(*notes), "beta");

  // A stored key's sequence afterwards is not taken over by the dynamic one.
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, kSnot), 0);
  ASSERT_EQ(Call(*notes, Op::kNEXT), 0);
  EXPECT_EQ(Topic(*notes), "alpha");
}

TEST_F(DynamicIndexes, FilterKeepsOnlyMatchingRecordsAndBadFilterFails) {
  ASSERT_EQ(Build("SNO:TOPIC", "SNO:REMINDER = 'Y'"), 0) << runtime::ErrorText();
  EXPECT_EQ(Scan(), (std::vector<std::string>{"delta", "gamma"}));
  EXPECT_EQ(KeyRecords(*notes, kDynamic), 2);
  EXPECT_EQ(KeyProperty(kDynamic, "RECORDS"), "2");

  // The record buffer the caller had is left as it was.
  FillNote(*notes, Note("kept"));
  ASSERT_EQ(Build("SNO:TOPIC", "SNO:REMINDER = 'N'"), 0);
  EXPECT_EQ(Topic(*notes), "kept");
  EXPECT_EQ(Scan(), (std::vector<std::string>{"alpha", "beta"}));

  // A filter naming no field does not compile: the evaluator's error, and the old build stays.
  EXPECT_EQ(Build("SNO:TOPIC", "SNO:NOSUCHFIELD = 1"), runtime::expr::err::kNoBind);
  EXPECT_NE(Build("SNO:TOPIC", "SNO:REMINDER = = "), 0);
  EXPECT_EQ(KeyRecords(*notes, kDynamic), 2);
}

TEST_F(DynamicIndexes, UnbuiltOrClosedIndexGives46AndBadTextGives76) {
  EXPECT_EQ(KeyOp(*notes, Op::kSETkey, kDynamic), err::kKeyMustBeRebuilt);
  EXPECT_EQ(KeyProperty(kDynamic, "BUILT"), "");

  for (const std::string bad : {"SNO:NOSUCH", "", ",SNO:TOPIC", "SNO:TOPIC,", "-"}) {
    EXPECT_EQ(Build(bad), err::kInvalidIndexString) << "text '" << bad << "'";
  }
  EXPECT_EQ(KeyOp(*notes, Op::kSETkey, kDynamic), err::kKeyMustBeRebuilt);

  ASSERT_EQ(Build("SNO:TOPIC"), 0);
  EXPECT_EQ(KeyProperty(kDynamic, "BUILT"), "1");
  EXPECT_EQ(KeyProperty(kDynamic, "COMPONENTS"), "SNO:TOPIC");
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*notes), 0);
  EXPECT_EQ(KeyOp(*notes, Op::kSETkey, kDynamic), err::kKeyMustBeRebuilt);
  ASSERT_EQ(Build("-SNO:TOPIC"), 0);
  EXPECT_EQ(Scan().front(), "gamma");
}

TEST_F(DynamicIndexes, PropertiesSetAndReadBack) {
  EXPECT_EQ(FileProperty("details"), "");
  SetFileProperty("DETAILS", "1");
  EXPECT_EQ(FileProperty("DETAILS"), "1");
  SetFileProperty("DETAILS", "0");
  EXPECT_EQ(FileProperty("DETAILS"), "");
  SetFileProperty("FULLBUILD", "ON");
  EXPECT_EQ(FileProperty("FULLBUILD"), "1");
  SetFileProperty("FULLBUILD", "");
  EXPECT_EQ(FileProperty("FULLBUILD"), "");
  // Unknown names: nothing set, an empty text read, no error.
  SetFileProperty("NOSUCH", "x");
  EXPECT_EQ(FileProperty("NOSUCH"), "");
  EXPECT_EQ(KeyProperty(kSnot, "NOSUCH"), "");

  EXPECT_EQ(KeyProperty(kSnot, "LABEL"), "SNO:SNOT");
  EXPECT_EQ(KeyProperty(kSnot, "BUILT"), "1");

  // The component text set on the key is what a build without a text uses.
  OpArgs a;
  a.key = notes->Key(kDynamic);
  a.text = "COMPONENTS";
  a.value = "-SNO:NOTEDATE";
  ASSERT_EQ(Dispatch(*notes, Op::kSETPROPERTYkey, a).error, 0);
  ASSERT_EQ(Build(""), 0) << runtime::ErrorText();
  EXPECT_EQ(Scan(), (std::vector<std::string>{"beta", "alpha", "gamma", "delta"}));
}

}  // namespace
}  // namespace pellucor::data::kdtest
