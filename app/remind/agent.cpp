#include "app/remind/agent.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/data_dir.h"
#include "app/remind/launcher.h"
#include "app/remind/notification_text.h"

namespace pellucor::app::remind {
namespace {

// How often the agent looks at the clock, the settings and the data file, and how soon it tries
// again after a failure. A given clock is a test's, which moves the time on at once.
constexpr int kTickMs = 5000;
constexpr int kGivenTickMs = 50;
constexpr qint64 kRetryMs = 60000;
constexpr qint64 kGivenRetryMs = 200;

qint64 Monotonic() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

QString Iso(const QDate& day) {
  return day.toString(Qt::ISODate);
}

std::string StatSignature(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "none";
  return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

Agent::Agent(QString program, QString data_dir, std::unique_ptr<Clock> clock, QObject* parent)
    : QObject(parent),
      program_(std::move(program)),
      data_dir_(std::move(data_dir)),
      clock_(std::move(clock)),
      helper_(program_, data_dir_),
      state_(StatePath(data_dir_.toStdString())) {
  connect(&tick_, &QTimer::timeout, this, &Agent::Tick);
  connect(&notifier_, &Notifier::ActionInvoked, this, &Agent::OnAction);
  connect(&notifier_, &Notifier::Closed, this, &Agent::OnClosed);
}

void Agent::Start() {
  if (state_.path().empty()) {
    Complain(Trouble::kState,
             QStringLiteral("neither XDG_STATE_HOME nor HOME is set: what was shown today is "
                            "not kept after the agent ends"));
  } else {
    const int skipped = state_.Load();
    if (skipped < 0) {
      Complain(Trouble::kState, QStringLiteral("cannot read %1: %2; starting afresh")
                                    .arg(QString::fromStdString(state_.path()),
                                         QString::fromLocal8Bit(std::strerror(errno))));
    } else if (skipped > 0) {
      Complain(Trouble::kState, QStringLiteral("%1: %2 damaged lines skipped")
                                    .arg(QString::fromStdString(state_.path()))
                                    .arg(skipped));
    }
  }
  tick_.start(clock_->Given() ? kGivenTickMs : kTickMs);
  QTimer::singleShot(0, this, &Agent::Tick);
}

qint64 Agent::RetryIntervalMs() const {
  return clock_->Given() ? kGivenRetryMs : kRetryMs;
}

void Agent::Complain(Trouble trouble, const QString& text) {
  QString& said = said_[static_cast<size_t>(trouble)];
  if (said == text) return;
  said = text;
  std::fprintf(stderr, "pellucor-remind: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

void Agent::Resolve(Trouble trouble) {
  said_[static_cast<size_t>(trouble)].clear();
}

std::string Agent::DataSignature() const {
  return StatSignature(data_dir_.toStdString() + "/" + std::string(kDataFileName));
}

std::string Agent::SettingsSignature() const {
  return StatSignature(data_dir_.toStdString() + "/" + std::string(kSettingsFile));
}

void Agent::ReadSettings() {
  const std::string signature = SettingsSignature();
  if (signature == settings_signature_) return;
  settings_signature_ = signature;
  const DailyTimeSetting setting =
      ReadDailyTime(data_dir_.toStdString() + "/" + std::string(kSettingsFile));
  daily_time_ = setting.time;
  if (!setting.damaged.empty()) {
    Complain(Trouble::kSettings,
             QStringLiteral("%1: [%2] %3=%4 is no time of day HH:MM; %5 is used")
                 .arg(QString::fromLatin1(kSettingsFile.data(), kSettingsFile.size()),
                      QString::fromLatin1(kSettingsSection.data(), kSettingsSection.size()),
                      QString::fromLatin1(kTimeKey.data(), kTimeKey.size()),
                      QString::fromStdString(setting.damaged),
                      QString::fromStdString(FormatDailyTime(setting.time))));
  } else {
    Resolve(Trouble::kSettings);
  }
}

void Agent::Tick() {
  QString error;
  const std::optional<QDateTime> now = clock_->Now(&error);
  if (!now) {
    Complain(Trouble::kClock, error);
    return;
  }
  Resolve(Trouble::kClock);
  ReadSettings();
  const QDate today = now->date();
  const bool past_daily_time = now->time() >= QTime(daily_time_.hour, daily_time_.minute);
  if (!started_) {
    // The round at start covers today's daily round when its time has passed already.
    started_ = true;
    round_wanted_ = true;
    last_daily_ = past_daily_time ? today : today.addDays(-1);
  } else if (today < last_daily_) {
    last_daily_ = today.addDays(-1);  // the clock was put back
  } else if (today > last_daily_ && past_daily_time) {
    round_wanted_ = true;
    last_daily_ = today;
  }
  if (!state_.done().empty() && Monotonic() >= done_retry_at_) TryPendingDone();

  const std::string signature = DataSignature();
  if (signature != data_signature_) round_wanted_ = true;
  if (round_wanted_ && Monotonic() >= round_retry_at_) {
    // Taken before the round reads, so a change made while it reads brings another round.
    data_signature_ = signature;
    if (Round(today)) {
      round_wanted_ = false;
    } else {
      round_retry_at_ = Monotonic() + RetryIntervalMs();
    }
  }
}

bool Agent::Round(const QDate& today) {
  const QString day = Iso(today);
  if (DataSignature() == "none") {
    // Nothing to show until the program or pellucor-cli makes the file; its appearing is a change
    // of the file like any other and brings the next round.
    Complain(Trouble::kData,
             QStringLiteral("no data file %1 in %2 yet; its reminders are shown once it is there")
                 .arg(QString::fromLatin1(kDataFileName.data(), kDataFileName.size()), data_dir_));
    return true;
  }
  const HelperAnswer due = helper_.Due(day);
  if (due.kind != HelperAnswer::Kind::kOk) {
    Complain(Trouble::kData,
             QStringLiteral("cannot read the reminders: %1; trying again later").arg(due.error));
    return false;
  }
  Resolve(Trouble::kData);
  state_.Prune(day.toStdString());
  std::vector<const DueNote*> fresh;
  for (const DueNote& note : due.notes) {
    const NoteKey key{note.id, note.fingerprint};
    if (state_.ShownOn(key, day.toStdString()) || state_.SnoozedOn(key, day.toStdString()) ||
        state_.DonePending(key)) {
      continue;
    }
    fresh.push_back(&note);
  }
  if (fresh.empty()) return true;

  QString error;
  const std::optional<QStringList> capabilities = notifier_.Capabilities(&error);
  if (!capabilities) {
    Complain(Trouble::kService, error + QStringLiteral("; trying again later"));
    return false;
  }
  const size_t one_by_one = std::min(fresh.size(), size_t{kNotesShownAtOnce});
  bool complete = true;
  for (size_t i = 0; i < one_by_one && complete; ++i) {
    const DueNote& note = *fresh[i];
    const std::optional<uint32_t> id =
        notifier_.Notify(NoteNotification(note, day, *capabilities), &error);
    if (!id) {
      complete = false;
      break;
    }
    const NoteKey key{note.id, note.fingerprint};
    shown_[*id] = key;
    state_.MarkShown(key, day.toStdString());
  }
  if (complete && fresh.size() > one_by_one) {
    const int more = static_cast<int>(fresh.size() - one_by_one);
    if (const std::optional<uint32_t> id =
            notifier_.Notify(MoreNotification(more, *capabilities), &error)) {
      more_shown_.insert(*id);
      // Counted is told: they are not shown one by one later today.
      for (size_t i = one_by_one; i < fresh.size(); ++i) {
        state_.MarkShown({fresh[i]->id, fresh[i]->fingerprint}, day.toStdString());
      }
    } else {
      complete = false;
    }
  }
  SaveState();
  if (!complete) {
    Complain(Trouble::kService, error + QStringLiteral("; trying again later"));
    return false;
  }
  Resolve(Trouble::kService);
  return true;
}

void Agent::TryPendingDone() {
  const std::set<NoteKey> pending = state_.done();
  for (const NoteKey& key : pending) {
    const HelperAnswer answer = helper_.Done(key.id, QString::fromStdString(key.fingerprint));
    if (answer.kind == HelperAnswer::Kind::kRetry) {
      Complain(Trouble::kDone,
               QStringLiteral("cannot mark the note %1 done yet: %2; trying again later")
                   .arg(key.id)
                   .arg(answer.error));
      done_retry_at_ = Monotonic() + RetryIntervalMs();
      break;
    }
    state_.RemoveDone(key);
    if (answer.kind == HelperAnswer::Kind::kGone) {
      std::fprintf(stderr, "pellucor-remind: the note %u is not marked done: %s\n", key.id,
                   answer.error.toLocal8Bit().constData());
      std::fflush(stderr);
    } else {
      Resolve(Trouble::kDone);
    }
  }
  SaveState();
}

void Agent::SaveState() {
  if (state_.path().empty()) return;
  if (!state_.Save()) {
    Complain(Trouble::kState, QStringLiteral("cannot write %1: %2")
                                  .arg(QString::fromStdString(state_.path()),
                                       QString::fromLocal8Bit(std::strerror(errno))));
    return;
  }
  Resolve(Trouble::kState);
}

void Agent::Open() {
  const QString program = DesktopProgram(program_);
  switch (OpenDesktop(program, data_dir_)) {
    case OpenResult::kStarted:
      Resolve(Trouble::kOpen);
      break;
    case OpenResult::kRaised:
      Resolve(Trouble::kOpen);
      break;
    case OpenResult::kAlreadyRunning:
      Complain(Trouble::kOpen, QStringLiteral("%1 already runs on %2 but did not come to the front")
                                   .arg(program, data_dir_));
      break;
    case OpenResult::kFailed:
      Complain(Trouble::kOpen, QStringLiteral("cannot start %1").arg(program));
      break;
  }
}

void Agent::OnAction(uint id, const QString& action) {
  const bool more = more_shown_.contains(id);
  const auto it = shown_.find(id);
  if (!more && it == shown_.end()) return;  // another program's notification
  if (action == QLatin1String(action::kOpen) || action == QLatin1String(action::kDefault)) {
    Open();
    return;
  }
  if (more) return;
  const NoteKey key = it->second;
  if (action == QLatin1String(action::kDone)) {
    state_.AddDone(key);
    SaveState();
    done_retry_at_ = 0;
    TryPendingDone();
  } else if (action == QLatin1String(action::kTomorrow)) {
    QString error;
    const std::optional<QDateTime> now = clock_->Now(&error);
    if (!now) {
      Complain(Trouble::kClock, error);
      return;
    }
    // Silent for the rest of the day the user chose this on, whenever the note was shown.
    state_.Snooze(key, Iso(now->date().addDays(1)).toStdString());
    SaveState();
  }
}

void Agent::OnClosed(uint id) {
  shown_.erase(id);
  more_shown_.erase(id);
}

}  // namespace pellucor::app::remind
