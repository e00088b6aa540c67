#pragma once

#include <optional>
#include <string>

namespace keystead::os {

// Separator of path components on this platform; fixed folder texts are
// written with it ("\\ksdata\\logs\\" on Windows, "/ksdata/logs/" here).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The current user's local application-data folder, without a trailing
// separator; nullopt when it cannot be determined. Thread-safe.
std::optional<std::string> LocalAppDataFolder();

// The machine-wide application-data folder, without a trailing separator;
// nullopt when it cannot be determined. Thread-safe.
std::optional<std::string> ProgramDataFolder();

}  // namespace keystead::os
