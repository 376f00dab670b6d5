// The resizer on real windows of the Qt engine, offscreen: the window is sized as a user sizes it,
// the window reports "EVENT:Sized", the resizer acts in the ACCEPT loop, and the controls end
// where the rules put them. Client areas open at 200 x 100 dialog units and grow to 300 x 150.
#include <QWidget>
#include <cmath>
#include <string>

#include "framework/resize/window_resizer.h"
#include "tests/framework/resize/resize_test_util.h"
#include "tests/ui/ui_test_util.h"
#include "ui/dialog_units.h"

namespace pellucor::framework {
namespace {

using runtime::ControlKind;
using runtime::Event;
using runtime::Prop;
using ui::testing::Add;
using ui::testing::kEndOfInput;

int32_t Get(int32_t control, Prop prop) {
  return std::stoi("0" + runtime::GetProperty(control, prop));
}

ResizeRect At(int32_t control) {
  return {Get(control, Prop::kXPos), Get(control, Prop::kYPos), Get(control, Prop::kWidth),
          Get(control, Prop::kHeight)};
}

int32_t Round(double v) {
  return static_cast<int32_t>(std::lround(v));
}

runtime::WindowDescription Resizable(std::string name) {
  runtime::WindowDescription d;
  d.name = std::move(name);
  d.title = "Resizable";
  d.resizable = true;
  d.at = runtime::DialogRect{0, 0, 200, 100};
  return d;
}

class WindowResizerTest : public ui::testing::UiTest {
 protected:
  // Sizes the window as the desktop would so that its client area becomes `width` x `height`
  // dialog units (or as near as its limits allow), then runs the loop over what the window
  // reported; the resizer acts on every "EVENT:Sized". Returns how many sizing events came.
  int SizeClient(runtime::Window& window, WindowResizer& resizer, int width, int height,
                 bool expect_change = true) {
    QWidget* top = engine_.WidgetOf(window.id());
    auto* client = top->findChild<QWidget*>(QStringLiteral("client"));
    const ui::DialogUnits units(ui::FontOf(window.description().font));
    const QSize want(units.X(width), units.Y(height));
    top->resize(top->width() + want.width() - client->width(),
                top->height() + want.height() - client->height());
    if (expect_change) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return client->size() == want; }));
    } else {
      QCoreApplication::processEvents();
    }
    int sized = 0;
    runtime::PostEvent(kEndOfInput);
    runtime::ACCEPT([&] {
      if (runtime::EVENT() == kEndOfInput) return runtime::LoopControl::kLeave;
      if (runtime::EVENT() == Event::kSized) {
        ++sized;
        EXPECT_EQ(resizer.Resize(), Level::Proceed);
      }
      return runtime::LoopControl::kNext;
    });
    return sized;
  }

  // Lets the opening events pass, and lifts the smallest size the engine gives a window of its
  // description, so that what limits the window is the resizer's doing.
  void Settle() {
    (void)Events();
    runtime::SetProperty(0, Prop::kMinWidth, "0");
    runtime::SetProperty(0, Prop::kMinHeight, "0");
  }
};

