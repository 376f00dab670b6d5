// "Open": the desktop program on the agent's data directory. It is started unless it already
// runs on that directory; then it is asked over the session bus to come to the front.
#pragma once

#include <QString>

namespace pellucor::app::remind {

// The desktop program beside this one (as built, and as installed), else `pellucor` on the PATH.
[[nodiscard]] QString DesktopProgram(const QString& own_program);

// kAlreadyRunning: it runs, but did not answer the request to come to the front.
enum class OpenResult { kStarted, kRaised, kAlreadyRunning, kFailed };
// Starts `program` detached on `data_dir`, or raises the one that runs on it already.
[[nodiscard]] OpenResult OpenDesktop(const QString& program, const QString& data_dir);

}  // namespace pellucor::app::remind
