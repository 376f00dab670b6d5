// The calendar on real widgets: its months, keys, limits and the day a click returns.
#include <QAbstractButton>
#include <QLabel>
#include <QSpinBox>

#include "app/procedures/calendar.h"
#include "app/windows/calendar_window.h"
#include "procedure_test_util.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {
namespace {

namespace cw = calendar_window;
using testing::User;

constexpr const char* kWindow = "P1$WINDOW";

QString DayText(QWidget* window, int32_t cell_index) {
  return qobject_cast<QLabel*>(User::Control(window, cw::kFirstCell + cw::kDayOffset + cell_index))
      ->text()
      .trimmed();
}

// The day numbers of the grid, "." for a blank cell.
std::string Grid(QWidget* window) {
  std::string g;
  for (int32_t i = 0; i < cw::kCells; ++i) {
    const QString t = DayText(window, i);
    g += (t.isEmpty() ? std::string(".") : t.toStdString()) + (i % 7 == 6 ? "\n" : " ");
  }
  return g;
}

int32_t CellOfDay(QWidget* window, int day) {
  for (int32_t i = 0; i < cw::kCells; ++i) {
    if (DayText(window, i) == QString::number(day)) return cw::kFirstCell + i;
  }
  return 0;
}

class CalendarTest : public testing::ProcedureTest {
 protected:
  // Runs the calendar on `date` with the user's steps; returns its result.
  int32_t Run(int32_t date) {
    user_.Start();
    const int32_t result = Calendar(date);
    EXPECT_TRUE(user_.Done()) << "the calendar ended before the user was through";
    return result;
  }
  void Key(Qt::Key key) {
    user_.Add(kWindow, [key](QWidget* w) {
      QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : w;
      QTest::keyClick(target, key);
    });
  }
  void Note(std::function<void(QWidget*)> look) { user_.Add(kWindow, std::move(look)); }
};

TEST_F(CalendarTest, AMonthFillsTheGridFromItsWeekdayAndMarksTheDatePassedIn) {
  std::string january, february, title;
  bool marked_ok = false;
  Note([&](QWidget* w) {
    User::Shot(w, "calendar");
    title = w->windowTitle().toStdString();
    january = Grid(w);
    // 2 January 2000 is marked, and no other day.
    for (int32_t i = 0; i < cw::kCells; ++i) {
      auto* cell = qobject_cast<QAbstractButton*>(User::Control(w, cw::kFirstCell + i));
      const bool should = DayText(w, i) == "2";
      if (cell->isChecked() != should) return;
    }
    marked_ok = true;
  });
  Key(Qt::Key_Right);
  Note([&](QWidget* w) { february = Grid(w); });
  Key(Qt::Key_Escape);
  const int32_t date = runtime::DayNumber(2000, 1, 2);
  EXPECT_EQ(Run(date), date);  // Escape returns the date passed in
  EXPECT_EQ(title, "January 2000");
  EXPECT_TRUE(marked_ok);
  // January 2000 starts on a Saturday: its 31st day takes the last cell of the grid.
  EXPECT_EQ(january,
            ". . . . . . 1\n2 3 4 5 6 7 8\n9 10 11 12 13 14 15\n16 17 18 19 20 21 22\n"
            "23 24 25 26 27 28 29\n30 31 ");
  // February 2000 is a leap month of 29 days, starting on a Tuesday.
  EXPECT_EQ(february,
            ". . 1 2 3 4 5\n6 7 8 9 10 11 12\n13 14 15 16 17 18 19\n20 21 22 23 24 25 26\n"
            "27 28 29 . . . .\n. . ");
}

TEST_F(CalendarTest, FebruaryHasTwentyEightDaysInCenturyYearsThatAreNotLeapYears) {
  for (int year : {1900, 2099}) {
    int last = 0;
    Note([&](QWidget* w) {
      for (int32_t i = 0; i < cw::kCells; ++i) {
        if (!DayText(w, i).isEmpty()) last = DayText(w, i).toInt();
      }
    });
    Key(Qt::Key_Escape);
    (void)Run(runtime::DayNumber(year, 2, 10));
    EXPECT_EQ(last, 28) << year;
  }
}

TEST_F(CalendarTest, EscapeWithoutADateReturnsToday) {
  Key(Qt::Key_Escape);
  EXPECT_EQ(Run(0), runtime::TODAY());
}

// Right in December 2098 shows January 2099; Page Down in December 2099 keeps 2099 and says why.
TEST_F(CalendarTest, TheYearLimitsHoldAndSayWhy) {
  std::string after_right, after_page_down;
  Key(Qt::Key_Right);
  Note([&](QWidget* w) { after_right = w->windowTitle().toStdString(); });
  Key(Qt::Key_Left);
  Key(Qt::Key_PageDown);  // December 2099
  Key(Qt::Key_PageDown);  // past the last year
  Note([&](QWidget* w) { after_page_down = w->windowTitle().toStdString(); });
  Key(Qt::Key_PageUp);
  Key(Qt::Key_Escape);
  const int32_t date = runtime::DayNumber(2098, 12, 24);
  EXPECT_EQ(Run(date), date);
  EXPECT_EQ(after_right, "January 2099");
  EXPECT_EQ(after_page_down, "December 2099");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "Date Out Of Range");
  EXPECT_EQ(boxes_[0].text, "You cannot use the calendar for\r\ndates after the year 2099");

