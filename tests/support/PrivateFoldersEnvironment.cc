// Points the plug-in's folders, registry and engine scenario at a private
// temporary folder before any test of the executable runs, so that log lines
// and registry reads of the code under test never reach the real machine.
// Built into the suites that ask for it (see CMakeLists.txt); it registers
// itself during static initialisation, before main and hence before the
// first log line creates the process-wide logger.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "os/process_info.h"
#include "support/TestRegistry.h"

namespace keystead::test_support {
namespace {

class PrivateFoldersEnvironment : public ::testing::Environment {
 public:
  explicit PrivateFoldersEnvironment(const std::string& folderPrefix)
      : root_(std::filesystem::temp_directory_path() /
              (folderPrefix + "-" + std::to_string(os::CurrentProcessId()))) {
    std::filesystem::create_directories(root_ / "local");
    std::filesystem::create_directories(root_ / "machine");
    setenv("KEYSTEAD_LOCALAPPDATA", (root_ / "local").c_str(), 1);
    setenv("KEYSTEAD_PROGRAMDATA", (root_ / "machine").c_str(), 1);
    registry_ = std::make_unique<TestRegistry>(root_);
    unsetenv("KEYSTEAD_SIM_SCENARIO");
  }

  void TearDown() override {
    registry_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::filesystem::path root_;
  std::unique_ptr<TestRegistry> registry_;
};

testing::Environment* const kPrivateFolders = testing::AddGlobalTestEnvironment(
    new PrivateFoldersEnvironment("keystead-" KS_SUITE_FOLDER "-tests"));

}  // namespace
}  // namespace keystead::test_support
