// Shared by the procedure tests: the real engine offscreen, a user who acts on the window in
// front while a procedure waits for events, and a responder that records every message box and
// answers it.
#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/ui/ui_test_util.h"

namespace pellucor::app::testing {

struct Box {
  std::string title;
  std::string text;
};

// Steps of a user, each run once the window named `window` is in front and no dialog is up. They
// run from the GUI thread's own event handling while the procedure's ACCEPT loop waits, as a
// person's input would.
class User {
 public:
  using Step = std::function<void(QWidget* window)>;
  User() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  }
  void Add(std::string window, Step step) {
    steps_.push_back({std::move(window), std::move(step)});
  }
  void Start() { timer_.start(); }
  [[nodiscard]] bool Done() const { return steps_.empty(); }

  // Saves a picture of `window` as NAME.png in $PELLUCOR_SHOT_DIR, when that is set: how a
  // person looks at the windows the tests drive.
  static void Shot(QWidget* window, const std::string& name) {
    if (const char* dir = std::getenv("PELLUCOR_SHOT_DIR"); dir != nullptr && *dir != '\0') {
      window->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
    }
  }
  // The control `number` of `window`.
  static QWidget* Control(QWidget* window, int32_t number) {
    return window->findChild<QWidget*>(QStringLiteral("control%1").arg(number));
  }

 private:
  void Tick() {
    if (steps_.empty() || QApplication::activeModalWidget() != nullptr) return;
    // The newest visible, usable window of that name: a person would click it to the front.
    QWidget* front = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible() && w->isEnabled() &&
          w->objectName().toStdString() == steps_.front().first) {
        front = w;
      }
    }
    if (front == nullptr) return;
    if (QApplication::activeWindow() != front) {
      front->activateWindow();
      return;  // acts once the desktop has brought it to the front
    }
    Step step = std::move(steps_.front().second);
    steps_.pop_front();
    step(front);
  }
  QTimer timer_;
  std::deque<std::pair<std::string, Step>> steps_;
};

class ProcedureTest : public ui::testing::UiTest {
 protected:
  ProcedureTest() {
    engine_.SetResponder([this](QWidget* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (box == nullptr) return;
      boxes_.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
      int32_t answer = 0;
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      QPushButton* button =
          answer != 0 ? box->findChild<QPushButton*>("button" + QString::number(answer)) : nullptr;
      if (button == nullptr) button = box->defaultButton();
      button->click();
    });
  }

  std::vector<std::string> Titles() const {
    std::vector<std::string> t;
    for (const Box& b : boxes_) t.push_back(b.title);
    return t;
  }

  testsupport::ScratchCwd dir_;  // the program's data directory while a test runs
  User user_;
  std::vector<Box> boxes_;
  std::deque<int32_t> answers_;
};

}  // namespace pellucor::app::testing
