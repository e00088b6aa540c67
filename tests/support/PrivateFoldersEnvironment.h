#pragma once

// Points the plug-in's folders, registry and engine scenario at a private
// temporary folder before any test of an executable runs, so that log lines
// and registry reads of the code under test never reach the real machine.
// Register it during static initialisation (before main, hence before the
// first log line creates the process-wide logger):
//   testing::Environment* const kPrivateFolders = testing::AddGlobalTestEnvironment(
//       new keystead::test_support::PrivateFoldersEnvironment("keystead-entry-tests"));
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "os/process_info.h"
#include "support/TestRegistry.h"

namespace keystead::test_support {

class PrivateFoldersEnvironment : public ::testing::Environment {
 public:
  explicit PrivateFoldersEnvironment(const std::string& folderPrefix)
      : root(std::filesystem::temp_directory_path() /
             (folderPrefix + "-" + std::to_string(keystead::os::CurrentProcessId()))) {
    std::filesystem::create_directories(root / "local");
    std::filesystem::create_directories(root / "machine");
    setenv("KEYSTEAD_LOCALAPPDATA", (root / "local").c_str(), 1);
    setenv("KEYSTEAD_PROGRAMDATA", (root / "machine").c_str(), 1);
    registry = std::make_unique<TestRegistry>(root);
    unsetenv("KEYSTEAD_SIM_SCENARIO");
  }

  void TearDown() override {
    registry.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

 private:
  std::filesystem::path root;
  std::unique_ptr<TestRegistry> registry;
};

}  // namespace keystead::test_support
