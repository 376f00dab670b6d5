// The agent's clock: the local date and time, or for tests a time given in the environment
// variable PELLUCOR_REMIND_TODAY, as "YYYY-MM-DD" (noon of that day), "YYYY-MM-DD HH:MM", or
// "@FILE", a file whose first line holds one of those and is read again at every look, so that
// a test moves the agent's time while it runs.
#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace pellucor::app::remind {

inline constexpr const char* kClockVariable = "PELLUCOR_REMIND_TODAY";

class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time; none when a given time cannot be read (*error says why).
  [[nodiscard]] virtual std::optional<QDateTime> Now(QString* error) const = 0;
  // Whether the time is given: the agent then looks at it often rather than every few seconds.
  [[nodiscard]] virtual bool Given() const = 0;
};

// The clock the environment asks for.
[[nodiscard]] std::unique_ptr<Clock> MakeClock();

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM"; none for anything else.
[[nodiscard]] std::optional<QDateTime> ParseClockText(const QString& text);

}  // namespace pellucor::app::remind
