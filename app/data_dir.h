// The data directory: the one folder that holds a user's data file ("plk.KSR"), settings file
// ("KNB4.INI") and trace files. The programs run in it, so the system's relative names resolve
// there.
//
// Where it is, first found wins: `--data-dir DIR` on the command line, the environment variable
// PELLUCOR_DATA_DIR, $XDG_DATA_HOME/pellucor, ~/.local/share/pellucor. It is created on first use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellucor::app {

inline constexpr std::string_view kDataDirVariable = "PELLUCOR_DATA_DIR";
// The data file of both note tables, as it lies in the data directory.
inline constexpr std::string_view kDataFileName = "plk.KSR";

// The directory to use (not yet created): `override_dir` when given and not empty, else the
// environment's choice as above. Relative paths are made absolute against the working directory.
// Empty when no candidate exists (no override, no XDG_DATA_HOME and no HOME).
[[nodiscard]] std::string ResolveDataDir(std::optional<std::string_view> override_dir);

struct DataDirResult {
  std::string path;   // absolute; empty on failure
  std::string error;  // why it could not be made or entered; empty on success
  bool ok() const { return error.empty(); }
};

// Resolves the directory, creates it and its parents when missing (mode 0700 for the ones made
// here, as a user's private data), and checks that it is a directory.
[[nodiscard]] DataDirResult EnsureDataDir(std::optional<std::string_view> override_dir);

// EnsureDataDir, then makes the directory the working directory.
[[nodiscard]] DataDirResult EnterDataDir(std::optional<std::string_view> override_dir);

}  // namespace pellucor::app
