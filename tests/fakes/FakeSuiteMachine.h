#pragma once

// A throw-away machine for tests of the suite binding, the install helper
// and the suite endpoints: a registry file (KEYSTEAD_REGISTRY), a suite
// folder that may hold a copy of one of the fake suite libraries, and a
// product folder that may hold a recording CvKsInsUtil. The fake library's
// FAKE_VSUAPI_* variables are cleared on entry and exit.

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "os/dynamic_library.h"
#include "os/process_info.h"

namespace keystead::test {

#ifdef FAKE_VSUAPI_ALL
// The fake suite library with all three exports.
inline constexpr char kFakeSuiteAll[] = FAKE_VSUAPI_ALL;
// The fake suite library that exports NotifyChange only.
inline constexpr char kFakeSuiteNotifyOnly[] = FAKE_VSUAPI_NOTIFY_ONLY;
#endif

inline constexpr char kSuiteKey[] = "SOFTWARE\\Corvane\\CSH";
inline constexpr char kSuiteDirValue[] = "Install Dir";
inline constexpr char kInstallInfoKey[] = "SOFTWARE\\Keystead\\InstallInfo";
inline constexpr char kInstallDirValue[] = "InstallDir";
inline constexpr char kOemInfoKey[] = "Software\\Corvane\\OemInfo";

class FakeSuiteMachine {
 public:
  FakeSuiteMachine() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("keystead-suite-" + std::to_string(os::CurrentProcessId()) + "-" +
             std::to_string(counter++));
    for (const char* folder : {"", "suite", "product"}) MakeFolder(root_ / folder);
    if (const char* old = std::getenv("KEYSTEAD_REGISTRY")) oldRegistry_ = old;
    setenv("KEYSTEAD_REGISTRY", (root_ / "registry.json").c_str(), 1);
    ClearFakeVariables();
    setenv("FAKE_VSUAPI_LOG", (root_ / "suite.log").c_str(), 1);
    WriteRegistry();
  }

  ~FakeSuiteMachine() {
    ClearFakeVariables();
    if (oldRegistry_) {
      setenv("KEYSTEAD_REGISTRY", oldRegistry_->c_str(), 1);
    } else {
      unsetenv("KEYSTEAD_REGISTRY");
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  FakeSuiteMachine(const FakeSuiteMachine&) = delete;
  FakeSuiteMachine& operator=(const FakeSuiteMachine&) = delete;

  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
  std::string SuiteFolder() const { return Path("suite"); }
  std::string SuiteLibrary() const {
    return Path("suite/" + os::SharedLibraryFileName("CvVSUAPI"));
  }

  // Copies `library` into the suite folder (owner-writable only) and names
  // the folder in the registry.
  void InstallSuite(const std::string& library) {
    std::filesystem::copy_file(library, SuiteLibrary(),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(SuiteLibrary(), kOwnerOnlyWritable);
    SetRegistryValue(kSuiteKey, kSuiteDirValue, SuiteFolder());
  }

  // Writes a CvKsInsUtil into the product folder that records its arguments
  // in utility.log, and names the folder in the registry.
  void InstallUtility() {
    const std::filesystem::path program = root_ / "product" / "CvKsInsUtil";
    std::ofstream(program) << "#!/bin/sh\necho \"$@\" >> '" << Path("utility.log") << "'\n";
    std::filesystem::permissions(program, kOwnerOnlyWritable);
    SetRegistryValue(kInstallInfoKey, kInstallDirValue, Path("product"));
  }

  void SetRegistryValue(const std::string& key, const std::string& name, const std::string& value) {
    registry_[key][name] = value;
    WriteRegistry();
  }

  void RemoveRegistryValue(const std::string& key, const std::string& name) {
    registry_[key].erase(name);
    WriteRegistry();
  }

  // Sets one of the fake library's FAKE_VSUAPI_* variables.
  void SetFake(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
  }

  // The fake library's record: "load" and one line per call.
  std::vector<std::string> SuiteLog() const { return Lines(Path("suite.log")); }
  // The argument lines of every CvKsInsUtil start.
  std::vector<std::string> UtilityLog() const { return Lines(Path("utility.log")); }

  static void MakeFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, kOwnerOnlyWritable);
  }

  static constexpr std::filesystem::perms kOwnerOnlyWritable =
      std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
      std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
      std::filesystem::perms::others_exec;

 private:
  static void ClearFakeVariables() {
    for (const char* name :
         {"FAKE_VSUAPI_EMAIL", "FAKE_VSUAPI_EMAIL_STATUS", "FAKE_VSUAPI_EMAIL_FILL",
          "FAKE_VSUAPI_NOTIFY_STATUS", "FAKE_VSUAPI_CANHIDE", "FAKE_VSUAPI_LOG"}) {
      unsetenv(name);
    }
  }

  static std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
      if (c == '"' || c == '\\') out.push_back('\\');
      out.push_back(c);
    }
    return out + "\"";
  }

  void WriteRegistry() const {
    std::ostringstream json;
    json << "{";
    const char* keySeparator = "";
    for (const auto& [key, values] : registry_) {
      json << keySeparator << Quoted(key) << ":{";
      const char* valueSeparator = "";
      for (const auto& [name, value] : values) {
        json << valueSeparator << Quoted(name) << ":" << Quoted(value);
        valueSeparator = ",";
      }
      json << "}";
      keySeparator = ",";
    }
    json << "}";
    std::ofstream(root_ / "registry.json", std::ios::trunc) << json.str();
  }

  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path root_;
  std::optional<std::string> oldRegistry_;
  std::map<std::string, std::map<std::string, std::string>> registry_;
};

}  // namespace keystead::test
