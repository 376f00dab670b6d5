// The view manager over the real notes table: the filter text its ranges and named filters give,
// what that text lets through, the record check hook, and the messages it raises.
#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ViewManagerTest : public BrowseTest {
 protected:
  ViewManagerTest() : view_({notes_decl_.get(), {}, {}}) {}
  ~ViewManagerTest() override {
    (void)vm_->Kill();
    (void)relations_.Close();
  }

  // A view manager on the notes, sorted by `key`.
  ViewManager& Manager(const char* key, std::unique_ptr<ViewManager> vm = nullptr) {
    vm_ = vm ? std::move(vm) : std::make_unique<ViewManager>();
    EXPECT_EQ(relations_.Open(), Level::Proceed);
    vm_->Init(view_, relations_);
    vm_->AddSortOrder(notes_decl_->FindKey(key));
    return *vm_;
  }
  // Every topic the manager reads from the start.
  std::vector<std::string> ReadAll() {
    std::vector<std::string> out;
    EXPECT_EQ(vm_->Reset(), Level::Proceed);
    while (vm_->Next() == Level::Proceed) out.push_back(TopicOf(notes_.Buffer()));
    return out;
  }
  KeyComponent& Component(size_t key, size_t component) {
    return notes_.KEYS[key].FIELDS[component];
  }

  data::view::View view_;
  std::unique_ptr<ViewManager> vm_;
  char archive_ = 'N';
  int32_t no_date_ = 0;
};

// A STRING variable of the program: its size is fixed, its value blank-padded.
runtime::AnyRef Text(std::string& s) {
  return {s.data(), static_cast<uint32_t>(s.size()), runtime::TypeCode::kString, 0};
}
void Assign(std::string& variable, std::string_view value) {
  std::fill(variable.begin(), variable.end(), ' ');
  variable.replace(0, value.size(), value);
}
runtime::AnyRef Long(int32_t& v) {
  return {&v, 4, runtime::TypeCode::kLong, 0};
}

TEST_F(ViewManagerTest, TheFilterTextQuotesTextValuesAndComparesUpperCaseWhereTheKeyDoes) {
  ViewManager& vm = Manager("SNO:SNOT");
  std::string value = "ab'c";
  // A key component described as UPPER(...) compares both sides in upper case.
  Component(0, 0).FIELDNAME = "UPPER(Topic)";
  vm.AddRange(Text(value));
  vm.SetFilter("Done = 0");
  EXPECT_EQ(vm.FilterText(), "UPPER(Topic) = UPPER('ab''c') AND (Done = 0)");

  // Numbers and dates as they are; trailing blanks of a text dropped; named filters in order.
  Component(0, 0).FIELDNAME = "SNO:REMINDER";
  std::string flag = "N   ";
  int32_t date = 81234;
  vm.CurrentOrder()->RANGELIST.clear();
  vm.CurrentOrder()->FREEELEMENT = 1;
  vm.AddRange(Text(flag));
  vm.AddRange(Long(date));
  vm.SetFilterById("sno:topic <> ''", "Another");
  EXPECT_EQ(vm.FilterText(),
            "SNO:REMINDER = 'N' AND SNO:REMINDERDATE = 81234 AND (Done = 0) AND "
            "(sno:topic <> '')");
  // A named filter is replaced by its id, and an empty text removes it.
  vm.SetFilter("sno:done = 'Y'");
  vm.SetFilterById("", "Another");
  EXPECT_EQ(vm.FilterText(),
            "SNO:REMINDER = 'N' AND SNO:REMINDERDATE = 81234 AND (sno:done = 'Y')");
  EXPECT_EQ(vm.FreeComponentNumber(), 3);
  EXPECT_EQ(vm.FreeComponentName(), "SNO:TOPIC");
}

TEST_F(ViewManagerTest, AQuotedRangeValueFindsTheTopicsWithAQuote) {
  AddNotes({{"O'Brien", 80000, 0, 'N'},
            {"o'brien", 80001, 0, 'N'},
            {"OBrien", 80002, 0, 'N'},
            {"O'Briens", 80003, 0, 'N'},
            {"x' OR 'a'='a", 80004, 0, 'N'}});
  ViewManager& vm = Manager("SNO:SNOT");
  Component(0, 2).FIELDNAME = "UPPER(SNO:TOPIC)";
  std::string topic(60, ' ');
  Assign(topic, "o'brien");
  vm.AddRange({&archive_, 1, runtime::TypeCode::kString, 0});
  vm.AddRange(Long(no_date_));
  vm.AddRange(Text(topic));
  EXPECT_THAT(ReadAll(), ElementsAre("O'Brien", "o'brien"));
  // A value that would close the quote and add a condition of its own is one text.
  Assign(topic, "x' OR 'a'='a");
  EXPECT_TRUE(vm.ApplyRange());
  EXPECT_THAT(ReadAll(), ElementsAre("x' OR 'a'='a"));
  EXPECT_THAT(boxes_, IsEmpty());
}

