// ui-gallery: one window that holds every control kind, and a second program thread's window,
// for looking at the window engine. Every event either window receives is written to standard
// output by its trace name; the gallery answers nothing itself.
//
//   ui-gallery [--screenshot FILE.png]   (with the option: saves both windows and quits)
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/values/calendar.h"
#include "ui/qt_engine.h"

namespace rt = pellucor::runtime;
using rt::ControlKind;

namespace {

struct Rows : rt::ListRows {
  int32_t RowCount() const override { return 6; }
  std::string Field(int32_t row, int32_t field) const override {
    static const char* kTitles[] = {"Buy milk", "Dentist at 3",       "Call Anna",
                                    "Pay rent", "Book train tickets", "Water the plants"};
    switch (field) {
      case 1:
        return kTitles[row - 1];
      case 2:
        return std::to_string(row % 3 == 0 ? 2 : 1);  // icon entry
      case 3:
        return std::to_string(rt::DATE(3, row * 4, 2024));
      default:
        return {};
    }
  }
};

rt::ControlDescription& Add(rt::WindowDescription& d, int32_t number, ControlKind kind,
                            std::string text, rt::DialogRect at, int32_t parent = 0) {
  rt::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  if (at.width > 0) c.at = at;
  c.parent = parent;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

void Trace(const char* who) {
  const rt::EventRecord e = rt::CurrentEvent();
  std::string name(rt::EventName(e.event));
  if (name.empty()) name = "EVENT:" + std::to_string(static_cast<int>(e.event));
  std::printf("%s %s", who, name.c_str());
  if (e.control != 0) std::printf(" %d", e.control);
  if (e.keycode != 0) std::printf(" key %d", e.keycode);
  std::printf("\n");
  std::fflush(stdout);
}

// The variables the controls show.
char g_topic[40] = "Shopping list";
int32_t g_due = 0;  // a DATE
char g_memo[5050] = "Milk\r\nBread\r\nApples";
char g_done[1] = {'Y'};
int32_t g_count = 3;
char g_colour[10] = "Green";
char g_priority[10] = "High";
char g_where[12] = "Home";
int32_t g_amount = 1250;

rt::WindowDescription Gallery() {
  rt::WindowDescription d;
  d.name = "GALLERY";
  d.title = "Pellucor control gallery";
  d.help_id = "main";
  d.at = rt::DialogRect{0, 0, 330, 232};
  d.status_zones = {120, -1};
  d.timer = 0;
  auto ref = [](void* p, uint32_t size, rt::TypeCode t) { return rt::AnyRef{p, size, t, 0}; };
  Add(d, 1, ControlKind::kMenuBar, "", {});
  Add(d, 2, ControlKind::kMenu, "&File", {}, 1);
  Add(d, 3, ControlKind::kItem, "&Printer Setup...", {}, 2).action =
      rt::StandardAction::kPrintSetup;
  Add(d, 4, ControlKind::kItem, "&Close", {}, 2).action = rt::StandardAction::kClose;
  Add(d, 5, ControlKind::kMenu, "&Edit", {}, 1);
  Add(d, 6, ControlKind::kItem, "Cu&t", {}, 5).action = rt::StandardAction::kCut;
  Add(d, 7, ControlKind::kItem, "&Copy", {}, 5).action = rt::StandardAction::kCopy;
  Add(d, 8, ControlKind::kItem, "&Paste", {}, 5).action = rt::StandardAction::kPaste;
  Add(d, 9, ControlKind::kMenu, "&Help", {}, 1);
  Add(d, 10, ControlKind::kItem, "&Contents", {}, 9).action = rt::StandardAction::kHelp;
  Add(d, 11, ControlKind::kToolbar, "", {});
  Add(d, 12, ControlKind::kButton, "Insert", {}, 11).icon = "~insert.ico";
  Add(d, 13, ControlKind::kButton, "Delete", {}, 11).icon = "~delete.ico";
  Add(d, 14, ControlKind::kButton, "Mark", {}, 11).icon = "~mark.ico";
  Add(d, 15, ControlKind::kImage, "", {6, 6, 20, 20}).icon = "~pellucor.ico";
  Add(d, 16, ControlKind::kString, "Every control kind of the window engine", {32, 10, 180, 10});
  Add(d, 17, ControlKind::kPrompt, "&Topic:", {6, 32, 40, 10});
  auto& topic = Add(d, 18, ControlKind::kEntry, "", {50, 30, 110, 12});
  topic.use = ref(g_topic, sizeof g_topic, rt::TypeCode::kString);
  topic.picture = "@s40";
  topic.message = "What the note is about";
  Add(d, 19, ControlKind::kPrompt, "D&ue:", {6, 48, 40, 10});
  auto& due = Add(d, 20, ControlKind::kEntry, "", {50, 46, 60, 12});
  due.use = ref(&g_due, 4, rt::TypeCode::kDate);
  due.picture = "@d17";
  Add(d, 21, ControlKind::kPrompt, "&Amount:", {6, 64, 40, 10});
  auto& amount = Add(d, 22, ControlKind::kEntry, "", {50, 62, 60, 12});
  amount.use = ref(&g_amount, 4, rt::TypeCode::kLong);
  amount.picture = "@n-9";
  Add(d, 23, ControlKind::kPrompt, "Co&unt:", {116, 48, 28, 10});
  auto& spin = Add(d, 24, ControlKind::kSpin, "", {146, 46, 30, 12});
  spin.use = ref(&g_count, 4, rt::TypeCode::kLong);
  spin.range_low = 1;
  spin.range_high = 9;
  Add(d, 25, ControlKind::kPrompt, "Co&lour:", {116, 64, 28, 10});
  auto& drop = Add(d, 26, ControlKind::kDropList, "", {146, 62, 50, 12});
  drop.use = ref(g_colour, sizeof g_colour, rt::TypeCode::kString);
  drop.from = "Red|Green|Blue";
  auto& check = Add(d, 27, ControlKind::kCheck, "&Done", {6, 80, 50, 12});
  check.use = ref(g_done, 1, rt::TypeCode::kString);
  check.true_value = "Y";
  check.false_value = "N";
  Add(d, 28, ControlKind::kPrompt, "&Where:", {60, 82, 28, 10});
  auto& combo = Add(d, 29, ControlKind::kCombo, "", {90, 80, 70, 12});
  combo.use = ref(g_where, sizeof g_where, rt::TypeCode::kString);
  combo.from = "Home|Work|Shop";
  auto& option = Add(d, 30, ControlKind::kOption, "Priority", {204, 24, 70, 52});
  option.use = ref(g_priority, sizeof g_priority, rt::TypeCode::kString);
  Add(d, 31, ControlKind::kRadio, "&Low", {212, 35, 50, 12}, 30);
  Add(d, 32, ControlKind::kRadio, "&Normal", {212, 47, 56, 12}, 30);
  Add(d, 33, ControlKind::kRadio, "&High", {212, 59, 50, 12}, 30);
  Add(d, 34, ControlKind::kGroup, "Notes", {6, 96, 160, 62});
  Add(d, 35, ControlKind::kText, "", {12, 110, 148, 42}).use =
      ref(g_memo, sizeof g_memo, rt::TypeCode::kString);
  Add(d, 36, ControlKind::kSheet, "", {170, 84, 154, 74});
  Add(d, 37, ControlKind::kTab, "&General", {}, 36);
  Add(d, 38, ControlKind::kTab, "&More", {}, 36);
  Add(d, 39, ControlKind::kBox, "", {176, 104, 40, 30}, 37);
  Add(d, 40, ControlKind::kEllipse, "", {222, 104, 40, 30}, 37);
  Add(d, 41, ControlKind::kLine, "", {268, 118, 50, 2}, 37);
  Add(d, 42, ControlKind::kButton, "Button on a tab", {180, 108, 80, 14}, 38);
  auto& list = Add(d, 43, ControlKind::kList, "", {6, 162, 236, 50});
  list.format = "110L(2)|MI~Title~@s40@#1#60R(2)|M~Due~C@D17B@#3#";
  list.icon_list = {"~pellucor.ico", "~mark.ico"};
  list.tip = "Notes";
  auto& progress = Add(d, 44, ControlKind::kProgress, "", {248, 162, 76, 10});
  progress.range_low = 0;
  progress.range_high = 100;
  Add(d, 45, ControlKind::kButton, "&OK", {248, 178, 36, 14}).flags.is_default = true;
  Add(d, 46, ControlKind::kButton, "Cancel", {288, 178, 36, 14}).action =
      rt::StandardAction::kClose;
  Add(d, 47, ControlKind::kButton, "&Help", {288, 198, 36, 14}).action = rt::StandardAction::kHelp;
  Add(d, 48, ControlKind::kRegion, "", {248, 198, 36, 14}).tip = "A region: click it";
  return d;
}

rt::WindowDescription Second() {
  rt::WindowDescription d;
  d.name = "SECOND";
  d.title = "Second thread";
  d.at = rt::DialogRect{8, 8, 140, 50};
  d.status_zones = {-1};
  Add(d, 1, ControlKind::kPrompt, "&Note:", {6, 8, 30, 10});
  Add(d, 2, ControlKind::kEntry, "", {40, 6, 94, 12});
  Add(d, 3, ControlKind::kButton, "&Ping the gallery", {40, 24, 94, 14});
  return d;
}

void Save(QWidget* w, const QString& file) {
  if (w == nullptr) return;
  w->grab().save(file);
  std::printf("saved %s\n", file.toLocal8Bit().constData());
  // What a screen reader would meet without a name: every control the keyboard reaches.
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (c->focusPolicy() != Qt::NoFocus && c->isVisible() && c->accessibleName().isEmpty()) {
      std::printf("no accessible name: %s (%s)\n", c->objectName().toLocal8Bit().constData(),
                  c->metaObject()->className());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Pellucor"));
  QString screenshot;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = QString::fromLocal8Bit(argv[i + 1]);
  }
  pellucor::ui::QtEngine engine;
  rt::ProgramScope program(engine);
  rt::AccessorFactory(rt::TypeCode::kDate, &g_due, 4)->SetInteger(rt::DATE(3, 14, 2024));
  Rows rows;
  rt::Window gallery(Gallery());
  gallery.Open();
  rt::SetListRows(43, &rows);
  rt::DISPLAY();
  rt::SetProperty(44, rt::Prop::kProgress, "40");
  rt::SetProperty(0, rt::Prop::kStatusText, "Ready", 1);
  rt::SetProperty(0, rt::Prop::kStatusText, "Thread 1", 2);
  rt::START([] {
    rt::Window second(Second());
    second.Open();
    rt::ACCEPT([] {
      Trace("second:");
      if (rt::EVENT() == rt::Event::kAccepted && rt::FIELD() == 3) {
        rt::PostEvent(rt::Event::kNotify, 0, 1);
      }
      return rt::LoopControl::kNext;
    });
  });
  int events = 0;
  rt::ACCEPT([&] {
    Trace("gallery:");
    if (!screenshot.isEmpty() && ++events == 6) {
      Save(engine.WidgetOf(gallery.id()), screenshot);
      QString second = screenshot;
      second.replace(QStringLiteral(".png"), QStringLiteral("-second.png"));
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == QStringLiteral("Second thread")) Save(w, second);
      }
      rt::PostEvent(rt::Event::kCloseWindow);
    }
    return rt::LoopControl::kNext;
  });
  if (!screenshot.isEmpty()) rt::PostEvent(rt::Event::kCloseDown, 0, 2);
  return 0;
}
