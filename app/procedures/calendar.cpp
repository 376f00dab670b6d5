#include "app/procedures/calendar.h"

#include <array>
#include <string>

#include "app/windows/calendar_window.h"
#include "runtime/event/event.h"
#include "runtime/event/key_codes.h"
#include "runtime/event/window.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {

namespace {

namespace cw = calendar_window;
using runtime::Event;
using runtime::LoopControl;

constexpr std::array<const char*, 12> kMonthNames{"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};

constexpr int32_t kFirstYear = 1801;
constexpr int32_t kLastYear = 2099;

// The day number of d/m/y, read as the user's date would be ("@D6" is day/month/year).
int32_t ReadDate(int32_t day, int32_t month, int32_t year) {
  const std::string text =
      std::to_string(day) + "/" + std::to_string(month) + "/" + std::to_string(year);
  return std::stoi(runtime::DEFORMAT(text, "@D6"));
}

class CalendarView {
 public:
  explicit CalendarView(int32_t date)
      : passed_(date == 0 ? runtime::TODAY() : date),
        month_(static_cast<int16_t>(runtime::MONTH(passed_))),
        year_(static_cast<int16_t>(runtime::YEAR(passed_))),
        window_(cw::Describe(&month_, &year_)) {}

  int32_t Run() {
    window_.Open();
    using namespace runtime::key;
    for (int32_t key : {kLeft, kUp, kRight, kDown, kPageUp, kPageDown, kEscape, kMouseRight}) {
      runtime::ALERT(key);
    }
    for (int32_t weekend : {3, 9}) runtime::SetProperty(weekend, runtime::Prop::kColor, "#b00000");
    Show();
    // Closed any other way (the window's close box), the date passed in is the safe answer.
    int32_t result = passed_;
    runtime::ACCEPT([&] {
      switch (runtime::EVENT()) {
        case Event::kAlertKey:
          switch (runtime::KEYCODE()) {
            case kLeft:
            case kUp:
              Move(-1, 0);
              break;
            case kRight:
            case kDown:
              Move(1, 0);
              break;
            case kPageUp:
              Move(0, -1);
              break;
            case kPageDown:
              Move(0, 1);
              break;
            case kEscape:
            case kMouseRight:
              return LoopControl::kLeave;
            default:
              break;
          }
          break;
        case Event::kNewSelection:
          if (runtime::FIELD() == cw::kMonthSpin || runtime::FIELD() == cw::kYearSpin) Move(0, 0);
          break;
        case Event::kAccepted:
          if (const int32_t cell = runtime::FIELD();
              cell >= cw::kFirstCell && cell <= cw::kLastCell) {
            const std::string day =
                runtime::GetProperty(cell + cw::kDayOffset, runtime::Prop::kText);
            if (day.find_first_not_of(' ') == std::string::npos) break;  // a blank cell
            result = ReadDate(std::stoi(day), month_, year_);
            return LoopControl::kLeave;
          }
          break;
        default:
          break;
      }
      return LoopControl::kNext;
    });
    if (window_.IsOpen()) window_.Close();
    return result;
  }

 private:
  // Moves by months and years, wraps the month into the year, holds the year limits.
  void Move(int32_t months, int32_t years) {
    int32_t month = month_ + months;
    int32_t year = year_ + years;
    if (month > 12) {
      month = 1;
      ++year;
    } else if (month < 1) {
      month = 12;
      --year;
    }
    month_ = static_cast<int16_t>(month);
    year_ = static_cast<int16_t>(year);
    if (year < kFirstYear) {
      year_ = kFirstYear;
      Refuse("You cannot use the calendar for\r\ndates before the year 1801");
    } else if (year > kLastYear) {
      year_ = kLastYear;
      Refuse("You cannot use the calendar for\r\ndates after the year 2099");
    }
    Show();
  }

  static void Refuse(const char* text) {
    (void)runtime::MESSAGE(text, "Date Out Of Range", runtime::MessageIcon::kExclamation,
                           runtime::button::kOk);
  }

  void Show() {
    runtime::SetProperty(0, runtime::Prop::kText,
                         std::string(kMonthNames[month_ - 1]) + " " + std::to_string(year_));
    runtime::DISPLAY(cw::kMonthSpin);
    runtime::DISPLAY(cw::kYearSpin);
    const int32_t days = runtime::MonthLength(year_, month_);
    const int32_t first = ReadDate(1, month_, year_) % 7;  // 0 Sunday ... 6 Saturday
    const bool passed_shown = runtime::MONTH(passed_) == month_ && runtime::YEAR(passed_) == year_;
    for (int32_t i = 0; i < cw::kCells; ++i) {
      const int32_t cell = cw::kFirstCell + i;
      const int32_t day = i - first + 1;
      const bool in_month = day >= 1 && day <= days;
      runtime::SetProperty(cell + cw::kDayOffset, runtime::Prop::kText,
                           in_month ? std::to_string(day) : std::string());
      runtime::SetProperty(cell, runtime::Prop::kChecked,
                           in_month && passed_shown && day == runtime::DAY(passed_) ? "1" : "");
      // A blank cell takes no part; a day's cell says its date to the keyboard and to tools.
      runtime::SetProperty(cell, runtime::Prop::kDisable, in_month ? "" : "1");
      runtime::SetProperty(cell, runtime::Prop::kTip,
                           in_month ? std::to_string(day) + " " + kMonthNames[month_ - 1] + " " +
                                          std::to_string(year_)
                                    : std::string());
    }
  }

  int32_t passed_;
  int16_t month_;
  int16_t year_;
  runtime::Window window_;
};

}  // namespace

int32_t Calendar(int32_t date) {
  return CalendarView(date).Run();
}

}  // namespace pellucor::app
