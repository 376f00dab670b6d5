#include "app/remind/helper_client.h"

#include <QProcess>

namespace pellucor::app::remind {
namespace {

// A helper that has not finished by then hangs on something: it is ended and tried again later.
constexpr int kHelperTimeoutMs = 30000;

QString LastLine(const QByteArray& text) {
  const QList<QByteArray> lines = text.trimmed().split('\n');
  return lines.isEmpty() ? QString() : QString::fromUtf8(lines.last()).trimmed();
}

}  // namespace

HelperAnswer HelperClient::Due(const QString& day) const {
  HelperAnswer answer = Run({QStringLiteral("due"), day});
  return answer;
}

HelperAnswer HelperClient::Done(uint32_t id, const QString& fingerprint) const {
  return Run({QStringLiteral("done"), QString::number(id), fingerprint});
}

HelperAnswer HelperClient::Run(const QStringList& words) const {
  HelperAnswer answer;
  QProcess process;
  process.setProgram(program_);
  process.setArguments(
      QStringList{QStringLiteral("--data-dir"), data_dir_, QStringLiteral("--helper")} + words);
  process.start();
  if (!process.waitForStarted(kHelperTimeoutMs)) {
    answer.error = QStringLiteral("cannot start %1: %2").arg(program_, process.errorString());
    return answer;
  }
  if (!process.waitForFinished(kHelperTimeoutMs)) {
    process.kill();
    process.waitForFinished(1000);
    answer.error = QStringLiteral("reading the data file took too long");
    return answer;
  }
  const QByteArray out = process.readAllStandardOutput();
  const QString error = LastLine(process.readAllStandardError());
  if (process.exitStatus() != QProcess::NormalExit) {
    answer.error = QStringLiteral("the data file could not be read (the reader stopped)");
    return answer;
  }
  switch (process.exitCode()) {
    case helper_status::kOk:
      break;
    case helper_status::kGone:
      answer.kind = HelperAnswer::Kind::kGone;
      answer.error = error;
      return answer;
    default:
      answer.error = error.isEmpty() ? QStringLiteral("the data file cannot be used") : error;
      return answer;
  }
  for (const QByteArray& line : out.split('\n')) {
    if (line.isEmpty()) continue;
    if (std::optional<DueNote> note = ParseDueLine(line.toStdString())) {
      answer.notes.push_back(std::move(*note));
    } else {
      answer.error = QStringLiteral("the reader gave a line that is no note");
      return answer;
    }
  }
  answer.kind = HelperAnswer::Kind::kOk;
  return answer;
}

}  // namespace pellucor::app::remind
