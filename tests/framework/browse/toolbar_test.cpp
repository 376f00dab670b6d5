// The toolbar manager: which standard buttons a form's request enables, the tips they show, and
// what the buttons do for a browse.
#include "framework/browse/toolbar_manager.h"
#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
namespace tb = toolbar_button;

bool Enabled(int32_t button) {
  return runtime::GetProperty(button, runtime::Prop::kDisable) != "1";
}
std::vector<int32_t> EnabledButtons() {
  std::vector<int32_t> on;
  for (int32_t b = ToolbarManager::kFirstButton; b <= ToolbarManager::kLastButton; ++b) {
    if (Enabled(b)) on.push_back(b);
  }
  return on;
}
std::string Tip(int32_t button) {
  return runtime::GetProperty(button, runtime::Prop::kTip);
}

TEST(ToolbarTips, TablesAreACountAndRowsOfNumberLengthAndText) {
  const TipTable& t = FormInsertTips();
  ASSERT_GE(t.size(), 4u);
  EXPECT_EQ(t[0], 2);
  EXPECT_EQ(t[1] | t[2] << 8, 2000);
  EXPECT_EQ(t[3], std::string("Save record and add another").size());
  EXPECT_THAT(DecodeTips(t), ElementsAre(Pair(2000, "Save record and add another"),
                                         Pair(2008, "Save record and add another")));
  EXPECT_EQ(DecodeTips(BrowseTips()).size(), 8u);
  EXPECT_EQ(DecodeTips(FormTips()).size(), 7u);
  // A table cut inside a row gives the rows before it.
  const TipTable& b = BrowseTips();
  const std::vector<uint8_t> cut(b.begin(), b.begin() + 30);
  const auto rows = DecodeTips(cut);
  ASSERT_FALSE(rows.empty());
  EXPECT_LT(rows.size(), 8u);
  EXPECT_EQ(rows[0].second, "Go to the Next Record");
  EXPECT_TRUE(DecodeTips({}).empty());
}

class ToolbarTest : public BrowseTest {
 protected:
  // A form window with the standard buttons and a help button (99), served by `toolbar`.
  void OpenForm(uint8_t request, bool history, bool help_visible) {
    runtime::WindowDescription d;
    d.name = "FORM";
    auto& help = ui::testing::Add(d, 99, runtime::ControlKind::kButton, "Help", {4, 4, 40, 14});
    help.flags.hidden = !help_visible;
    AddToolbar(d);
    form_ = std::make_unique<runtime::Window>(d);
    OpenAndShow(*form_);
    manager_.OKCONTROL = 7;
    manager_.VCRREQUEST = &vcr_;
    toolbar_.Init(manager_);
    toolbar_.AddFormTarget(request, history, 99);
    toolbar_.SetTarget(0);
  }

  // The field events the window received (focus and other window events come when they like).
  std::vector<std::string> FieldEvents() {
    std::vector<std::string> out;
    for (const std::string& e : Events()) {
      if (e.find(' ') != std::string::npos) out.push_back(e);
    }
    return out;
  }

  WindowManager manager_;
  ToolbarManager toolbar_;
  std::unique_ptr<runtime::Window> form_;
};

TEST_F(ToolbarTest, AnInsertFormOffersOnlyTheButtonsThatAddAnother) {
  OpenForm(request::kInsert, false, true);
  EXPECT_THAT(EnabledButtons(), ElementsAre(tb::kInsert, tb::kDown, tb::kHelp));
  EXPECT_EQ(Tip(tb::kInsert), "Save record and add another");
  EXPECT_EQ(Tip(tb::kDown), "Save record and add another");
  EXPECT_EQ(Tip(tb::kUp), "Save changes and go to previous record");

  // Either button saves by completing the form as its OK button does.
  (void)Events();
  toolbar_.TakeAccepted(tb::kDown);
  EXPECT_EQ(vcr_, tb::kDown);
  EXPECT_THAT(FieldEvents(), ElementsAre("EVENT:Accepted 7"));
}

