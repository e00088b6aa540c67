#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace keystead::os {

// Creates a folder and every missing parent. True when the folder exists
// afterwards (already existing counts as success). Never throws.
bool CreateDirectoryRecursively(const std::string& path);

// True when a file or folder exists at the path. Never throws.
bool FileExists(const std::string& path);

// A path from the layer's UTF-8 text and back. Narrow texts would go through
// the ANSI code page on Windows and lose what it cannot show.
inline std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace keystead::os
