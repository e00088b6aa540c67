// Known folders come from KEYSTEAD_LOCALAPPDATA and KEYSTEAD_PROGRAMDATA, with
// the XDG defaults. A variable set to an empty text counts as unset.
#include "os/known_folders.h"

#include <cstdlib>
#include <exception>

namespace keystead::os {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The folder without trailing separators; nullopt when nothing is left.
std::optional<std::string> Folder(std::string path) {
  while (!path.empty() && path.back() == kPathSeparator) path.pop_back();
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<std::string> DefaultLocalAppData() {
  // XDG asks to ignore a relative XDG_DATA_HOME.
  if (auto xdg = Variable("XDG_DATA_HOME"); xdg && xdg->front() == '/') return Folder(*xdg);
  if (auto home = Variable("HOME")) {
    while (!home->empty() && home->back() == kPathSeparator) home->pop_back();
    return *home + "/.local/share";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LocalAppDataFolder() {
  try {
    if (auto configured = Variable("KEYSTEAD_LOCALAPPDATA")) return Folder(*configured);
    return DefaultLocalAppData();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> ProgramDataFolder() {
  try {
    return Folder(Variable("KEYSTEAD_PROGRAMDATA").value_or("/var/lib"));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
