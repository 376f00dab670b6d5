// Keys (KEYCODE, ALERT, PRESS), the popup and message statements, and controls that change at
// run time.
#include "event_test_util.h"

namespace pellucor::runtime {
namespace {

using ::testing::ElementsAre;
using testing::EventTest;
using testing::Form;

using KeyboardTest = EventTest;

TEST_F(KeyboardTest, KeycodeFollowsTheEventsThatCarryOne) {
  Window w(Form());
  w.Open();
  EngineInput::Post(w.id(), EventRecord{Event::kAlertKey, 2, key::kCtrlEnter});
  PostEvent(Event::kNotify);  // no key: KEYCODE stays
  std::vector<int32_t> codes;
  ACCEPT([&] {
    codes.push_back(KEYCODE());
    return EVENT() == Event::kNotify ? LoopControl::kLeave : LoopControl::kNext;
  });
  EXPECT_THAT(codes, ElementsAre(0, 525, 525));
  SETKEYCODE(0);
  EXPECT_EQ(KEYCODE(), 0);
}

TEST_F(KeyboardTest, AlertKeysAreKeptPerWindow) {
  Window w(Form());
  w.Open();
  ALERT(key::kInsert);
  ALERT(key::kF12, key::kF1);  // a range given backwards
  EXPECT_TRUE(EngineInput::IsAlertKey(w.id(), key::kInsert));
  EXPECT_TRUE(EngineInput::IsAlertKey(w.id(), key::kF1 + 4));
  EXPECT_FALSE(EngineInput::IsAlertKey(w.id(), key::kDelete));
  Window inner(Form("INNER"));
  inner.Open();
  EXPECT_FALSE(EngineInput::IsAlertKey(inner.id(), key::kInsert));
  inner.Close();
  ALERT();
  EXPECT_FALSE(EngineInput::IsAlertKey(w.id(), key::kInsert));
}

TEST_F(KeyboardTest, PressTypesKeysInOrder) {
  engine_.ClearLog();
  PRESS("aZ9 \r");
  PRESS(key::kF1);
  EXPECT_THAT(engine_.Log(), ElementsAre("pressed 65 346 57 32 13", "pressed 112"));
}

TEST_F(KeyboardTest, PopupReturnsTheChosenItemAndRefusesBadText) {
  int32_t shown_items = -1;
  engine_.SetPopupResponder([&](const PopupMenu& m) {
    shown_items = m.item_count;
    return 2;
  });
  EXPECT_EQ(POPUP("&Insert|-|&Change|&Delete"), 2);
  EXPECT_EQ(shown_items, 3);
  shown_items = -1;
  EXPECT_EQ(POPUP("&Insert||&Change"), 0);
  EXPECT_EQ(shown_items, -1);  // never shown
  // An answer outside the menu counts as nothing chosen.
  engine_.SetPopupResponder([](const PopupMenu&) { return 9; });
  EXPECT_EQ(POPUP("One|Two"), 0);
}

TEST_F(KeyboardTest, MessageGoesToTheResponderWithTheAskingThread) {
  MessageRequest asked;
  engine_.SetMessageResponder([&](const MessageRequest& r) {
    asked = r;
    return button::kNo;
  });
  EXPECT_EQ(MESSAGE("Do you want to save the changes to this record?", "Save Record",
                    MessageIcon::kExclamation, button::kYes + button::kNo + button::kCancel,
                    button::kCancel),
            button::kNo);
  EXPECT_EQ(asked.caption, "Save Record");
  EXPECT_EQ(asked.buttons, 70);
  EXPECT_EQ(asked.default_button, button::kCancel);
  EXPECT_EQ(asked.thread, 1);
}

TEST_F(KeyboardTest, ControlsChangedAtRunTimeTakePartInAcceptAllAsTheyAreNow) {
  Window w(Form());
  w.Open();
  SetProperty(2, Prop::kHide, "1");
  SetProperty(3, Prop::kHide, "");
  ControlDescription extra;
  extra.number = 20;
  extra.kind = ControlKind::kSpin;
  ASSERT_TRUE(CREATE(extra));
  EXPECT_FALSE(CREATE(extra));  // the number is taken
  DESTROY(7);
  SELECT();
  std::vector<std::string> seen;
  ACCEPT([&] {
    seen.push_back(testing::TraceName(CurrentEvent()));
    return EVENT() == Event::kCompleted ? LoopControl::kLeave : LoopControl::kNext;
  });
  EXPECT_THAT(seen, ElementsAre("EVENT:OpenWindow", "EVENT:Accepted 3", "EVENT:Accepted 4",
                                "EVENT:Accepted 20", "EVENT:Completed"));
  EXPECT_EQ(GetProperty(0, Prop::kThread), "1");
}

}  // namespace
}  // namespace pellucor::runtime
