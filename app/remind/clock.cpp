#include "app/remind/clock.h"

#include <QFile>
#include <cstdlib>

namespace pellucor::app::remind {
namespace {

class SystemClock final : public Clock {
 public:
  std::optional<QDateTime> Now(QString*) const override { return QDateTime::currentDateTime(); }
  bool Given() const override { return false; }
};

class GivenClock final : public Clock {
 public:
  explicit GivenClock(QString text) : text_(std::move(text)) {}

  std::optional<QDateTime> Now(QString* error) const override {
    QString text = text_;
    if (text.startsWith('@')) {
      QFile file(text.mid(1));
      if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the clock file %1").arg(text.mid(1));
        return std::nullopt;
      }
      text = QString::fromUtf8(file.readLine());
    }
    const std::optional<QDateTime> now = ParseClockText(text);
    if (!now)
      *error =
          QStringLiteral("%1=%2 is no date YYYY-MM-DD [HH:MM]").arg(kClockVariable, text.trimmed());
    return now;
  }
  bool Given() const override { return true; }

 private:
  QString text_;
};

}  // namespace

std::optional<QDateTime> ParseClockText(const QString& text) {
  const QString t = text.trimmed();
  const QDate date = QDate::fromString(t.left(10), Qt::ISODate);
  if (t.size() != 10 && t.size() != 16) return std::nullopt;
  if (!date.isValid()) return std::nullopt;
  QTime time(12, 0);
  if (t.size() == 16) {
    if (t[10] != ' ' && t[10] != 'T') return std::nullopt;
    time = QTime::fromString(t.mid(11), QStringLiteral("HH:mm"));
    if (!time.isValid()) return std::nullopt;
  }
  return QDateTime(date, time);
}

std::unique_ptr<Clock> MakeClock() {
  const char* given = std::getenv(kClockVariable);
  if (given == nullptr || *given == '\0') return std::make_unique<SystemClock>();
  return std::make_unique<GivenClock>(QString::fromUtf8(given));
}

}  // namespace pellucor::app::remind