TEST_F(ToolbarTest, AChangeFormNavigatesAndAFormForNothingElseOffersNothing) {
  OpenForm(request::kChange, true, false);
  EXPECT_THAT(EnabledButtons(), ElementsAre(tb::kInsert, tb::kBottom, tb::kTop, tb::kPageDown,
                                            tb::kPageUp, tb::kDown, tb::kUp, tb::kHistory));
  EXPECT_EQ(Tip(tb::kDown), "Save changes and go to next record");
  EXPECT_EQ(Tip(tb::kInsert), "Save this record and add a new one");
  // Buttons without a form action do nothing.
  (void)Events();
  toolbar_.TakeAccepted(tb::kChange);
  toolbar_.TakeAccepted(tb::kLocate);
  EXPECT_EQ(vcr_, 0);
  EXPECT_THAT(FieldEvents(), ::testing::IsEmpty());

  toolbar_.AddFormTarget(request::kDelete, false, 99);
  toolbar_.TARGETS.pop_front();
  toolbar_.SetTarget(0);
  EXPECT_THAT(EnabledButtons(), ::testing::IsEmpty());
}

TEST_F(ToolbarTest, OnABrowseTheButtonsBecomeTheBrowsesOwnEvents) {
  std::vector<Note> notes;
  for (int i = 0; i < 100; ++i) notes.push_back({"n" + std::to_string(1000 + i)});
  AddNotes(notes);
  OpenBrowse();
  std::vector<uint8_t> requests;
  window_->procedures = [&](uint16_t, uint8_t request) {
    requests.push_back(request);
    return response::kCancelled;
  };
  // The list gets the focus: the toolbar serves it.
  runtime::SELECT(ctl::kList);
  Pump();
  EXPECT_THAT(EnabledButtons(),
              ElementsAre(tb::kInsert, tb::kChange, tb::kDelete, tb::kBottom, tb::kTop,
                          tb::kPageDown, tb::kPageUp, tb::kDown, tb::kUp, tb::kLocate));
  EXPECT_EQ(Tip(tb::kBottom), "Go to the Last Page");
  EXPECT_EQ(Tip(tb::kInsert), "Insert a new Record");

  auto press = [&](int32_t button) {
    runtime::PostEvent(Event::kAccepted, button);
    Pump();
  };
  press(tb::kBottom);
  EXPECT_EQ(HighlightedTopic(), "n1099");
  press(tb::kUp);
  EXPECT_EQ(HighlightedTopic(), "n1098");
  press(tb::kTop);
  press(tb::kDown);
  EXPECT_EQ(HighlightedTopic(), "n1001");
  press(tb::kPageDown);
  EXPECT_EQ(HighlightedTopic(), "n" + std::to_string(1001 + VisibleRows()));
  press(tb::kPageUp);
  EXPECT_EQ(HighlightedTopic(), "n1001");
  press(tb::kInsert);
  press(tb::kChange);
  EXPECT_THAT(requests, ElementsAre(request::kInsert, request::kChange));

  // A button whose browse button is gone, or disabled, offers nothing and does nothing.
  window_->browse.DELETECONTROL = 0;
  runtime::SetProperty(ctl::kInsert, runtime::Prop::kDisable, "1");
  window_->toolbar.SetTarget(ctl::kList);
  EXPECT_FALSE(Enabled(tb::kInsert));
  EXPECT_FALSE(Enabled(tb::kDelete));
  press(tb::kInsert);
  press(tb::kDelete);
  EXPECT_THAT(requests, ElementsAre(request::kInsert, request::kChange));

  // Select completes the window with the highlighted note.
  press(tb::kSelect);
  EXPECT_EQ(window_->RESPONSE, response::kCompleted);
}

}  // namespace
}  // namespace pellucor::framework::testing
