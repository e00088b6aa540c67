// Known folders come from SHGetKnownFolderPath. KEYSTEAD_LOCALAPPDATA and
// KEYSTEAD_PROGRAMDATA relocate them, as on every platform (a variable set to
// an empty text counts as unset).
#include "os/known_folders.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <cstdlib>
#include <exception>
#include <memory>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

struct TaskMemoryFreer {
  void operator()(wchar_t* memory) const { CoTaskMemFree(memory); }
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The folder without trailing separators ("C:\" keeps its own); nullopt when
// nothing is left.
std::optional<std::string> Folder(std::string path) {
  while (!path.empty() && IsSeparator(path.back())) {
    if (path.size() == 3 && path[1] == ':') break;
    path.pop_back();
  }
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<std::string> KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &path);
  // The buffer is released whether or not the call succeeded.
  const std::unique_ptr<wchar_t, TaskMemoryFreer> owner(path);
  if (FAILED(result) || path == nullptr) return std::nullopt;
  return Folder(win32::Utf8FromWide(path));
}

std::optional<std::string> Folder(const char* variable, REFKNOWNFOLDERID id) {
  try {
    if (auto configured = Variable(variable)) return Folder(*configured);
    return KnownFolder(id);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> LocalAppDataFolder() {
  return Folder("KEYSTEAD_LOCALAPPDATA", FOLDERID_LocalAppData);
}

std::optional<std::string> ProgramDataFolder() {
  return Folder("KEYSTEAD_PROGRAMDATA", FOLDERID_ProgramData);
}

}  // namespace keystead::os
