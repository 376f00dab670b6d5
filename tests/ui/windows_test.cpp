// Lists and dialogs answered through the responder, on real widgets.
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "ui_test_util.h"

namespace pellucor::ui {
namespace {

using runtime::ControlKind;
using testing::Add;
using ::testing::ElementsAre;
using testing::UiTest;

using WindowsTest = UiTest;

struct ThreeRows : runtime::ListRows {
  int32_t RowCount() const override { return 3; }
  std::string Field(int32_t row, int32_t field) const override {
    if (field == 1) return "Row " + std::to_string(row);
    return std::to_string(row == 2 ? 1 : 0);  // only the second row has an icon
  }
};

TEST_F(WindowsTest, AListTurnsItsEdgesIntoScrollEvents) {
  runtime::WindowDescription d;
  d.name = "LIST";
  auto& list = Add(d, 1, ControlKind::kList, "", {4, 4, 120, 60});
  list.format = "80L(2)|MI~Title~#1#";
  list.icon_list = {"~mark.ico"};
  runtime::Window window(d);
  OpenAndShow(window);
  ThreeRows rows;
  runtime::SetListRows(1, &rows);
  runtime::DISPLAY();
  auto* tree = qobject_cast<QTreeWidget*>(Widget(window, 1));
  ASSERT_EQ(tree->topLevelItemCount(), 3);
  EXPECT_EQ(tree->topLevelItem(1)->text(0), "Row 2");
  EXPECT_TRUE(tree->topLevelItem(0)->icon(0).isNull());
  EXPECT_FALSE(tree->topLevelItem(1)->icon(0).isNull());
  EXPECT_EQ(tree->headerItem()->text(0), "Title");
  (void)Events();
  (void)Events();

  QTest::keyClick(tree, Qt::Key_Up);  // on the first row
  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);  // on the last row
  QTest::keyClick(tree, Qt::Key_PageUp);
  QTest::keyClick(tree, Qt::Key_PageDown);
  QTest::keyClick(tree, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(tree, Qt::Key_End, Qt::ControlModifier);
  EXPECT_THAT(Events(),
              ElementsAre("EVENT:ScrollUp 1", "EVENT:NewSelection 1", "EVENT:NewSelection 1",
                          "EVENT:ScrollDown 1", "EVENT:PageUp 1", "EVENT:PageDown 1",
                          "EVENT:ScrollTop 1", "EVENT:ScrollBottom 1"));
  EXPECT_EQ(runtime::GetProperty(1, runtime::Prop::kChoice), "3");
}

TEST_F(WindowsTest, MessageBoxesAndPopupsAreAnsweredThroughTheResponder) {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString default_button;
  engine_.SetResponder([&](QWidget* dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      text = box->text();
      icon = box->icon();
      default_button = box->defaultButton()->objectName();
      box->findChild<QPushButton*>("button4")->click();  // No
    } else if (auto* menu = qobject_cast<QMenu*>(dialog)) {
      // The third choosable item sits inside the submenu.
      for (QAction* a : menu->actions()) {
        if (a->menu() != nullptr) a->menu()->actions().at(1)->trigger();
      }
    }
  });
  const int32_t answer =
      runtime::MESSAGE("Save the note?|It has changed.", "Notes", runtime::MessageIcon::kQuestion,
                       runtime::button::kYes + runtime::button::kNo + runtime::button::kCancel,
                       runtime::button::kCancel);
  EXPECT_EQ(answer, runtime::button::kNo);
  EXPECT_EQ(text, "Save the note?\nIt has changed.");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(default_button, "button64");

  runtime::WindowDescription d;
  d.name = "POP";
  Add(d, 1, ControlKind::kButton, "OK", {4, 4, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);
  EXPECT_EQ(runtime::POPUP("&Insert|-|{&Query|Saved|+Empty}|&Select"), 3);
}

// The desktop session wants to end while a form holds typed text: the program says no, with a
// system-modal warning when it may speak, and the form keeps what was typed.
TEST_F(WindowsTest, TheSessionsQuitRequestIsRefusedAndKeepsTheFormsText) {
  runtime::WindowDescription d;
  d.name = "FORM";
  Add(d, 1, ControlKind::kEntry, "", {4, 4, 80, 12});
  runtime::Window window(d);
  OpenAndShow(window);
  auto* entry = qobject_cast<QLineEdit*>(Widget(window, 1));
  ASSERT_NE(entry, nullptr);
  QTest::keyClicks(entry, "unsaved");
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::WindowModality modality = Qt::NonModal;
  int boxes = 0;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    ++boxes;
    text = box->text();
    icon = box->icon();
    modality = box->windowModality();
    box->defaultButton()->click();
  });
  EXPECT_FALSE(engine_.AnswerSessionEnd(true));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(text, "Application still active.\n\nQuit the application before quitting Windows.");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(modality, Qt::ApplicationModal);
  EXPECT_FALSE(engine_.AnswerSessionEnd(false));  // no interaction allowed: still no, silently
  EXPECT_EQ(boxes, 1);
  EXPECT_NE(engine_.WidgetOf(window.id()), nullptr);
  EXPECT_EQ(entry->text(), "unsaved");
}

}  // namespace
}  // namespace pellucor::ui
