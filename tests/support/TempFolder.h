#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "os/process_info.h"

namespace keystead::test_support {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes. Not thread-safe; each test makes its own.
class TempFolder {
 public:
  // The folder's name starts with `namePrefix`, then the process id and a count.
  explicit TempFolder(const std::string& namePrefix = "keystead-test-") {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            (namePrefix + std::to_string(os::CurrentProcessId()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder itself, or `relative` below it with the platform's separators.
  std::string Path(const std::string& relative = {}) const {
    return relative.empty() ? path_.string() : (path_ / relative).make_preferred().string();
  }

  // Writes a file below the folder and returns its path.
  std::string WriteFile(const std::string& relative, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Replaces the file's contents (creating it) with `bytes`.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string TempFolder::WriteFile(const std::string& relative,
                                         const std::string& content) const {
  const std::string path = Path(relative);
  test_support::WriteFile(path, content);
  return path;
}

}  // namespace keystead::test_support
