#pragma once

// A throw-away machine for tests of the suite binding, the install helper
// and the suite endpoints: a private registry, a suite folder that may hold a
// copy of one of the fake suite libraries, and a product folder that may hold
// the recording install utility. The fakes' FAKE_* variables are cleared on
// entry and exit. Windows trusts only signed modules: there the unsigned
// fakes inside the machine are trusted through the code-signature test seam
// of this program (the plug-in library has a seam of its own).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "os/code_signature.h"
#include "os/dynamic_library.h"
#include "os/file_system.h"
#include "os/process_launch.h"
#include "support/TempFolder.h"
#include "support/TestRegistry.h"

namespace keystead::test {

#ifdef FAKE_VSUAPI_ALL
// The fake suite library with all three exports.
inline constexpr char kFakeSuiteAll[] = FAKE_VSUAPI_ALL;
// The fake suite library that exports NotifyChange only.
inline constexpr char kFakeSuiteNotifyOnly[] = FAKE_VSUAPI_NOTIFY_ONLY;
// The recording install utility.
inline constexpr char kFakeInstallUtility[] = FAKE_INSTALL_UTILITY;
#endif

inline constexpr char kSuiteKey[] = "SOFTWARE\\Corvane\\CSH";
inline constexpr char kSuiteDirValue[] = "Install Dir";
inline constexpr char kInstallInfoKey[] = "SOFTWARE\\Keystead\\InstallInfo";
inline constexpr char kInstallDirValue[] = "InstallDir";
inline constexpr char kOemInfoKey[] = "Software\\Corvane\\OemInfo";

class FakeSuiteMachine {
 public:
  // How the name of every machine's folder starts.
  static constexpr char kFolderPrefix[] = "keystead-suite-";

  FakeSuiteMachine() : root_(PrepareRoot(folder_)), registry_(root_) {
    ClearFakeVariables();
    setenv("FAKE_VSUAPI_LOG", Path("suite.log").c_str(), 1);
    setenv("FAKE_INSTALL_UTILITY_LOG", Path("utility.log").c_str(), 1);
#ifdef _WIN32
    trustFakes_.emplace([root = Path("")](const std::string& path) {
      return os::CodeSignatureVerdict{path.starts_with(root), "outside the test machine"};
    });
#endif
  }

  ~FakeSuiteMachine() { ClearFakeVariables(); }

  FakeSuiteMachine(const FakeSuiteMachine&) = delete;
  FakeSuiteMachine& operator=(const FakeSuiteMachine&) = delete;

  std::string Path(const std::string& relative) const {
    return os::Utf8FromPath((root_ / os::PathFromUtf8(relative)).make_preferred());
  }
  std::string SuiteFolder() const { return Path("suite"); }
  std::string SuiteLibrary() const {
    return Path("suite/" + os::SharedLibraryFileName("CvVSUAPI"));
  }
  std::string UtilityProgram() const {
    return Path("product/" + os::ExecutableFileName("CvKsInsUtil"));
  }

  // Copies `library` into the suite folder (owner-writable only) and names
  // the folder in the registry.
  void InstallSuite(const std::string& library) {
    InstallFile(library, SuiteLibrary());
    SetRegistryValue(kSuiteKey, kSuiteDirValue, SuiteFolder());
  }

#ifdef FAKE_VSUAPI_ALL
  // Copies the recording install utility into the product folder, which it
  // names in the registry: each start adds its arguments to UtilityLog().
  void InstallUtility() {
    InstallFile(kFakeInstallUtility, UtilityProgram());
    SetRegistryValue(kInstallInfoKey, kInstallDirValue, Path("product"));
  }
#endif

  void SetRegistryValue(const std::string& key, const std::string& name, const std::string& value) {
    registry_.SetString(key, name, value);
  }

  void RemoveRegistryValue(const std::string& key, const std::string& name) {
    registry_.Remove(key, name);
  }

  // Sets one of the fake library's FAKE_VSUAPI_* variables.
  void SetFake(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
  }

  // The fake library's record: "load" and one line per call.
  std::vector<std::string> SuiteLog() const { return Lines(Path("suite.log")); }
  // The argument lines of every install utility start.
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
  // The machine's folders, writable by their owner only, in `folder`.
  static std::filesystem::path PrepareRoot(const test_support::TempFolder& folder) {
    const std::filesystem::path root = os::PathFromUtf8(folder.Path());
    for (const char* name : {"", "suite", "product"}) MakeFolder(root / name);
    return root;
  }

  static void InstallFile(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(os::PathFromUtf8(from), os::PathFromUtf8(to),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(os::PathFromUtf8(to), kOwnerOnlyWritable);
  }

  static void ClearFakeVariables() {
    for (const char* name :
         {"FAKE_VSUAPI_EMAIL", "FAKE_VSUAPI_EMAIL_STATUS", "FAKE_VSUAPI_EMAIL_FILL",
          "FAKE_VSUAPI_NOTIFY_STATUS", "FAKE_VSUAPI_CANHIDE", "FAKE_VSUAPI_LOG",
          "FAKE_INSTALL_UTILITY_LOG"}) {
      unsetenv(name);
    }
  }

  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(os::PathFromUtf8(path));
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  test_support::TempFolder folder_{kFolderPrefix};  // first: the members below live in it
  std::filesystem::path root_;
  test_support::TestRegistry registry_;
#ifdef _WIN32
  std::optional<os::ScopedCodeSignatureVerifierForTesting> trustFakes_;
#endif
};

}  // namespace keystead::test
