#include "app/remind/launcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/desktop/desktop_bus.h"

namespace pellucor::app::remind {
namespace {

// The process of this user that runs `program` on `data_dir`, or 0: /proc/PID/exe names its
// program and /proc/PID/cwd its working directory, which the desktop program makes its data
// directory. Only this user's processes (and none of others') can be read so.
qint64 Running(const QString& program, const QString& data_dir) {
  const QString wanted = QFileInfo(program).canonicalFilePath();
  const QString dir = QFileInfo(data_dir).canonicalFilePath();
  if (wanted.isEmpty() || dir.isEmpty()) return 0;
  const QDir proc(QStringLiteral("/proc"));
  for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    const QString base = proc.filePath(entry);
    if (QFileInfo(base + QStringLiteral("/exe")).symLinkTarget() == wanted &&
        QFileInfo(base + QStringLiteral("/cwd")).symLinkTarget() == dir) {
      return pid;
    }
  }
  return 0;
}

// Asks the desktop program `pid` over the session bus to bring its windows to the front.
bool Raise(qint64 pid) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  const QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kDesktopServicePrefix) + QString::number(pid),
      QString::fromLatin1(kDesktopPath), QString::fromLatin1(kDesktopInterface),
      QString::fromLatin1(kDesktopRaise));
  return bus.call(call, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

QString DesktopProgram(const QString& own_program) {
  const QString beside = QFileInfo(own_program).absolutePath() + QStringLiteral("/pellucor");
  if (QFileInfo(beside).isExecutable()) return beside;
  const QString found = QStandardPaths::findExecutable(QStringLiteral("pellucor"));
  return found.isEmpty() ? beside : found;
}

OpenResult OpenDesktop(const QString& program, const QString& data_dir) {
  if (const qint64 pid = Running(program, data_dir); pid != 0) {
    return Raise(pid) ? OpenResult::kRaised : OpenResult::kAlreadyRunning;
  }
  const bool started =
      QProcess::startDetached(program, {QStringLiteral("--data-dir"), data_dir}, QDir::homePath());
  return started ? OpenResult::kStarted : OpenResult::kFailed;
}

}  // namespace pellucor::app::remind
