#include "app/remind/notification_text.h"

namespace pellucor::app::remind {
namespace {

// A server with "body-markup" reads the body as markup: a memo's "<" or "&" would otherwise be
// taken for it, and the text cut or lost.
QString BodyText(const QString& text, const QStringList& capabilities) {
  return capabilities.contains(QStringLiteral("body-markup")) ? text.toHtmlEscaped() : text;
}

bool HasActions(const QStringList& capabilities) {
  return capabilities.contains(QStringLiteral("actions"));
}

}  // namespace

Notification NoteNotification(const DueNote& note, const QString& today,
                              const QStringList& capabilities) {
  Notification n;
  n.summary = QString::fromStdString(note.topic);
  if (n.summary.trimmed().isEmpty()) n.summary = QStringLiteral("Reminder");
  const bool overdue = QString::fromStdString(note.reminder_iso) < today;
  QString body =
      QStringLiteral("Reminder date %1").arg(QString::fromStdString(note.reminder_shown));
  if (overdue) body += QStringLiteral(", overdue");
  if (!note.memo_line.empty()) body += '\n' + QString::fromStdString(note.memo_line);
  n.body = BodyText(body, capabilities);
  if (HasActions(capabilities)) {
    n.actions = {action::kDefault,       QStringLiteral("Open"), action::kDone,
                 QStringLiteral("Done"), action::kTomorrow,      QStringLiteral("Tomorrow"),
                 action::kOpen,          QStringLiteral("Open")};
  }
  return n;
}

Notification MoreNotification(int more, const QStringList& capabilities) {
  Notification n;
  n.summary = more == 1 ? QStringLiteral("1 more reminder is due")
                        : QStringLiteral("%1 more reminders are due").arg(more);
  n.body =
      BodyText(QStringLiteral("Pellucor lists them under \"Current Reminders\"."), capabilities);
  if (HasActions(capabilities)) {
    n.actions = {action::kDefault, QStringLiteral("Open"), action::kOpen, QStringLiteral("Open")};
  }
  return n;
}

}  // namespace pellucor::app::remind
