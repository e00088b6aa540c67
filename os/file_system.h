#pragma once

#include <string>

namespace keystead::os {

// Creates a folder and every missing parent. True when the folder exists
// afterwards (already existing counts as success). Never throws.
bool CreateDirectoryRecursively(const std::string& path);

// True when a file or folder exists at the path. Never throws.
bool FileExists(const std::string& path);

}  // namespace keystead::os