TEST_F(ViewManagerTest, ARangeOfKindThreeBoundsItsLastComponentAndFollowsItsVariables) {
  AddNotes({{"fifty", 80000, 50, 'N'},
            {"hundred", 80000, 100, 'N'},
            {"one fifty", 80000, 150, 'N'},
            {"two hundred", 80000, 200, 'N'},
            {"two fifty", 80000, 250, 'N'}});
  ViewManager& vm = Manager("SNO:SNOT");
  int32_t low = 100, high = 200;
  vm.AddRange({&archive_, 1, runtime::TypeCode::kString, 0});
  vm.AddRange(Long(low), Long(high));
  EXPECT_EQ(vm.CurrentOrder()->LIMITTYPE, limit::kRange);
  EXPECT_EQ(vm.FilterText(),
            "SNO:REMINDER = 'N' AND SNO:REMINDERDATE >= 100 AND SNO:REMINDERDATE <= 200");
  EXPECT_THAT(ReadAll(), ElementsAre("hundred", "one fifty", "two hundred"));

  // A new bound shows once the range is applied again, and only then.
  high = 150;
  EXPECT_TRUE(vm.NeedRefresh());
  EXPECT_TRUE(vm.ApplyRange());
  EXPECT_FALSE(vm.NeedRefresh());
  EXPECT_FALSE(vm.ApplyRange());
  EXPECT_THAT(ReadAll(), ElementsAre("hundred", "one fifty"));

  // A new record starts with the range's values.
  vm.PrepareInsertRecord();
  EXPECT_EQ(notes_.Buffer()[nr::kReminderOffset], 'N');
  EXPECT_EQ(runtime::AccessorFactory(runtime::TypeCode::kDate,
                                     notes_.Buffer() + nr::kReminderDateOffset, 4)
                ->GetInteger(),
            100);
  EXPECT_EQ(TopicOf(notes_.Buffer()), "");
}

TEST_F(ViewManagerTest, AFilterTheViewRefusesRaisesViewOpenErrorAndTheViewGoesOnWithoutIt) {
  AddNotes({{"done", 80000, 0, 'Y'}, {"open", 80001, 0, 'N'}});
  ViewManager& vm = Manager("SNO:SNOT");
  vm.SetFilter("sno:done = 'Y'");
  EXPECT_THAT(ReadAll(), ElementsAre("done"));
  vm.SetFilter("sno:done = = 'Y'");
  EXPECT_EQ(vm.ApplyFilter(), Level::Notified);
  EXPECT_THAT(boxes_, ElementsAre("View Open Error"));
  EXPECT_EQ(view_.Filter(), "");
  EXPECT_THAT(ReadAll(), ElementsAre("done", "open"));
}

// Skips notes whose topic ends in "skip" and stops at one that ends in "stop".
class CheckingManager : public ViewManager {
 public:
  int32_t CheckRecord() override {
    ++checked;
    const std::string topic = TopicOf(PrimaryFile()->Buffer());
    auto ends = [&](std::string_view end) {
      return topic.size() >= end.size() &&
             topic.compare(topic.size() - end.size(), end.size(), end) == 0;
    };
    if (ends("skip")) return 1;
    if (ends("stop")) return 2;
    return 0;
  }
  int checked = 0;
};

TEST_F(ViewManagerTest, TheRecordCheckSkipsAndStopsReadingBothWays) {
  AddNotes({{"a", 80000, 0, 'N'},
            {"b", 80000, 0, 'N'},
            {"c skip", 80000, 0, 'N'},
            {"d skip", 80000, 0, 'N'},
            {"e", 80000, 0, 'N'},
            {"f stop", 80000, 0, 'N'},
            {"g", 80000, 0, 'N'}});
  auto owned = std::make_unique<CheckingManager>();
  CheckingManager* cm = owned.get();
  Manager("SNO:SNOT", std::move(owned));
  EXPECT_THAT(ReadAll(), ElementsAre("a", "b", "e"));
  EXPECT_EQ(cm->checked, 6);
  // Backwards from the end: "g", then the stop.
  ASSERT_EQ(cm->Reset(), Level::Proceed);
  std::vector<std::string> back;
  while (cm->Previous() == Level::Proceed) back.push_back(TopicOf(notes_.Buffer()));
  EXPECT_THAT(back, ElementsAre("g"));
}

TEST_F(ViewManagerTest, SortOrdersKeepTheirOwnFiltersAndOrders) {
  AddNotes({{"b", 80003, 0, 'Y'}, {"a", 80001, 0, 'Y'}, {"c", 80002, 0, 'N'}});
  ViewManager& vm = Manager("SNO:SNOT");
  vm.SetFilter("sno:done = 'Y'");
  EXPECT_EQ(vm.AddSortOrder(notes_decl_->FindKey("SNO:DONYET"), "-sno:notedate"), 2);
  EXPECT_EQ(vm.FilterText(), "");
  EXPECT_FALSE(vm.SetSort(2));
  EXPECT_FALSE(vm.SetSort(3));
  ASSERT_EQ(vm.Open(), Level::Proceed);
  EXPECT_THAT(ReadAll(), ElementsAre("c", "b", "a"));  // done, then the newest note first
  EXPECT_TRUE(vm.SetSort(1));
  (void)vm.ApplyOrder();
  (void)vm.ApplyFilter();
  EXPECT_THAT(ReadAll(), ElementsAre("a", "b"));
}

}  // namespace
}  // namespace pellucor::framework::testing
