#include "app/remind/launcher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace pellucor::app::remind {
namespace {

// Whether a process of this user runs `program` on `data_dir`: /proc/PID/exe names its program
// and /proc/PID/cwd its working directory, which the desktop program makes its data directory.
// Only this user's processes (and none of others') can be read so.
bool Running(const QString& program, const QString& data_dir) {
  const QString wanted = QFileInfo(program).canonicalFilePath();
  const QString dir = QFileInfo(data_dir).canonicalFilePath();
  if (wanted.isEmpty() || dir.isEmpty()) return false;
  const QDir proc(QStringLiteral("/proc"));
  for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool number = false;
    (void)entry.toInt(&number);
    if (!number) continue;
    const QString base = proc.filePath(entry);
    if (QFileInfo(base + QStringLiteral("/exe")).symLinkTarget() == wanted &&
        QFileInfo(base + QStringLiteral("/cwd")).symLinkTarget() == dir) {
      return true;
    }
  }
  return false;
}

}  // namespace

QString DesktopProgram(const QString& own_program) {
  const QString beside = QFileInfo(own_program).absolutePath() + QStringLiteral("/pellucor");
  if (QFileInfo(beside).isExecutable()) return beside;
  const QString found = QStandardPaths::findExecutable(QStringLiteral("pellucor"));
  return found.isEmpty() ? beside : found;
}

OpenResult OpenDesktop(const QString& program, const QString& data_dir) {
  if (Running(program, data_dir)) return OpenResult::kAlreadyRunning;
  const bool started =
      QProcess::startDetached(program, {QStringLiteral("--data-dir"), data_dir}, QDir::homePath());
  return started ? OpenResult::kStarted : OpenResult::kFailed;
}

}  // namespace pellucor::app::remind