  boxes_.clear();
  Key(Qt::Key_PageUp);
  Note([&](QWidget* w) { after_page_down = w->windowTitle().toStdString(); });
  Key(Qt::Key_Escape);
  (void)Run(runtime::DayNumber(1801, 5, 1));
  EXPECT_EQ(after_page_down, "May 1801");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "You cannot use the calendar for\r\ndates before the year 1801");
}

// A click on a blank cell does nothing; a click on a day returns that day of the month shown.
TEST_F(CalendarTest, AClickedDayIsTheAnswer) {
  Note([&](QWidget* w) {
    QTest::mouseClick(User::Control(w, cw::kFirstCell), Qt::LeftButton);  // before day 1
  });
  Key(Qt::Key_Down);  // May 2026
  Note([&](QWidget* w) {
    QWidget* cell = User::Control(w, CellOfDay(w, 17));
    ASSERT_NE(cell, nullptr);
    QTest::mouseClick(cell, Qt::LeftButton);
  });
  // April 2026 starts on a Wednesday: its first cell is blank.
  EXPECT_EQ(Run(runtime::DayNumber(2026, 4, 9)), runtime::DayNumber(2026, 5, 17));
}

// The spin boxes and the keyboard alone reach a day: a new year typed into the year box, then a
// day cell pressed with the space bar.
TEST_F(CalendarTest, TheSpinBoxesAndTheKeyboardReachADay) {
  Note([&](QWidget* w) {
    auto* year = qobject_cast<QSpinBox*>(User::Control(w, cw::kYearSpin));
    ASSERT_NE(year, nullptr);
    year->setValue(2030);  // as the user's typing ends up
  });
  Note([&](QWidget* w) {
    ASSERT_EQ(w->windowTitle(), "July 2030");
    QWidget* cell = User::Control(w, CellOfDay(w, 4));
    cell->setFocus();
    QTest::keyClick(cell, Qt::Key_Space);
  });
  EXPECT_EQ(Run(runtime::DayNumber(2026, 7, 1)), runtime::DayNumber(2030, 7, 4));
}

TEST_F(CalendarTest, TheRightMouseButtonLeavesWithTheDatePassedIn) {
  Note([&](QWidget* w) {
    QWidget* cell = User::Control(w, CellOfDay(w, 20));
    const QPoint at = cell->rect().center();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, cell->mapToGlobal(at));
    QApplication::sendEvent(cell, &menu);
  });
  const int32_t date = runtime::DayNumber(2026, 12, 8);
  EXPECT_EQ(Run(date), date);
}

}  // namespace
}  // namespace pellucor::app
