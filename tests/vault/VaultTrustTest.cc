// A vault folder or file that another user could have planted or changed is
// never read, completed or changed: every secret export answers empty and
// validate names the reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "VaultTestSupport.h"
#include "vault/VaultOperations.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on
#else
#include <sys/stat.h>
#include <unistd.h>

#include "support/RootCases.h"
#endif

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

// The names and contents of everything below folder, to show that nothing
// was created, removed or changed.
std::vector<std::string> Snapshot(const std::string& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    const fs::file_status status = entry.symlink_status();
    entries.push_back(entry.path().string() + ":" +
                      std::to_string(static_cast<int>(status.type())) + ":" +
                      std::to_string(static_cast<int>(status.permissions())) + ":" +
                      (fs::is_regular_file(status) ? ReadFile(entry.path().string()) : ""));
  }
  return entries;
}

// Every secret export answers as for a vault it cannot read, validate gives
// expectedMessage, and nothing below the application-data folder changes.
void ExpectRefused(const VaultMachine& machine, const std::string& oldCiphertext,
                   const std::string& expectedMessage) {
  const std::vector<std::string> before = Snapshot(machine.ProgramData());
  EXPECT_EQ(gsq(), "");
  EXPECT_EQ(gcsa(), "");
  EXPECT_EQ(gcss(), "");
  EXPECT_EQ(ecy("text"), "");
  EXPECT_EQ(dcy(oldCiphertext), "");
  std::string message = "kept:";
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "kept:" + expectedMessage);
  EXPECT_EQ(Snapshot(machine.ProgramData()), before);
}

#ifndef _WIN32
constexpr uid_t kOtherUser = 12345;

struct PlantedCase {
  const char* name;
  bool needsRoot;  // only root can give a file to another user
  std::function<void(const VaultMachine&)> plant;
  const char* message;
};

void Chown(const std::string& path, uid_t user) {
  ASSERT_EQ(lchown(path.c_str(), user, static_cast<gid_t>(-1)), 0) << path;
}

// The vault folder or file of a machine.
using VaultPath = std::string (VaultMachine::*)() const;

std::function<void(const VaultMachine&)> OwnedByOther(VaultPath path) {
  return [path](const VaultMachine& m) { Chown((m.*path)(), kOtherUser); };
}

std::function<void(const VaultMachine&)> WithPermissions(VaultPath path, int permissions) {
  return [path, permissions](const VaultMachine& m) {
    fs::permissions((m.*path)(), static_cast<fs::perms>(permissions));
  };
}

// The vault moved away and a symbolic link to it in its place.
void LinkInPlaceOf(const std::string& path, const std::string& movedTo) {
  fs::rename(path, movedTo);
  fs::create_symlink(movedTo, path);
}

TEST(VaultTrustTest, APlantedFolderOrFileIsRefusedAndLeftUntouched) {
  const auto folder = &VaultMachine::VaultFolder;
  const auto file = &VaultMachine::VaultFile;
  const std::vector<PlantedCase> cases = {
      {"folder owned by another user", true, OwnedByOther(folder),
       "vault folder not trusted: owned by another user"},
      {"folder writable by group", false, WithPermissions(folder, 0775),
       "vault folder not trusted: writable by group or others"},
      {"folder writable by others", false, WithPermissions(folder, 0757),
       "vault folder not trusted: writable by group or others"},
      {"folder is a symbolic link", false,
       [](const VaultMachine& m) { LinkInPlaceOf(m.VaultFolder(), m.ProgramData() + "/real"); },
       "vault folder not trusted: a symbolic link"},
      {"file owned by another user", true, OwnedByOther(file),
       "vault file not trusted: owned by another user"},
      {"file writable by group", false, WithPermissions(file, 0664),
       "vault file not trusted: writable by group or others"},
      {"file writable by others", false, WithPermissions(file, 0646),
       "vault file not trusted: writable by group or others"},
      {"file is a symbolic link", false,
       [](const VaultMachine& m) { LinkInPlaceOf(m.VaultFile(), m.VaultFolder() + "/real.dat"); },
       "vault file not trusted: a symbolic link"},
      {"a FIFO in place of the file", false,
       [](const VaultMachine& m) {
         fs::remove(m.VaultFile());
         ASSERT_EQ(mkfifo(m.VaultFile().c_str(), 0644), 0);
       },
       "vault file not trusted: not a regular file"},
  };
  const bool skipped = test_support::RunCasesWithinReach(cases, [](const PlantedCase& c) {
    VaultMachine machine;
    const std::string ciphertext = ecy("old text");
    ASSERT_FALSE(ciphertext.empty());
    c.plant(machine);
    ExpectRefused(machine, ciphertext, c.message);
  });
  if (skipped) GTEST_SKIP() << "the cases of another user's folder or file need root";
}

