// pellucor-remind's agent: shows the notes of "Current Reminders" as desktop notifications when
// it starts, again each day at the time the user chose, and whenever the data file changes (a
// note newly due), each note at most once a day; and carries out the notifications' actions.
//
// Nothing that goes wrong ends it: a data file that cannot be read, a missing notification
// service, a damaged setting or state file each give one line on standard error (once, until it
// changes), and the agent tries again later. A note is never changed except by "Done".
#pragma once

#include <QDate>
#include <QObject>
#include <QTimer>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/remind/clock.h"
#include "app/remind/daily_time.h"
#include "app/remind/helper_client.h"
#include "app/remind/notifier.h"
#include "app/remind/reminder_state.h"

namespace pellucor::app::remind {

class Agent : public QObject {
  Q_OBJECT

 public:
  // `program`: this program's path (for its helper and to find the desktop program beside it);
  // `data_dir`: the data directory, absolute.
  Agent(QString program, QString data_dir, std::unique_ptr<Clock> clock, QObject* parent = nullptr);

  // Loads the state and looks at the reminders at once, then at every tick.
  void Start();

 private slots:
  void Tick();
  void OnAction(uint id, const QString& action);
  void OnClosed(uint id);

 private:
  enum class Trouble { kClock, kData, kService, kSettings, kState, kDone, kOpen, kCount };

  // One line on standard error, unless the same was said last time for this kind of trouble.
  void Complain(Trouble trouble, const QString& text);
  void Resolve(Trouble trouble);

  // Shows what is due and not yet shown today. False when it must be tried again.
  bool Round(const QDate& today);
  void TryPendingDone();
  void SaveState();
  void ReadSettings();
  void Open();
  [[nodiscard]] std::string DataSignature() const;
  [[nodiscard]] std::string SettingsSignature() const;
  [[nodiscard]] qint64 RetryIntervalMs() const;

  QString program_;
  QString data_dir_;
  std::unique_ptr<Clock> clock_;
  HelperClient helper_;
  Notifier notifier_;
  ReminderState state_;
  QTimer tick_;

  DailyTime daily_time_;
  std::string settings_signature_ = "?";
  std::string data_signature_;
  bool started_ = false;
  bool round_wanted_ = false;
  QDate last_daily_;  // the last day whose daily round has happened (or was covered at start)
  qint64 round_retry_at_ = 0;  // monotonic milliseconds
  qint64 done_retry_at_ = 0;

  std::map<uint, NoteKey> shown_;  // notification id -> note
  std::set<uint> more_shown_;      // ids of the "N more" notifications
  std::array<QString, static_cast<size_t>(Trouble::kCount)> said_;
};

}  // namespace pellucor::app::remind
