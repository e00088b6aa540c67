#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "os/code_signature.h"
#include "os/process_info.h"

namespace keystead::vault::test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("keystead-vault-test-" + std::to_string(os::CurrentProcessId()) + "-" +
             std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path(const std::string& relative = {}) const {
    return relative.empty() ? path_.string() : (path_ / relative).make_preferred().string();
  }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable and restores the old value when it goes.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline os::CodeSignatureVerdict TrustEverything(const std::string&) { return {true, {}}; }

// A machine of its own for one test: the machine-wide application-data
// folder and the machine key live in a temporary folder, and every module
// passes the code-signature check unless a test installs another verifier.
class VaultMachine {
 public:
  VaultMachine()
      : programData_("KEYSTEAD_PROGRAMDATA", CreateFolder("programdata")),
        machineKey_("KEYSTEAD_MACHINE_KEY_FILE", root_.Path("etc-keystead/machine.key")),
        verifier_(TrustEverything) {}

  std::string ProgramData() const { return root_.Path("programdata"); }
  std::string VaultFolder() const { return root_.Path("programdata/Keystead"); }
  std::string VaultFile() const { return root_.Path("programdata/Keystead/KeysteadVault.dat"); }
  std::string MachineKeyFile() const { return root_.Path("etc-keystead/machine.key"); }
  std::string Path(const std::string& relative) const { return root_.Path(relative); }

 private:
  std::string CreateFolder(const std::string& relative) {
    std::filesystem::create_directories(root_.Path(relative));
    return root_.Path(relative);
  }

  TempFolder root_;
  ScopedEnvironment programData_;
  ScopedEnvironment machineKey_;
  os::ScopedCodeSignatureVerifierForTesting verifier_;
};

}  // namespace keystead::vault::test
