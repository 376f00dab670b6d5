#include "data/kestrune/names.h"

#include "platform/codepage.h"
#include "platform/file.h"

namespace pellucor::data::kestrune {

bool HasExtension(std::string_view file) {
  const size_t slash = file.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? file : file.substr(slash + 1);
  const size_t dot = base.rfind('.');
  // A leading dot names a hidden file, not an extension.
  return dot != std::string_view::npos && dot > 0;
}

KestruneName SplitName(std::string_view name, const IsDirectoryFn& is_directory) {
  KestruneName result;
  // Names often come from blank-padded fields: trailing blanks are padding, not part of a name.
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  size_t from = 0;
  size_t at = std::string_view::npos;
  while ((at = name.find(kTableSeparator, from)) != std::string_view::npos) {
    if (!is_directory(std::string(name.substr(0, at)))) break;
    from = at + 1;  // part of the path: search on
  }
  if (at == std::string_view::npos) {
    result.file_part = std::string(name);
  } else {
    result.file_part = std::string(name.substr(0, at));
    result.table = std::string(name.substr(at + kTableSeparator.size()));
    platform::AnsiUpperInPlace(result.table);
  }
  if (result.table.empty()) result.table = std::string(kUnnamedTable);
  result.path = result.file_part;
  if (!HasExtension(result.path)) result.path += kDefaultExtension;
  return result;
}

KestruneName SplitName(std::string_view name) {
  return SplitName(name, [](const std::string& path) {
    return !path.empty() && platform::Env::Default()->IsDirectory(path);
  });
}

std::string ReportedName(const KestruneName& name) {
  if (name.table == kUnnamedTable) return name.file_part;
  return name.file_part + std::string(kTableSeparator) + name.table;
}

}  // namespace pellucor::data::kestrune
