// Input synthesised on real widgets gives the events each control kind promises, in order, and
// typed values reach the bound variables through their pictures.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <algorithm>
#include <cstring>

#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"
#include "ui_test_util.h"

namespace pellucor::ui {
namespace {

using runtime::ControlKind;
using runtime::TypeCode;
using testing::Add;
using ::testing::ElementsAre;
using testing::UiTest;

using ControlsTest = UiTest;

template <size_t N>
runtime::AnyRef StringRef(char (&s)[N]) {
  return runtime::AnyRef{s, static_cast<uint32_t>(N), TypeCode::kString, 0};
}
runtime::AnyRef LongRef(int32_t& v, TypeCode type = TypeCode::kLong) {
  return runtime::AnyRef{&v, 4, type, 0};
}
// Types characters one by one, as a keyboard layout that has them would.
void TypeText(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
}
std::string Trimmed(const char* s, size_t n) {
  std::string out(s, n);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

TEST_F(ControlsTest, ButtonsChecksAndEntriesGiveTheirEventsInOrder) {
  char topic[20];
  std::memset(topic, ' ', sizeof topic);
  char done[1] = {'N'};
  runtime::WindowDescription d;
  d.name = "FORM";
  d.title = "Form";
  Add(d, 1, ControlKind::kPrompt, "&Topic:", {4, 4, 30, 10});
  Add(d, 2, ControlKind::kEntry, "", {40, 4, 80, 12}).use = StringRef(topic);
  auto& check = Add(d, 3, ControlKind::kCheck, "&Done", {40, 20, 60, 12});
  check.use = StringRef(done);
  check.true_value = "Y";
  check.false_value = "N";
  Add(d, 4, ControlKind::kButton, "OK", {40, 40, 40, 14});
  runtime::Window window(d);
  OpenAndShow(window);
  runtime::DISPLAY();
  // The first control that takes input has the focus.
  std::vector<std::string> first = Events();
  for (const std::string& e : Events()) first.push_back(e);  // activation is noticed late
  EXPECT_THAT(first, ElementsAre("EVENT:OpenWindow", "EVENT:Selected 2", "EVENT:GainFocus"));

  auto* entry = qobject_cast<QLineEdit*>(Widget(window, 2));
  ASSERT_NE(entry, nullptr);
  QTest::keyClicks(entry, "Groceries");
  QTest::keyClick(entry, Qt::Key_Tab);  // leaving a changed entry accepts it
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 2", "EVENT:Selected 3"));
  EXPECT_EQ(Trimmed(topic, sizeof topic), "Groceries");
  auto* box = qobject_cast<QCheckBox*>(Widget(window, 3));
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 3"));
  EXPECT_EQ(done[0], 'Y');
  QTest::mouseClick(Widget(window, 4), Qt::LeftButton);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 4", "EVENT:Accepted 4"));

  // Enter accepts too; an unchanged entry that is left says nothing. A selection that focus
  // has left before the loop saw it is never handed out.
  runtime::SELECT(2);
  QTest::keyClicks(entry, "!");
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 2", "EVENT:Accepted 2"));
  QTest::keyClick(entry, Qt::Key_Tab);
  runtime::SELECT(2);
  QTest::keyClick(entry, Qt::Key_Tab);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 3", "EVENT:Selected 3"));
  EXPECT_EQ(Trimmed(topic, sizeof topic), "Groceries!");
  // The prompt's mnemonic takes the user to the entry it labels.
  EXPECT_EQ(qobject_cast<QLabel*>(engine_.ControlWidget(window.id(), 1))->buddy(), entry);
  EXPECT_EQ(entry->accessibleName(), "Topic:");
}

TEST_F(ControlsTest, SpinsDropListsTabsAndTextBoxesGiveTheirEvents) {
  int32_t count = 3;
  char colour[10];
  std::memset(colour, ' ', sizeof colour);
  char memo[40];
  std::memset(memo, ' ', sizeof memo);
  runtime::WindowDescription d;
  d.name = "KINDS";
  auto& spin = Add(d, 1, ControlKind::kSpin, "", {4, 4, 40, 12});
  spin.use = LongRef(count);
  spin.range_low = 1;
  spin.range_high = 5;
  auto& drop = Add(d, 2, ControlKind::kDropList, "", {50, 4, 60, 12});
  drop.use = StringRef(colour);
  drop.from = "Red|Green|Blue";
  Add(d, 3, ControlKind::kText, "", {4, 20, 100, 30}).use = StringRef(memo);
  Add(d, 4, ControlKind::kSheet, "", {4, 56, 120, 50});
  Add(d, 5, ControlKind::kTab, "&First").parent = 4;
  Add(d, 6, ControlKind::kTab, "&Second").parent = 4;
  runtime::Window window(d);
  OpenAndShow(window);
  runtime::DISPLAY();
  (void)Events();
  (void)Events();

  auto* s = qobject_cast<QSpinBox*>(Widget(window, 1));
  EXPECT_EQ(s->value(), 3);
  QTest::keyClick(s, Qt::Key_Up);
  QTest::keyClick(s, Qt::Key_Up);
  QTest::keyClick(s, Qt::Key_Up);  // the range ends at 5
  EXPECT_THAT(Events(), ElementsAre("EVENT:NewSelection 1", "EVENT:NewSelection 1"));
  EXPECT_EQ(count, 5);

  auto* combo = qobject_cast<QComboBox*>(Widget(window, 2));
  combo->setFocus();
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 1", "EVENT:Selected 2"));
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_THAT(Events(), ElementsAre("EVENT:NewSelection 2", "EVENT:Accepted 2"));
  EXPECT_EQ(Trimmed(colour, sizeof colour), "Red");

  auto* text = qobject_cast<QPlainTextEdit*>(Widget(window, 3));
  text->setFocus();
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 3"));
  QTest::keyClicks(text, "milk");
  QTest::keyClick(text, Qt::Key_Return);
  QTest::keyClicks(text, "eggs");
  QTest::keyClick(text, Qt::Key_Tab);  // Tab leaves a text box
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 3", "EVENT:Selected 4"));
  EXPECT_EQ(Trimmed(memo, sizeof memo), "milk\r\neggs");

  auto* bar = qobject_cast<QTabBar*>(Widget(window, 4));
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_THAT(Events(), ElementsAre("EVENT:TabChanging 4", "EVENT:NewSelection 4"));
  EXPECT_EQ(runtime::GetProperty(4, runtime::Prop::kChoice), "2");
}

// One entry per picture, each bound to a variable of its own.
struct PictureCase {
  const char* picture;
  TypeCode type;
};

TEST_F(ControlsTest, EntriesShowAndReadBackThroughTheirPictures) {
  const int32_t day = runtime::DATE(10, 5, 2023);
  // DATE variables keep their own packed form; the accessors give day numbers.
  int32_t date17_bytes = 0;
  int32_t date17b_bytes = 0;
  auto date17_ref = LongRef(date17_bytes, TypeCode::kDate);
  auto date17b_ref = LongRef(date17b_bytes, TypeCode::kDate);
  auto day_of = [](const runtime::AnyRef& r) {
    return runtime::AccessorFactory(r.type, r.address, r.size)->GetInteger();
  };
  runtime::AccessorFactory(TypeCode::kDate, &date17_bytes, 4)->SetInteger(day);
  int32_t amount = -1234;
  char name[60];
  std::memset(name, ' ', sizeof name);
  std::memcpy(name, "Ada", 3);
  runtime::WindowDescription d;
  d.name = "PICTURES";
  auto entry = [&](int32_t n, const char* picture, runtime::AnyRef use) {
    auto& c = Add(d, n, ControlKind::kEntry, "", {4, 4 + 16 * (n - 1), 120, 12});
    c.picture = picture;
    c.use = use;
  };
  entry(1, "@d17", date17_ref);
  entry(2, "@D17B", date17b_ref);
  entry(3, "@s60", StringRef(name));
  entry(4, "@n-6", LongRef(amount));
  runtime::Window window(d);
  OpenAndShow(window);
  runtime::DISPLAY();
  auto text = [&](int32_t n) { return qobject_cast<QLineEdit*>(Widget(window, n))->text(); };
  const std::string shown17 = runtime::FORMAT(day, runtime::CompilePicture("@d17"));
  EXPECT_EQ(text(1).toStdString(), shown17);
  EXPECT_EQ(text(2), "");  // blank when zero
  EXPECT_EQ(text(3), "Ada");
  EXPECT_EQ(text(4).toStdString(), runtime::FORMAT(-1234, runtime::CompilePicture("@n-6")));
  (void)Events();
  (void)Events();

  // Typed values read back into the variables.
  auto retype = [&](int32_t n, const QString& typed) {
    auto* e = qobject_cast<QLineEdit*>(Widget(window, n));
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, typed);
    QTest::keyClick(e, Qt::Key_Return);
  };
  const std::string other = runtime::FORMAT(day + 40, runtime::CompilePicture("@d17"));
  retype(1, QString::fromStdString(other));
  retype(2, QString::fromStdString(shown17));
  retype(3, "Grace Hopper");
  retype(4, "-9999");
  EXPECT_EQ(day_of(date17_ref), day + 40);
  EXPECT_EQ(day_of(date17b_ref), day);
  EXPECT_EQ(Trimmed(name, sizeof name), "Grace Hopper");
  EXPECT_EQ(amount, -9999);
  (void)Events();

  // Text that does not read back is rejected and the variable keeps its value.
  (void)Events();
  retype(1, "next tuesday");
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 1", "EVENT:Rejected 1"));
  retype(4, "12x");
  retype(4, "1234567");  // wider than the picture
  // Leaving text that does not read back is rejected as well.
  EXPECT_THAT(Events(), ElementsAre("EVENT:Rejected 1", "EVENT:Selected 4", "EVENT:Rejected 4",
                                    "EVENT:Rejected 4"));
  EXPECT_EQ(day_of(date17_ref), day + 40);
  EXPECT_EQ(amount, -9999);

  // The accept-all pass stops at the entry that does not read back.
  // The pass runs once the queue is empty, so it is read up to its end here.
  auto pass = [] {
    std::vector<std::string> seen;
    runtime::SELECT();
    runtime::ACCEPT([&] {
      seen.push_back(runtime::testing::TraceName(runtime::CurrentEvent()));
      const runtime::Event e = runtime::EVENT();
      return e == runtime::Event::kCompleted || e == runtime::Event::kRejected
                 ? runtime::LoopControl::kLeave
                 : runtime::LoopControl::kContinue;
    });
    return seen;
  };
  (void)Events();
  EXPECT_THAT(pass(), ElementsAre("EVENT:Rejected 1"));
  EXPECT_EQ(day_of(date17_ref), day + 40);
  runtime::DISPLAY(1);
  runtime::DISPLAY(4);
  EXPECT_EQ(qobject_cast<QLineEdit*>(Widget(window, 1))->text().toStdString(), other);
  EXPECT_THAT(pass(), ElementsAre("EVENT:Accepted 1", "EVENT:Accepted 2", "EVENT:Accepted 3",
                                  "EVENT:Accepted 4", "EVENT:Completed"));

  // A date of none shows as the picture's separators and reads back as none.
  runtime::AccessorFactory(TypeCode::kDate, &date17_bytes, 4)->SetInteger(0);
  runtime::DISPLAY(1);
  EXPECT_EQ(text(1).trimmed(),
            QString::fromStdString(runtime::FORMAT(0, runtime::CompilePicture("@d17"))).trimmed());
  EXPECT_THAT(pass(), ElementsAre("EVENT:Accepted 1", "EVENT:Accepted 2", "EVENT:Accepted 3",
                                  "EVENT:Accepted 4", "EVENT:Completed"));
  EXPECT_EQ(day_of(date17_ref), 0);
}

TEST_F(ControlsTest, AMemoOf5050CharactersRoundTrips) {
  static char memo[5050];
  for (size_t i = 0; i < sizeof memo; ++i) {
    memo[i] = static_cast<char>('a' + i % 26);
    if (i % 70 == 68) memo[i] = '\r';
    if (i % 70 == 69) memo[i] = '\n';
  }
  memo[sizeof memo - 1] = static_cast<char>(0xE9);  // é, a Windows-1252 letter beyond ASCII
  const std::string original(memo, sizeof memo);
  runtime::WindowDescription d;
  d.name = "MEMO";
  Add(d, 1, ControlKind::kText, "", {4, 4, 200, 100}).use = StringRef(memo);
  runtime::Window window(d);
  OpenAndShow(window);
  runtime::DISPLAY();
  std::memset(memo, ' ', sizeof memo);
  runtime::UPDATE();
  EXPECT_EQ(std::string(memo, sizeof memo), original);
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(Widget(window, 1))->toPlainText().size(),
            5050 - 5050 / 70);
}

TEST_F(ControlsTest, ACharacterWindows1252CannotHoldIsRefusedWhereTyped) {
  char topic[20];
  std::memset(topic, ' ', sizeof topic);
  char memo[20];
  std::memset(memo, ' ', sizeof memo);
  runtime::WindowDescription d;
  d.name = "REFUSE";
  d.status_zones = {-1};
  Add(d, 1, ControlKind::kEntry, "", {4, 4, 80, 12}).use = StringRef(topic);
  Add(d, 2, ControlKind::kText, "", {4, 20, 80, 30}).use = StringRef(memo);
  runtime::Window window(d);
  OpenAndShow(window);
  auto* entry = qobject_cast<QLineEdit*>(Widget(window, 1));
  TypeText(entry, QString::fromUtf8("caf\xC3\xA9 \xCE\xA9 \xE2\x82\xAC"));  // café Ω €
  EXPECT_EQ(entry->text(), QString::fromUtf8("caf\xC3\xA9  \xE2\x82\xAC"));
  EXPECT_THAT(runtime::GetProperty(0, runtime::Prop::kStatusText, 1),
              ::testing::HasSubstr("cannot be stored"));
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(Trimmed(topic, sizeof topic), "caf\xE9  \x80");

  auto* text = qobject_cast<QPlainTextEdit*>(Widget(window, 2));
  text->setFocus();
  TypeText(text, QString::fromUtf8("a\xE2\x86\x92z"));  // a→z
  EXPECT_EQ(text->toPlainText(), "az");
}

}  // namespace
}  // namespace pellucor::ui

