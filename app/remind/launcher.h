// "Open": the desktop program on the agent's data directory. It is started unless it already
// runs on that directory: a second one could not write the data file the first one holds.
#pragma once

#include <QString>

namespace pellucor::app::remind {

// The desktop program beside this one (as built, and as installed), else `pellucor` on the PATH.
[[nodiscard]] QString DesktopProgram(const QString& own_program);

enum class OpenResult { kStarted, kAlreadyRunning, kFailed };
// Starts `program` detached on `data_dir` unless it runs on it already.
[[nodiscard]] OpenResult OpenDesktop(const QString& program, const QString& data_dir);

}  // namespace pellucor::app::remind
