#pragma once

// The POSIX environment calls that the test suites use, on the C run-time of
// Windows, whose environment every module of the process shares. Included
// into every test source of the Windows build.
#ifdef _WIN32
#include <cstdlib>
#include <filesystem>
#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
  // Windows has no empty variables: setting one to "" removes it, which the
  // platform layer reads the same way.
  return _putenv((std::string(name) + "=" + value).c_str());
}

// For std::filesystem::path::c_str(), which is wide on Windows: the platform
// layer reads its variables as UTF-8.
inline int setenv(const char* name, const wchar_t* value, int overwrite) {
  const std::u8string utf8 = std::filesystem::path(value).u8string();
  return setenv(name, std::string(utf8.begin(), utf8.end()).c_str(), overwrite);
}

inline int unsetenv(const char* name) { return _putenv((std::string(name) + "=").c_str()); }
#endif