namespace pellucor::ui {
namespace {

TEST_F(ControlsTest, EveryControlTheKeyboardReachesHasAName) {
  // Controls without a text of their own: a memo drawn inside a group's frame, a spin box with a
  // prompt, a combo with a tip, and a tab sheet; their inner parts (a spin box's line, a sheet's
  // tab bar) are reached by the keyboard too.
  char memo[60];
  std::memset(memo, ' ', sizeof memo);
  int32_t count = 1;
  char where[10];
  std::memset(where, ' ', sizeof where);
  runtime::WindowDescription d;
  d.name = "NAMES";
  d.title = "Names";
  Add(d, 1, ControlKind::kGroup, "Notes", {4, 4, 120, 50});
  Add(d, 2, ControlKind::kText, "", {10, 16, 100, 30}).use = StringRef(memo);
  Add(d, 3, ControlKind::kPrompt, "&Count:", {4, 60, 30, 10});
  Add(d, 4, ControlKind::kSpin, "", {40, 60, 40, 12}).use = LongRef(count);
  auto& combo = Add(d, 5, ControlKind::kCombo, "", {4, 76, 70, 12});
  combo.use = StringRef(where);
  combo.tip = "Where the note belongs";
  Add(d, 6, ControlKind::kSheet, "", {130, 4, 100, 60});
  Add(d, 7, ControlKind::kTab, "&General", {}).parent = 6;
  Add(d, 8, ControlKind::kTab, "&More", {}).parent = 6;
  runtime::Window window(d);
  OpenAndShow(window);
  QWidget* w = engine_.WidgetOf(window.id());
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (c->focusPolicy() == Qt::NoFocus || !c->isVisible()) continue;
    EXPECT_FALSE(c->accessibleName().isEmpty())
        << c->objectName().toStdString() << " (" << c->metaObject()->className() << ")";
  }
  EXPECT_EQ(Widget(window, 2)->accessibleName(), "Notes");
  EXPECT_EQ(Widget(window, 6)->accessibleName(), "General, More");
}

}  // namespace
}  // namespace pellucor::ui

