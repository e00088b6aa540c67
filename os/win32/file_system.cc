// Folders and files through the wide Win32 functions; both '\' and '/'
// separate path components.
#include "os/file_system.h"

#include <windows.h>

#include <exception>
#include <optional>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolder(const std::wstring& path) {
  // Another process may create it at the same moment; what counts is that it is there.
  return CreateDirectoryW(path.c_str(), nullptr) != 0 || IsDirectory(path);
}

// Length of the part of the path that cannot be created: "C:\", "\", or
// "\\server\share\" (and the "\\?\" prefix of long paths).
std::size_t RootLength(const std::wstring& path) {
  std::size_t start = 0;
  if (path.rfind(L"\\\\?\\", 0) == 0) start = 4;
  if (path.size() >= start + 2 && path[start + 1] == L':') {
    return start + 2 + (path.size() > start + 2 && IsSeparator(path[start + 2]) ? 1 : 0);
  }
  if (start == 0 && path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // A share: skip the server and the share names.
    std::size_t end = 2;
    for (int component = 0; component < 2 && end < path.size(); ++component) {
      while (end < path.size() && !IsSeparator(path[end])) ++end;
      if (end < path.size()) ++end;
    }
    return end;
  }
  return start + (path.size() > start && IsSeparator(path[start]) ? 1 : 0);
}

}  // namespace

bool CreateDirectoryRecursively(const std::string& path) {
  try {
    const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
    if (!wide || wide->empty()) return false;
    if (IsDirectory(*wide)) return true;
    // Each prefix that ends just before a separator is a parent to create first.
    for (std::size_t end = RootLength(*wide); end < wide->size(); ++end) {
      if (!IsSeparator((*wide)[end]) || end == 0 || IsSeparator((*wide)[end - 1])) continue;
      if (!MakeFolder(wide->substr(0, end))) return false;
    }
    return MakeFolder(*wide);
  } catch (const std::exception&) {
    return false;
  }
}

bool FileExists(const std::string& path) {
  try {
    const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
    return wide && !wide->empty() && GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace keystead::os
