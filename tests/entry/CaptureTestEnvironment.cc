// Keeps the capture tests' log lines and registry reads in a private
// temporary folder, unless another environment of this executable already
// chose one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "os/process_info.h"

namespace {

class CapturePrivateFolders : public testing::Environment {
 public:
  CapturePrivateFolders()
      : root(std::filesystem::temp_directory_path() /
             ("keystead-capture-tests-" + std::to_string(keystead::os::CurrentProcessId()))) {
    std::filesystem::create_directories(root / "local");
    std::filesystem::create_directories(root / "machine");
    setenv("KEYSTEAD_LOCALAPPDATA", (root / "local").c_str(), 0);
    setenv("KEYSTEAD_PROGRAMDATA", (root / "machine").c_str(), 0);
    setenv("KEYSTEAD_REGISTRY", (root / "registry.json").c_str(), 0);
    unsetenv("KEYSTEAD_SIM_SCENARIO");
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

 private:
  std::filesystem::path root;
};

// Registered during static initialisation, before the first log line creates
// the process-wide logger.
testing::Environment* const kCapturePrivateFolders =
    testing::AddGlobalTestEnvironment(new CapturePrivateFolders);

}  // namespace
