// Shared by the query tests: a query over the note table's columns as the notes browse offers
// them, an error manager and an INI manager on a settings file of the test's own, and message
// boxes answered in turn through the engine's responder, each one recorded.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/error/error_manager.h"
#include "framework/ini/ini_manager.h"
#include "framework/query/query_manager.h"
#include "tests/platform/temp_dir.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::framework::testing {

inline void AddNoteColumns(QueryManager& query) {
  query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");
  query.AddField("UPPER(sno:Done)", "Done?", "@s2");
  query.AddField("UPPER(sno:NOTEDATE)", "Note Date", "@D17");
  query.AddField("UPPER(sno:REMINDERDATE)", "Reminder Date", "@D17");
  query.AddField("UPPER(sno:MAINMEMO)", "Memo", "@s40");
}

// Drives a procedure's windows from the idle turns of its ACCEPT loop: a step runs as program
// code once the loop has handed out every event, and only while the window it names is the
// current, active one. A timer wakes the loop so that idle turns keep coming while a window
// opens. A script whose steps never run leaves its window open: the test's reaper ends it.
class Script {
 public:
  explicit Script(ui::QtEngine& engine) : engine_(engine), thread_(runtime::THREAD()) {
    runtime::SetIdleProcedure([this] { Turn(); });
    QObject::connect(&waker_, &QTimer::timeout, [this] { engine_.Wake(thread_); });
    waker_.start(10);
  }
  ~Script() {
    waker_.stop();
    runtime::SetIdleProcedure({});
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  Script& On(std::string window, std::function<void()> action) {
    steps_.push_back({std::move(window), std::move(action)});
    return *this;
  }
  [[nodiscard]] size_t Left() const { return steps_.size(); }

 private:
  void Turn() {
    if (steps_.empty() || running_) return;
    QWidget* top = engine_.WidgetOf(runtime::CurrentWindow());
    if (top == nullptr || top->objectName().toStdString() != steps_.front().window) return;
    if (!top->isActiveWindow()) {
      // The offscreen platform has no window manager to hand activation back to a window once
      // a message box over it has closed: the script does what a window manager would.
      top->activateWindow();
      return;
    }
    const std::function<void()> action = std::move(steps_.front().action);
    steps_.pop_front();
    running_ = true;
    action();
    running_ = false;
  }

  struct Step {
    std::string window;
    std::function<void()> action;
  };
  ui::QtEngine& engine_;
  runtime::ThreadNumber thread_;
  QTimer waker_;
  std::deque<Step> steps_;
  bool running_ = false;
};

class QueryTest : public ui::testing::UiTest {
 protected:
  QueryTest() : file_(dir_ / "KNB4.INI") {
    errors_.Init();
    ini_.Init(file_);
    engine_.SetResponder([this](QWidget* dialog) { Answer(dialog); });
  }
  ~QueryTest() override { errors_.Kill(); }

  // The next message boxes are answered with these buttons (runtime button codes), in order;
  // once they run out, with OK (or the box's default).
  void AnswerWith(std::vector<int32_t> buttons) { answers_.assign(buttons.begin(), buttons.end()); }

  // Every box shown, as "title: text".
  std::vector<std::string> boxes_;

  // User input on the current window's controls, as QTest gives it.
  QWidget* Control(int32_t control) {
    QWidget* w = engine_.ControlWidget(runtime::CurrentWindow(), control);
    EXPECT_NE(w, nullptr) << "control " << control;
    return w;
  }
  void Click(int32_t control) { QTest::mouseClick(Control(control), Qt::LeftButton); }
  void Type(int32_t control, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(Control(control));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  void Toggle(int32_t control) { QTest::keyClick(Control(control), Qt::Key_Space); }
  // Entry `index` (from 0) of a drop list, chosen with the keyboard.
  void Choose(int32_t control, int index) {
    auto* box = qobject_cast<QComboBox*>(Control(control));
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentIndex(), index);
  }
  std::string Chosen(int32_t control) {
    auto* box = qobject_cast<QComboBox*>(Control(control));
    return box != nullptr ? box->currentText().toStdString() : "?";
  }
  std::string Entries(int32_t control) {
    auto* box = qobject_cast<QComboBox*>(Control(control));
    std::string out;
    for (int i = 0; box != nullptr && i < box->count(); ++i) {
      out += (i > 0 ? "|" : "") + box->itemText(i).toStdString();
    }
    return out;
  }
  std::string Text(int32_t control) {
    auto* edit = qobject_cast<QLineEdit*>(Control(control));
    return edit != nullptr ? edit->text().toStdString() : "?";
  }
  // The rows a list shows, their columns joined with " | ".
  std::vector<std::string> Rows(int32_t control) {
    auto* tree = qobject_cast<QTreeWidget*>(Control(control));
    std::vector<std::string> rows;
    for (int r = 0; tree != nullptr && r < tree->topLevelItemCount(); ++r) {
      std::string row;
      for (int c = 0; c < tree->columnCount(); ++c) {
        row += (c > 0 ? " | " : "") + tree->topLevelItem(r)->text(c).toStdString();
      }
      rows.push_back(row);
    }
    return rows;
  }
  void ClickRow(int32_t control, int row) {
    auto* tree = qobject_cast<QTreeWidget*>(Control(control));
    ASSERT_NE(tree, nullptr);
    ASSERT_LT(row, tree->topLevelItemCount());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(row)).center());
  }

  platform::testing::TempDir dir_;
  std::string file_;
  ErrorManager errors_;
  IniManager ini_;

 private:
  void Answer(QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (box == nullptr) {
      dialog->close();
      return;
    }
    boxes_.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
    int32_t code = 0;
    if (!answers_.empty()) {
      code = answers_.front();
      answers_.pop_front();
    }
    QPushButton* button =
        code != 0 ? box->findChild<QPushButton*>(QStringLiteral("button%1").arg(code)) : nullptr;
    if (button == nullptr) button = box->defaultButton();
    button->click();
  }

  std::deque<int32_t> answers_;
};

}  // namespace pellucor::framework::testing
