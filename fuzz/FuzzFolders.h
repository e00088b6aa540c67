#pragma once

// Points the plug-in's folders and registry at a private temporary folder for
// the life of a fuzz target, before the first log line creates the logger:
// log lines land there (no configuration file names another folder) and no
// registry value of the machine is read. Call once, from
// LLVMFuzzerInitialize; the folder is removed when the process exits.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace keystead::fuzz {

// A new folder under the temporary folder, named after the target.
inline std::filesystem::path NewPrivateFolder(const std::string& name) {
  std::random_device random;
  for (;;) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) return folder;
  }
}

inline void UsePrivateFolders(const std::string& name) {
  static const std::filesystem::path root = NewPrivateFolder(name);
  std::filesystem::create_directories(root / "local");
  std::filesystem::create_directories(root / "machine");
  setenv("KEYSTEAD_LOCALAPPDATA", (root / "local").c_str(), 1);
  setenv("KEYSTEAD_PROGRAMDATA", (root / "machine").c_str(), 1);
  // A registry file that does not exist: every value reads as missing.
  setenv("KEYSTEAD_REGISTRY", (root / "registry.json").c_str(), 1);
  unsetenv("KEYSTEAD_SIM_SCENARIO");
  unsetenv("KEYSTEAD_DEBUG_OUTPUT");
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  });
}

}  // namespace keystead::fuzz
