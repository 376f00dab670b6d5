// The window itself on real widgets: geometry and its events, timers, menus and toolbar buttons,
// the status bar, standard actions and help.
#include <QAbstractPrintDialog>
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstring>
#include <thread>

#include "ui_test_util.h"

namespace pellucor::ui {
namespace {

using runtime::ControlKind;
using runtime::Prop;
using testing::Add;
using ::testing::ElementsAre;
using testing::UiTest;

using FrameTest = UiTest;

int Number(const std::string& s) {
  return s.empty() ? 0 : std::stoi(s);
}

bool Has(const std::vector<std::string>& seen, const std::string& name) {
  return std::find(seen.begin(), seen.end(), name) != seen.end();
}

// Sizing and moving through the properties give the same events as the user doing it; the
// properties read back what they set, in dialog units, within the minimum size.
TEST_F(FrameTest, GeometryPropertiesReadBackAndGiveTheirEvents) {
  runtime::WindowDescription d;
  d.name = "SIZED";
  d.title = "Sized";
  d.resizable = true;
  d.maximize_box = true;
  d.at = runtime::DialogRect{10, 10, 200, 120};
  Add(d, 1, ControlKind::kButton, "OK", {4, 4, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);
  (void)Events();
  EXPECT_EQ(Number(runtime::GetProperty(0, Prop::kWidth)), 200);
  EXPECT_EQ(Number(runtime::GetProperty(0, Prop::kHeight)), 120);
  EXPECT_EQ(runtime::GetProperty(0, Prop::kResizable), "1");

  runtime::SetProperty(0, Prop::kWidth, "260");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return Number(runtime::GetProperty(0, Prop::kWidth)) == 260; }, 2000));
  EXPECT_TRUE(Has(Events(), "EVENT:Sized"));
  runtime::SetProperty(0, Prop::kXPos, "30");
  EXPECT_TRUE(Has(Events(), "EVENT:Moved"));
  EXPECT_EQ(Number(runtime::GetProperty(0, Prop::kXPos)), 30);
  // The client area lies inside the window.
  EXPECT_GT(Number(runtime::GetProperty(0, Prop::kClientWidth)), 0);
  EXPECT_LE(Number(runtime::GetProperty(0, Prop::kClientWidth)), 260);

  runtime::SetProperty(0, Prop::kMinWidth, "150");
  runtime::SetProperty(0, Prop::kWidth, "100");
  EXPECT_EQ(Number(runtime::GetProperty(0, Prop::kWidth)), 150);

  runtime::SetProperty(0, Prop::kMaximized, "1");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return runtime::GetProperty(0, Prop::kMaximized) == "1"; }, 2000));
  EXPECT_TRUE(Has(Events(), "EVENT:Maximized"));
  runtime::SetProperty(0, Prop::kMaximized, "");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return runtime::GetProperty(0, Prop::kMaximized).empty(); }, 2000));
  EXPECT_TRUE(Has(Events(), "EVENT:Restored"));
}

// Ticks that come while the program is busy elsewhere wait as one event, never a pile; a window
// without a timer hears none.
TEST_F(FrameTest, TimerTicksNeverPileUp) {
  runtime::WindowDescription d;
  d.name = "TICKS";
  d.timer = 1;  // every hundredth of a second
  Add(d, 1, ControlKind::kButton, "OK", {4, 4, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);
  QTest::qWait(150);  // about fifteen ticks while no loop runs
  const auto seen = Events();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "EVENT:Timer"), 1);
  runtime::SetProperty(0, Prop::kTimer, "0");
  (void)Events();
  QTest::qWait(100);
  EXPECT_FALSE(Has(Events(), "EVENT:Timer"));
}

// Menu items and toolbar buttons give their own accepted events; an item with a standard action
// is carried out by the engine (close asks the loop to close the window); the status bar's zones
// take texts; F1 opens the window's help page.
TEST_F(FrameTest, MenusToolbarStatusBarAndHelp) {
  runtime::WindowDescription d;
  d.name = "FRAME";
  d.title = "Frame";
  d.help_id = "main";
  d.status_zones = {100, -1};
  Add(d, 1, ControlKind::kMenuBar);
  Add(d, 2, ControlKind::kMenu, "&File").parent = 1;
  Add(d, 3, ControlKind::kItem, "&Print").parent = 2;
  auto& close = Add(d, 4, ControlKind::kItem, "E&xit");
  close.parent = 2;
  close.action = runtime::StandardAction::kClose;
  Add(d, 5, ControlKind::kToolbar);
  auto& tool = Add(d, 6, ControlKind::kButton, "Insert");
  tool.parent = 5;
  tool.icon = "~insert.ico";
  tool.tip = "Insert a note";
  Add(d, 7, ControlKind::kEntry, "", {4, 4, 80, 12});
  runtime::Window window(d);
  OpenAndShow(window);
  (void)Events();
  (void)Events();
  auto* main = qobject_cast<QMainWindow*>(engine_.WidgetOf(window.id()));
  ASSERT_NE(main, nullptr);

  QAction* print = nullptr;
  QAction* exit = nullptr;
  for (QAction* a : main->findChildren<QAction*>()) {
    if (a->text() == "&Print") print = a;
    if (a->text() == "E&xit") exit = a;
  }
  ASSERT_NE(print, nullptr);
  ASSERT_NE(exit, nullptr);
  print->trigger();
  auto* toolbar = main->findChild<QToolBar*>();
  ASSERT_NE(toolbar, nullptr);
  QToolButton* button = nullptr;
  for (QAction* a : toolbar->actions()) {
    if (a->toolTip() == "Insert a note")
      button = qobject_cast<QToolButton*>(toolbar->widgetForAction(a));
  }
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->icon().isNull());
  EXPECT_EQ(button->toolTip(), "Insert a note");
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 3", "EVENT:Accepted 6"));

  runtime::SetProperty(0, Prop::kStatusText, "3 notes", 2);
  EXPECT_EQ(runtime::GetProperty(0, Prop::kStatusText, 2), "3 notes");
  bool shown = false;
  for (QWidget* w : main->statusBar()->findChildren<QWidget*>()) {
    if (w->property("text").toString() == "3 notes" && w->isVisible()) shown = true;
  }
  EXPECT_TRUE(shown);

  QTest::keyClick(Widget(window, 7), Qt::Key_F1);
  auto* help = qobject_cast<QTextBrowser*>(engine_.HelpWidget());
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->source().toString().endsWith("main.html"))
      << help->source().toString().toStdString();

  // The loop lets the close happen: the window closes and the loop ends.
  exit->trigger();
  std::vector<std::string> last;
  runtime::ACCEPT([&] {
    last.push_back(runtime::testing::TraceName(runtime::CurrentEvent()));
    return runtime::LoopControl::kNext;
  });
  EXPECT_THAT(last, ElementsAre("EVENT:CloseWindow"));
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(engine_.WidgetOf(window.id()), nullptr);
}

