// A user for the report tests: steps that run once the named window is in front, from the GUI
// thread's own event handling while a procedure's ACCEPT loop waits, as a person's input would;
// and the few things such a user does (choose a menu item, set a spin box, type into a control).
#pragma once

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace pellucor::report::testing {

class User {
 public:
  using Step = std::function<void(QWidget* window)>;
  User() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
  }
  void Add(std::string window, Step step) {
    steps_.push_back({std::move(window), std::move(step), {}});
  }
  // A step that waits, besides, until `ready` says so (a message box it expects has been
  // answered).
  void AddWhen(std::string window, std::function<bool()> ready, Step step) {
    steps_.push_back({std::move(window), std::move(step), std::move(ready)});
  }
  [[nodiscard]] bool Done() const { return steps_.empty(); }
  [[nodiscard]] size_t Left() const { return steps_.size(); }

  static QWidget* Control(QWidget* window, int number) {
    return window->findChild<QWidget*>(QStringLiteral("control%1").arg(number));
  }
  // Chooses the menu item or tool button whose text is `text` ("&Print").
  static bool Choose(QWidget* window, const QString& text) {
    for (QAction* a : window->findChildren<QAction*>()) {
      if (a->text() == text && a->isEnabled() && a->isVisible()) {
        a->trigger();
        return true;
      }
    }
    return false;
  }
  static QAction* Action(QWidget* window, const QString& text) {
    for (QAction* a : window->findChildren<QAction*>()) {
      if (a->text() == text) return a;
    }
    return nullptr;
  }
  static void SetSpin(QWidget* window, int number, int value) {
    if (auto* spin = qobject_cast<QSpinBox*>(Control(window, number))) spin->setValue(value);
  }
  // Types `text` into an entry or an editable combo, then Enter (which may press the window's
  // default button).
  static void Type(QWidget* window, int number, const QString& text, bool enter = true) {
    QWidget* c = Control(window, number);
    QLineEdit* line = qobject_cast<QLineEdit*>(c);
    if (auto* combo = qobject_cast<QComboBox*>(c)) line = combo->lineEdit();
    if (line == nullptr) return;
    line->setFocus();
    line->selectAll();
    QTest::keyClicks(line, text);
    if (enter) QTest::keyClick(line, Qt::Key_Return);
  }
  static QString Status(QWidget* window, int zone) {
    auto* label = window->findChild<QLabel*>(QStringLiteral("zone%1").arg(zone));
    return label != nullptr ? label->text() : QString();
  }

 private:
  void Tick() {
    if (steps_.empty() || QApplication::activeModalWidget() != nullptr) return;
    QWidget* front = QApplication::activeWindow();
    if (front == nullptr || front->objectName().toStdString() != steps_.front().window) return;
    if (steps_.front().ready && !steps_.front().ready()) return;
    // A window is disabled while a message box of its thread is up, and until the box has gone.
    if (!front->isEnabled()) return;
    // REPORT_TEST_TRACE=1 shows which steps ran, for a test that waits for a window in vain.
    if (std::getenv("REPORT_TEST_TRACE") != nullptr) {
      QWidget* focus = QApplication::focusWidget();
      std::fprintf(stderr, "step on %s, focus %s\n", steps_.front().window.c_str(),
                   focus != nullptr ? focus->objectName().toLocal8Bit().constData() : "-");
    }
    Step step = std::move(steps_.front().step);
    steps_.pop_front();
    step(front);
  }
  QTimer timer_;
  struct Pending {
    std::string window;
    Step step;
    std::function<bool()> ready;
  };
  std::deque<Pending> steps_;
};

}  // namespace pellucor::report::testing
