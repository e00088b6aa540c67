#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "os/process_info.h"

namespace keystead::os::test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("keystead-os-test-" + std::to_string(CurrentProcessId()) + "-" +
             std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  std::string Path() const { return path_.string(); }
  std::string Path(const std::string& relative) const { return (path_ / relative).string(); }

  // Writes a file below the folder and returns its path.
  std::string WriteFile(const std::string& relative, const std::string& content) const {
    std::ofstream(path_ / relative, std::ios::binary) << content;
    return Path(relative);
  }

 private:
  std::filesystem::path path_;
};

// Sets (or with nullopt unsets) an environment variable and restores the old
// value when the object goes.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace keystead::os::test
