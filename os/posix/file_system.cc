#include "os/file_system.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <exception>

namespace keystead::os {
namespace {

constexpr mode_t kFolderMode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;  // 0755

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeFolder(const std::string& path) {
  // Another process may create it at the same moment; what counts is that it is there.
  return mkdir(path.c_str(), kFolderMode) == 0 || IsDirectory(path);
}

bool UsablePath(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos;
}

}  // namespace

bool CreateDirectoryRecursively(const std::string& path) {
  try {
    if (!UsablePath(path)) return false;
    if (IsDirectory(path)) return true;
    // Each prefix that ends just before a separator is a parent to create first.
    for (std::size_t end = path.find('/', 1); end != std::string::npos;
         end = path.find('/', end + 1)) {
      if (path[end - 1] == '/') continue;
      if (!MakeFolder(path.substr(0, end))) return false;
    }
    return MakeFolder(path);
  } catch (const std::exception&) {
    return false;
  }
}

bool FileExists(const std::string& path) {
  try {
    struct stat info {};
    return UsablePath(path) && stat(path.c_str(), &info) == 0;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace keystead::os