namespace pellucor::ui {
namespace {

// Everything the mouse does, the keyboard does too: a prompt's letter reaches its entry, a check
// box's and a button's letters press them, Enter presses the focused button or else the default
// one (after the entry took its text), and Tab visits every control that takes input.
TEST_F(ControlsTest, TheKeyboardReachesEveryControl) {
  char topic[20];
  std::memset(topic, ' ', sizeof topic);
  char done[1] = {'N'};
  int32_t count = 1;
  runtime::WindowDescription d;
  d.name = "KEYS";
  d.title = "Keys";
  Add(d, 1, ControlKind::kPrompt, "&Topic:", {4, 4, 30, 10});
  Add(d, 2, ControlKind::kEntry, "", {40, 4, 80, 12}).use = StringRef(topic);
  auto& check = Add(d, 3, ControlKind::kCheck, "&Done", {40, 20, 60, 12});
  check.use = StringRef(done);
  check.true_value = "Y";
  check.false_value = "N";
  Add(d, 4, ControlKind::kPrompt, "&Count:", {4, 36, 30, 10});
  Add(d, 5, ControlKind::kSpin, "", {40, 36, 40, 12}).use = LongRef(count);
  Add(d, 6, ControlKind::kList, "", {4, 52, 120, 40}).format = "80L~Topic~";
  Add(d, 7, ControlKind::kButton, "&Save", {4, 96, 40, 14});
  Add(d, 8, ControlKind::kButton, "OK", {50, 96, 40, 14}).flags.is_default = true;
  runtime::Window window(d);
  OpenAndShow(window);
  (void)Events();
  (void)Events();

  QWidget* save = Widget(window, 7);
  save->setFocus();
  QTest::keyClick(save, Qt::Key_T, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), Widget(window, 2));
  // A letter presses its button a moment later, as the desktop shows a press; a check box takes
  // the focus, a push button leaves it where it was.
  auto* box = qobject_cast<QCheckBox*>(Widget(window, 3));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return box->isChecked(); }, 2000));
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 3", "EVENT:Accepted 3"));
  EXPECT_EQ(done[0], 'Y');
  int pressed = 0;
  QObject::connect(qobject_cast<QPushButton*>(save), &QPushButton::clicked, [&] { ++pressed; });
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return pressed == 1; }, 2000));
  EXPECT_THAT(Events(), ElementsAre("EVENT:Accepted 7"));

  runtime::SELECT(2);
  QTest::keyClicks(Widget(window, 2), "Bread");
  QTest::keyClick(Widget(window, 2), Qt::Key_Return);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 2", "EVENT:Accepted 2", "EVENT:Accepted 8"));
  EXPECT_EQ(Trimmed(topic, sizeof topic), "Bread");
  runtime::SELECT(7);
  QTest::keyClick(Widget(window, 7), Qt::Key_Return);
  EXPECT_THAT(Events(), ElementsAre("EVENT:Selected 7", "EVENT:Accepted 7"));

  // Tab from the entry comes round to it again, past every control that takes input.
  Widget(window, 2)->setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 12 && (visited.empty() || QApplication::focusWidget() != Widget(window, 2));
       ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  for (int32_t control : {3, 5, 6, 7, 8}) {
    QWidget* w = Widget(window, control);
    const bool reached = std::any_of(visited.begin(), visited.end(),
                                     [&](QWidget* v) { return v == w || w->isAncestorOf(v); });
    EXPECT_TRUE(reached) << "control " << control;
  }
  EXPECT_EQ(visited.back(), Widget(window, 2));
}

}  // namespace
}  // namespace pellucor::ui