TEST_F(WindowResizerTest, ControlsOfTheWindowEndWhereTheSpreadRulesPutThem) {
  runtime::WindowDescription d = Resizable("SPREAD");
  Add(d, 1, ControlKind::kList, "", {10, 10, 100, 50}).format = "80L(2)|M~Topic~@s20@";
  Add(d, 2, ControlKind::kButton, "OK", {150, 80, 40, 14});
  Add(d, 3, ControlKind::kButton, "Help", {150, 5, 40, 14});
  Add(d, 4, ControlKind::kEntry, "", {120, 30, 60, 12}).picture = "@s20";
  Add(d, 5, ControlKind::kCheck, "Done", {120, 60, 50, 10});
  Add(d, 6, ControlKind::kButton, "Close", {10, 80, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);
  Settle();

  WindowResizer resizer;
  ASSERT_EQ(resizer.Init(kAppSpread, SizeLimit::kInitialSize, SizeLimit::kNone), Level::Proceed);
  ASSERT_EQ(resizer.ORIGWIN.WIDTH, 200);
  ASSERT_EQ(resizer.ORIGWIN.HEIGHT, 100);
  EXPECT_EQ(resizer.ORIGWIN.MAXIMIZED, 0);
  EXPECT_EQ(resizer.CONTROLQUEUE->size(), 6u);
  // The procedure resizes once after restoring the position: at the same size nothing moves.
  EXPECT_EQ(resizer.Resize(), Level::Proceed);
  EXPECT_TRUE(resizer.RESIZELIST->empty());
  EXPECT_EQ(resizer.PREVIOUSWIN.RESIZECALLED, 1);

  EXPECT_GE(SizeClient(window, resizer, 300, 150), 1);
  EXPECT_EQ(At(1), (ResizeRect{10, 10, 200, 100}));  // margins 90 and 40 kept
  EXPECT_EQ(At(2), (ResizeRect{250, 130, 40, 14}));  // 10 from the right, 6 from the bottom
  EXPECT_EQ(At(3), (ResizeRect{250, 5, 40, 14}));    // 10 from the right, 5 from the top
  EXPECT_EQ(At(4), (ResizeRect{180, 30, 90, 12}));   // in proportion across, top kept
  EXPECT_EQ(At(5), (ResizeRect{180, 90, 50, 10}));   // in proportion, size kept
  EXPECT_EQ(At(6), (ResizeRect{10, 130, 40, 14}));   // 10 from the left, 6 from the bottom
  // The widgets themselves are where the properties say.
  const ui::DialogUnits units(ui::FontOf(d.font));
  EXPECT_EQ(Widget(window, 2)->geometry(), units.Rect({250, 130, 40, 14}));
  EXPECT_EQ(resizer.PREVIOUSWIN.WIDTH, 300);
  EXPECT_EQ(resizer.PREVIOUSWIN.HEIGHT, 150);

  // A control moved by hand stays put while the size does not change...
  runtime::SetProperty(5, Prop::kXPos, "3");
  EXPECT_EQ(resizer.Resize(), Level::Proceed);
  EXPECT_EQ(Get(5, Prop::kXPos), 3);

  // ...and the initial size is the smallest: sizing below it ends at 200 x 100, where every
  // control is back at its initial place.
  EXPECT_EQ(Get(0, Prop::kMinWidth), 200);
  EXPECT_EQ(Get(0, Prop::kMinHeight), 100);
  EXPECT_GE(SizeClient(window, resizer, 120, 60, false), 1);
  EXPECT_EQ(Get(0, Prop::kClientWidth), 200);
  EXPECT_EQ(Get(0, Prop::kClientHeight), 100);
  EXPECT_EQ(At(1), (ResizeRect{10, 10, 100, 50}));
  EXPECT_EQ(At(2), (ResizeRect{150, 80, 40, 14}));
  EXPECT_EQ(At(5), (ResizeRect{120, 60, 50, 10}));
  EXPECT_EQ(At(6), (ResizeRect{10, 80, 40, 14}));
}

TEST_F(WindowResizerTest, ControlsOnTabsAndInGroupsFollowTheirParents) {
  runtime::WindowDescription d = Resizable("TABS");
  Add(d, 1, ControlKind::kSheet, "", {5, 5, 120, 80});
  Add(d, 2, ControlKind::kTab, "One").parent = 1;
  Add(d, 3, ControlKind::kTab, "Two").parent = 1;
  auto& entry = Add(d, 4, ControlKind::kEntry, "", {15, 30, 60, 12});
  entry.parent = 2;
  entry.picture = "@s20";
  Add(d, 5, ControlKind::kButton, "Go", {70, 60, 40, 14}).parent = 3;
  Add(d, 6, ControlKind::kGroup, "Options", {130, 5, 60, 50});
  Add(d, 7, ControlKind::kCheck, "Late", {135, 20, 40, 10});
  runtime::Window window(d);
  OpenAndShow(window);
  Settle();

  // Where the sheet put its pages and what stands on them, before anything is sized: every
  // page covers the same area, the one not shown too.
  const ResizeRect page = At(2);
  ASSERT_GT(page.WIDTH, 0);
  EXPECT_EQ(At(3), page);
  const ResizeRect entry0 = At(4);
  const ResizeRect button0 = At(5);

  WindowResizer resizer;
  ASSERT_EQ(resizer.Init(kAppSpread, SizeLimit::kNone, SizeLimit::kNone), Level::Proceed);
  EXPECT_GE(SizeClient(window, resizer, 300, 150), 1);

  // The sheet and the group keep their corners and margins.
  EXPECT_EQ(At(1), (ResizeRect{5, 5, 220, 130}));
  EXPECT_EQ(At(6), (ResizeRect{130, 5, 160, 100}));
  // The check stands in the group, which grew 160/60 across and 100/50 down: offsets 5 and 15
  // become 13 and 30.
  EXPECT_EQ(At(7), (ResizeRect{143, 35, 40, 10}));

  // The tabs stand in the sheet (proportional, scaled); what stands on a tab follows the tab.
  const double sheet_x = 220.0 / 120.0;
  const double sheet_y = 130.0 / 80.0;
  const ResizeRect tab{5 + Round((page.XPOS - 5) * sheet_x), 5 + Round((page.YPOS - 5) * sheet_y),
                       Round(page.WIDTH * sheet_x), Round(page.HEIGHT * sheet_y)};
  const double tab_x = static_cast<double>(tab.WIDTH) / page.WIDTH;
  // The entry: in proportion across, its distance from the tab's top kept, height kept.
  EXPECT_EQ(At(4), (ResizeRect{tab.XPOS + Round((entry0.XPOS - page.XPOS) * tab_x),
                               tab.YPOS + (entry0.YPOS - page.YPOS), Round(60 * tab_x), 12}));
  // The button on the second tab sits nearer the tab's right and bottom edges: it keeps those
  // distances and its size, although its tab is not the one shown.
  const int32_t dx = button0.XPOS - page.XPOS;
  const int32_t dy = button0.YPOS - page.YPOS;
  ASSERT_GE(dx, page.WIDTH - dx - 40);
  ASSERT_GE(dy, page.HEIGHT - dy - 14);
  EXPECT_EQ(At(5), (ResizeRect{tab.XPOS + tab.WIDTH - (page.WIDTH - dx),
                               tab.YPOS + tab.HEIGHT - (page.HEIGHT - dy), 40, 14}));
  EXPECT_EQ(Get(1, Prop::kChoice), 1);
}

// Under the proportional strategy the sheet itself moves: its page moves with it, and a control
// on the page is placed against the page where the sheet put it, so the sheet has to go first.
TEST_F(WindowResizerTest, AMovingSheetTakesWhatStandsOnItsTabsAlong) {
  runtime::WindowDescription d = Resizable("MOVING");
  Add(d, 1, ControlKind::kSheet, "", {20, 20, 120, 60});
  Add(d, 2, ControlKind::kTab, "One").parent = 1;
  auto& entry = Add(d, 3, ControlKind::kEntry, "", {30, 45, 50, 12});
  entry.parent = 2;
  entry.picture = "@s20";
  runtime::Window window(d);
  OpenAndShow(window);
  Settle();
  const ResizeRect page = At(2);
  const ResizeRect entry0 = At(3);
  WindowResizer resizer;
  ASSERT_EQ(resizer.Init(kAppProportional, SizeLimit::kNone, SizeLimit::kNone), Level::Proceed);
  EXPECT_GE(SizeClient(window, resizer, 300, 150), 1);

  EXPECT_EQ(At(1), (ResizeRect{30, 30, 180, 90}));
  const ResizeRect tab{30 + Round((page.XPOS - 20) * 1.5), 30 + Round((page.YPOS - 20) * 1.5),
                       Round(page.WIDTH * 1.5), Round(page.HEIGHT * 1.5)};
  const double tab_x = static_cast<double>(tab.WIDTH) / page.WIDTH;
  const double tab_y = static_cast<double>(tab.HEIGHT) / page.HEIGHT;
  EXPECT_EQ(At(3), (ResizeRect{tab.XPOS + Round((entry0.XPOS - page.XPOS) * tab_x),
                               tab.YPOS + Round((entry0.YPOS - page.YPOS) * tab_y),
                               Round(50 * tab_x), Round(12 * tab_y)}));
}

TEST_F(WindowResizerTest, TheMaximumSwitchMakesTheInitialSizeTheLargest) {
  runtime::WindowDescription d = Resizable("MAX");
  Add(d, 1, ControlKind::kList, "", {10, 10, 100, 50}).format = "80L(2)|M~Topic~@s20@";
  runtime::Window window(d);
  OpenAndShow(window);
  Settle();
  WindowResizer resizer;
  ASSERT_EQ(resizer.Init(kAppSpread, SizeLimit::kNone, SizeLimit::kInitialSize), Level::Proceed);
  EXPECT_EQ(Get(0, Prop::kMaxWidth), 200);
  EXPECT_EQ(Get(0, Prop::kMaxHeight), 100);
  EXPECT_EQ(Get(0, Prop::kMinWidth), 0);
  (void)SizeClient(window, resizer, 300, 150, false);
  EXPECT_EQ(Get(0, Prop::kClientWidth), 200);
  EXPECT_EQ(Get(0, Prop::kClientHeight), 100);
  EXPECT_EQ(At(1), (ResizeRect{10, 10, 100, 50}));
  // The window may still be made smaller.
  EXPECT_GE(SizeClient(window, resizer, 150, 80), 1);
  EXPECT_EQ(At(1), (ResizeRect{10, 10, 50, 30}));
}

TEST_F(WindowResizerTest, ResizeLeavesOtherWindowsAloneAndEndsWithKill) {
  runtime::WindowDescription d = Resizable("FIRST");
  Add(d, 1, ControlKind::kList, "", {10, 10, 100, 50}).format = "80L(2)|M~Topic~@s20@";
  runtime::Window first(d);
  OpenAndShow(first);
  Settle();
  WindowResizer resizer;
  ASSERT_EQ(resizer.Init(kAppProportional, SizeLimit::kNone, SizeLimit::kNone), Level::Proceed);

  // A second window of the thread is now its current window: the resizer does not touch it.
  runtime::WindowDescription other = Resizable("SECOND");
  Add(other, 1, ControlKind::kList, "", {10, 10, 100, 50}).format = "80L(2)|M~Topic~@s20@";
  runtime::Window second(other);
  OpenAndShow(second);
  Settle();
  EXPECT_EQ(resizer.Resize(), Level::Notified);
  EXPECT_EQ(At(1), (ResizeRect{10, 10, 100, 50}));
  second.Close();

  EXPECT_GE(SizeClient(first, resizer, 300, 150), 1);
  EXPECT_EQ(At(1), (ResizeRect{15, 15, 150, 75}));

  EXPECT_EQ(resizer.Kill(), Level::Proceed);
  EXPECT_EQ(resizer.CONTROLQUEUE, nullptr);
  EXPECT_EQ(resizer.RESIZELIST, nullptr);
  EXPECT_EQ(resizer.Resize(), Level::Notified);
}

}  // namespace
}  // namespace pellucor::framework