// Cut, copy and paste act on the focused control, and a paste that holds a character the program
// cannot store is refused whole; printer setup shows the desktop's printer dialog.
TEST_F(FrameTest, StandardActionsActOnTheFocusedControl) {
  char topic[20];
  std::memset(topic, ' ', sizeof topic);
  runtime::WindowDescription d;
  d.name = "EDIT";
  Add(d, 1, ControlKind::kEntry, "", {4, 4, 80, 12}).use =
      runtime::AnyRef{topic, sizeof topic, runtime::TypeCode::kString, 0};
  Add(d, 2, ControlKind::kButton, "Cu&t", {4, 20, 30, 14}).action = runtime::StandardAction::kCut;
  Add(d, 3, ControlKind::kButton, "&Copy", {36, 20, 30, 14}).action =
      runtime::StandardAction::kCopy;
  Add(d, 4, ControlKind::kButton, "&Paste", {68, 20, 30, 14}).action =
      runtime::StandardAction::kPaste;
  Add(d, 5, ControlKind::kButton, "P&rinter", {100, 20, 40, 14}).action =
      runtime::StandardAction::kPrintSetup;
  runtime::Window window(d);
  OpenAndShow(window);
  auto* entry = qobject_cast<QLineEdit*>(Widget(window, 1));
  ASSERT_NE(entry, nullptr);
  // A click on these buttons leaves the focus and the selection in the entry.
  QTest::keyClicks(entry, "Cafe notes");
  entry->selectAll();
  QTest::mouseClick(Widget(window, 3), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), "Cafe notes");
  QTest::mouseClick(Widget(window, 2), Qt::LeftButton);
  EXPECT_EQ(entry->text(), "");
  QTest::mouseClick(Widget(window, 4), Qt::LeftButton);
  EXPECT_EQ(entry->text(), "Cafe notes");
  QApplication::clipboard()->setText(QString::fromUtf8(" \u65e5\u672c"));
  QTest::mouseClick(Widget(window, 4), Qt::LeftButton);
  EXPECT_EQ(entry->text(), "Cafe notes");
  QApplication::clipboard()->setText(QString::fromUtf8(" \u00e0 \u20ac5"));
  QTest::mouseClick(Widget(window, 4), Qt::LeftButton);
  EXPECT_EQ(entry->text(), QString::fromUtf8("Cafe notes \u00e0 \u20ac5"));

  QString title;
  engine_.SetResponder([&](QWidget* dialog) {
    if (auto* print = qobject_cast<QAbstractPrintDialog*>(dialog)) {
      title = print->windowTitle();
      print->reject();
    }
  });
  QTest::mouseClick(Widget(window, 5), Qt::LeftButton);
  EXPECT_EQ(title, "Printer Setup");
}

// Controls on a tab stand where their description puts them in the window, whichever tab is in
// front: the sheet's tab bar and frame do not move them.
TEST_F(FrameTest, ControlsOnTabsStandAtTheirWindowPositions) {
  runtime::WindowDescription d;
  d.name = "TABS";
  Add(d, 1, ControlKind::kSheet, "", {5, 5, 200, 100});
  Add(d, 2, ControlKind::kTab, "&First").parent = 1;
  Add(d, 3, ControlKind::kEntry, "", {15, 30, 80, 12}).parent = 2;
  Add(d, 4, ControlKind::kTab, "&Second").parent = 1;
  Add(d, 5, ControlKind::kEntry, "", {20, 40, 80, 12}).parent = 4;
  runtime::Window window(d);
  OpenAndShow(window);
  EXPECT_EQ(runtime::GetProperty(3, Prop::kXPos), "15");
  EXPECT_EQ(runtime::GetProperty(3, Prop::kYPos), "30");
  EXPECT_EQ(runtime::GetProperty(5, Prop::kXPos), "20");
  EXPECT_EQ(runtime::GetProperty(5, Prop::kYPos), "40");
}

}  // namespace
}  // namespace pellucor::ui
