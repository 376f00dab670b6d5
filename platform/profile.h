// Profile (INI) files with the behaviour programs expect of the system's profile functions:
// sections and keys are matched without regard to case and the first match wins; a value's
// surrounding quotes are removed; a value longer than the caller's limit is cut; writing keeps
// every other line, comment and blank line of the file in place; writing to a missing file or
// section creates it; a key or a whole section can be deleted.
//
// The system profile is $XDG_CONFIG_HOME/pellucor/system.ini (~/.config when unset), or the file
// that PELLUCOR_SYSTEM_PROFILE names. It holds the sections "intl" (date and time settings) and
// the trace switches of the drivers ("QNKESTRUNE", "QNASCII", "QNVIEW").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::platform {

// The value of key in section, or `fallback` when the file, section or key is missing; at most
// limit - 1 characters (the limit counts the terminator the caller's buffer would need).
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view fallback, size_t limit,
                                    const std::string& file);
// The value read as a decimal integer (leading digits, optional sign); `fallback` when missing.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int fallback,
                         const std::string& file);
// The key names of a section (first spelling of each), or the section names when section is
// empty (std::nullopt).
std::vector<std::string> GetPrivateProfileKeys(std::optional<std::string_view> section,
                                               const std::string& file);

// Writes key=value into section. value std::nullopt deletes the key; key std::nullopt deletes the
// whole section. Returns false (and sets the last system error) when the file cannot be written.
[[nodiscard]] bool WritePrivateProfileString(std::string_view section,
                                             std::optional<std::string_view> key,
                                             std::optional<std::string_view> value,
                                             const std::string& file);

std::string SystemProfilePath();
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, size_t limit);
int GetProfileInt(std::string_view section, std::string_view key, int fallback);
[[nodiscard]] bool WriteProfileString(std::string_view section, std::optional<std::string_view> key,
                                      std::optional<std::string_view> value);

}  // namespace pellucor::platform
