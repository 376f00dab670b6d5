// How another program of this user brings a running desktop program to the front: each
// `pellucor` owns the session-bus name kDesktopServicePrefix + its process id (several may run,
// each on its own data directory) and answers the method kDesktopRaise of kDesktopInterface at
// kDesktopPath. The reminder agent's "Open" calls it when the program already runs.
#pragma once

namespace pellucor::app {

inline constexpr const char* kDesktopServicePrefix = "org.pellucor.Desktop.p";
inline constexpr const char* kDesktopPath = "/org/pellucor/Desktop";
inline constexpr const char* kDesktopInterface = "org.pellucor.Desktop";
inline constexpr const char* kDesktopRaise = "Raise";

}  // namespace pellucor::app
