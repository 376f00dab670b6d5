// Kestrune file names. A name may carry a table after the two characters "\!": "plk\!notes" is
// the table "NOTES" in the file "plk.KSR". The name is searched for "\!" from the left; an
// occurrence whose left part is an existing directory belongs to the path and the search goes
// on. The table is upper-cased; a name without a table addresses "UNNAMED". A file part without
// an extension gets ".KSR". Trailing blanks (the padding of a fixed-length name) are dropped.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pellucor::data::kestrune {

inline constexpr std::string_view kTableSeparator = "\\!";
inline constexpr std::string_view kDefaultExtension = ".KSR";
inline constexpr std::string_view kUnnamedTable = "UNNAMED";

struct KestruneName {
  std::string file_part;  // the file as named, before the extension rule
  std::string path;       // the file to open: file_part, with ".KSR" when it had no extension
  std::string table;      // upper-cased; "UNNAMED" when the name carries no table
};

using IsDirectoryFn = std::function<bool(const std::string& path)>;

// Splits a name, asking `is_directory` whether a left part is an existing directory.
KestruneName SplitName(std::string_view name, const IsDirectoryFn& is_directory);
// The same against the real file system (platform::Env::Default()).
KestruneName SplitName(std::string_view name);

// True when the last path component of `file` has an extension (a dot after its first
// character).
bool HasExtension(std::string_view file);

// The name the driver reports for an open table: the file part as named, then "\!" and the
// table unless the table is "UNNAMED".
std::string ReportedName(const KestruneName& name);

}  // namespace pellucor::data::kestrune