TEST(VaultTrustTest, NothingIsCreatedInAPlantedEmptyFolder) {
  if (!test_support::RunsAsRoot()) GTEST_SKIP() << "giving a folder to another user needs root";
  VaultMachine machine;
  fs::create_directory(machine.VaultFolder());
  Chown(machine.VaultFolder(), kOtherUser);
  ExpectRefused(machine,
                "VdlNFiXvcBnHSRQimcErSQ==", "vault folder not trusted: owned by another user");
  EXPECT_TRUE(fs::is_empty(machine.VaultFolder()));
}

TEST(VaultTrustTest, AVaultOfRootOrOfTheCallerWithoutWriteForOthersIsTrusted) {
  VaultMachine machine;
  ASSERT_FALSE(gsq().empty());
  fs::permissions(machine.VaultFolder(), fs::perms(0700));
  fs::permissions(machine.VaultFile(), fs::perms(0600));
  std::string message;
  EXPECT_TRUE(validate(message)) << message;
  EXPECT_EQ(dcy(ecy("text")), "text");
}

TEST(VaultTrustTest, AForeignMachineKeyFileIsNotUsed) {
  if (!test_support::RunsAsRoot()) GTEST_SKIP() << "giving a file to another user needs root";
  VaultMachine machine;
  const std::string ciphertext = ecy("old text");
  ASSERT_FALSE(ciphertext.empty());
  Chown(machine.MachineKeyFile(), kOtherUser);
  const std::string key = ReadFile(machine.MachineKeyFile());
  EXPECT_EQ(gsq(), "");
  EXPECT_EQ(dcy(ciphertext), "");
  std::string message;
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "No Master password");
  EXPECT_EQ(ReadFile(machine.MachineKeyFile()), key) << "the key file is kept as it is";
}
#else
constexpr wchar_t kOtherUserSid[] = L"S-1-5-21-1004336348-1177238915-682003330-4242";

// Sets the owner or the DACL of path from SDDL; false when the descriptor
// read back lacks expected. Wine keeps no descriptor of its own: it shows the
// file's Unix owner and mode, so it keeps a write right for Everyone (as
// the mode's bits for others) but no entry for Users and no other owner.
bool SetDescriptor(const std::string& path, const wchar_t* sddl, SECURITY_INFORMATION part,
                   const wchar_t* expected) {
  PSECURITY_DESCRIPTOR wanted = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &wanted,
                                                            nullptr)) {
    return false;
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  GetSecurityDescriptorOwner(wanted, &owner, &defaulted);
  GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted);
  const std::wstring wide = fs::path(path).wstring();
  const DWORD set = SetNamedSecurityInfoW(const_cast<wchar_t*>(wide.c_str()), SE_FILE_OBJECT, part,
                                          owner, nullptr, dacl, nullptr);
  PSECURITY_DESCRIPTOR stored = nullptr;
  wchar_t* storedText = nullptr;
  const bool kept = set == ERROR_SUCCESS &&
                    GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, part, nullptr, nullptr,
                                          nullptr, nullptr, &stored) == ERROR_SUCCESS &&
                    ConvertSecurityDescriptorToStringSecurityDescriptorW(
                        stored, SDDL_REVISION_1, part, &storedText, nullptr) &&
                    std::wstring(storedText).find(expected) != std::wstring::npos;
  LocalFree(storedText);
  LocalFree(stored);
  LocalFree(wanted);
  return kept;
}

TEST(Win32VaultTrustTest, AFileWhoseDaclLetsOthersWriteIsRefused) {
  VaultMachine machine;
  const std::string ciphertext = ecy("old text");
  ASSERT_FALSE(ciphertext.empty());
  // Users where the descriptor is kept, Everyone where only the mode is.
  const wchar_t* const dacl = L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1201bf;;;BU)(A;;0x1201bf;;;WD)";
  if (!SetDescriptor(machine.VaultFile(), dacl, DACL_SECURITY_INFORMATION, L";BU)") &&
      !SetDescriptor(machine.VaultFile(), dacl, DACL_SECURITY_INFORMATION, L";WD)")) {
    GTEST_SKIP() << "the file system did not keep the DACL; "
                    "Win32TrustedFilesTest decides on descriptors built from SDDL";
  }
  ExpectRefused(machine, ciphertext, "vault file not trusted: writable by another user");
}

TEST(Win32VaultTrustTest, AFolderOrFileOfAnotherOwnerIsRefused) {
  const std::wstring otherOwner = std::wstring(L"O:") + kOtherUserSid;
  for (const bool folder : {true, false}) {
    SCOPED_TRACE(folder ? "folder" : "file");
    VaultMachine machine;
    const std::string ciphertext = ecy("old text");
    ASSERT_FALSE(ciphertext.empty());
    if (!SetDescriptor(folder ? machine.VaultFolder() : machine.VaultFile(), otherOwner.c_str(),
                       OWNER_SECURITY_INFORMATION, kOtherUserSid)) {
      GTEST_SKIP() << "the file system did not keep the owner; "
                      "Win32TrustedFilesTest decides on descriptors built from SDDL";
    }
    ExpectRefused(machine, ciphertext,
                  folder ? "vault folder not trusted: owned by another user"
                         : "vault file not trusted: owned by another user");
  }
}
#endif

}  // namespace
}  // namespace keystead::vault::test
