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

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace keystead::vault {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::VaultMachine;

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

// The vault moved away and a symbolic link to it in its place.
void LinkInPlaceOf(const std::string& path, const std::string& movedTo) {
  fs::rename(path, movedTo);
  fs::create_symlink(movedTo, path);
}

TEST(VaultTrustTest, APlantedFolderOrFileIsRefusedAndLeftUntouched) {
  const std::vector<PlantedCase> cases = {
      {"folder owned by another user", true,
       [](const VaultMachine& m) { Chown(m.VaultFolder(), kOtherUser); },
       "vault folder not trusted: owned by another user"},
      {"folder writable by group", false,
       [](const VaultMachine& m) { fs::permissions(m.VaultFolder(), fs::perms(0775)); },
       "vault folder not trusted: writable by group or others"},
      {"folder writable by others", false,
       [](const VaultMachine& m) { fs::permissions(m.VaultFolder(), fs::perms(0757)); },
       "vault folder not trusted: writable by group or others"},
      {"folder is a symbolic link", false,
       [](const VaultMachine& m) { LinkInPlaceOf(m.VaultFolder(), m.ProgramData() + "/real"); },
       "vault folder not trusted: a symbolic link"},
      {"file owned by another user", true,
       [](const VaultMachine& m) { Chown(m.VaultFile(), kOtherUser); },
       "vault file not trusted: owned by another user"},
      {"file writable by group", false,
       [](const VaultMachine& m) { fs::permissions(m.VaultFile(), fs::perms(0664)); },
       "vault file not trusted: writable by group or others"},
      {"file writable by others", false,
       [](const VaultMachine& m) { fs::permissions(m.VaultFile(), fs::perms(0646)); },
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
  bool skipped = false;
  for (const PlantedCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && geteuid() != 0) {
      skipped = true;
      continue;
    }
    VaultMachine machine;
    const std::string ciphertext = ecy("old text");
    ASSERT_FALSE(ciphertext.empty());
    c.plant(machine);
    ExpectRefused(machine, ciphertext, c.message);
  }
  if (skipped) GTEST_SKIP() << "the cases of another user's folder or file need root";
}

TEST(VaultTrustTest, NothingIsCreatedInAPlantedEmptyFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
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
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
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
#endif

}  // namespace
}  // namespace keystead::vault
