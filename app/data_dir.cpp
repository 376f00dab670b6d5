#include "app/data_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace pellucor::app {
namespace {

std::string EnvValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// Makes `path` and its missing parents one by one, each private to the user.
std::string MakeDirectories(const std::filesystem::path& path) {
  std::filesystem::path partial;
  for (const auto& part : path) {
    partial /= part;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      return "cannot create the data directory " + partial.string() + ": " + std::strerror(errno);
    }
  }
  return {};
}

}  // namespace

std::string ResolveDataDir(std::optional<std::string_view> override_dir) {
  if (override_dir && !override_dir->empty()) return Absolute(std::string(*override_dir));
  if (std::string env = EnvValue(std::string(kDataDirVariable).c_str()); !env.empty()) {
    return Absolute(env);
  }
  // XDG: a relative XDG_DATA_HOME is invalid and is ignored.
  if (std::string xdg = EnvValue("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/') {
    return Absolute(xdg + "/pellucor");
  }
  if (std::string home = EnvValue("HOME"); !home.empty()) {
    return Absolute(home + "/.local/share/pellucor");
  }
  return {};
}

DataDirResult EnsureDataDir(std::optional<std::string_view> override_dir) {
  DataDirResult result;
  result.path = ResolveDataDir(override_dir);
  if (result.path.empty()) {
    result.error = "no data directory: set PELLUCOR_DATA_DIR, XDG_DATA_HOME or HOME";
    return result;
  }
  struct stat st {};
  if (stat(result.path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      result.error = "cannot use the data directory " + result.path + ": " + std::strerror(errno);
      return result;
    }
    result.error = MakeDirectories(result.path);
    if (!result.ok()) return result;
    if (stat(result.path.c_str(), &st) != 0) {
      result.error = "cannot use the data directory " + result.path + ": " + std::strerror(errno);
      return result;
    }
  }
  if (!S_ISDIR(st.st_mode)) {
    result.error = "the data directory " + result.path + " is not a directory";
  }
  return result;
}

DataDirResult EnterDataDir(std::optional<std::string_view> override_dir) {
  DataDirResult result = EnsureDataDir(override_dir);
  if (result.ok() && chdir(result.path.c_str()) != 0) {
    result.error = "cannot enter the data directory " + result.path + ": " + std::strerror(errno);
  }
  return result;
}

}  // namespace pellucor::app
