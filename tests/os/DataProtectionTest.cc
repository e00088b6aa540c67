#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "os/data_protection.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "support/RootCases.h"
#endif

namespace keystead::os {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedEnv;
using test_support::TempFolder;

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A machine of its own: its key file lives in a temporary folder that does
// not exist yet.
class DataProtectionTest : public ::testing::Test {
 protected:
  std::string KeyFile() const { return dir_.Path("keystead/machine.key"); }

  TempFolder dir_;
  ScopedEnv keyFile_{"KEYSTEAD_MACHINE_KEY_FILE", dir_.Path("keystead/machine.key")};
};

TEST_F(DataProtectionTest, ProtectedDataOpensAgainWithItsDescription) {
  const std::string data("master password\0with zero bytes\0", 32);
  const std::optional<std::string> blob = ProtectForMachine(data, "Norvell (R)");
  ASSERT_TRUE(blob.has_value());
  EXPECT_EQ(blob->find("master password"), std::string::npos);
  EXPECT_EQ(blob->find("Norvell"), std::string::npos);

  std::string description;
  EXPECT_EQ(UnprotectForMachine(*blob, &description), data);
  EXPECT_EQ(description, "Norvell (R)");
  EXPECT_EQ(UnprotectForMachine(*ProtectForMachine("", "")), "");
}

TEST_F(DataProtectionTest, TheMachineKeyIsCreatedOnceReadableByAllAndKept) {
  EXPECT_EQ(UnprotectForMachine(std::string(64, 'x')), std::nullopt);
  EXPECT_FALSE(fs::exists(KeyFile())) << "opening a blob never creates a key";

  const std::optional<std::string> first = ProtectForMachine("one", "");
  ASSERT_TRUE(first.has_value());
  const std::string key = ReadAll(KeyFile());
  EXPECT_EQ(key.size(), 32u);
  EXPECT_EQ(fs::status(KeyFile()).permissions(), fs::perms(0644));
  EXPECT_EQ(fs::status(dir_.Path("keystead")).permissions(), fs::perms(0755));

  const std::optional<std::string> second = ProtectForMachine("one", "");
  ASSERT_TRUE(second.has_value());
  EXPECT_NE(*second, *first) << "every blob has a fresh nonce";
  EXPECT_EQ(ReadAll(KeyFile()), key);
  EXPECT_EQ(UnprotectForMachine(*first), "one");
}

TEST_F(DataProtectionTest, ABlobOfAnotherMachineDoesNotOpen) {
  const std::optional<std::string> blob = ProtectForMachine("secret", "d");
  ASSERT_TRUE(blob.has_value());
  ScopedEnv otherMachine("KEYSTEAD_MACHINE_KEY_FILE", dir_.Path("other/machine.key"));
  ASSERT_TRUE(ProtectForMachine("x", "").has_value());
  EXPECT_EQ(UnprotectForMachine(*blob), std::nullopt);
}

TEST_F(DataProtectionTest, ATamperedOrTruncatedBlobDoesNotOpen) {
  const std::string blob = *ProtectForMachine("secret", "description");
  // Version byte, nonce, sealed description and data, tag.
  for (const std::size_t position :
       {std::size_t{0}, std::size_t{5}, std::size_t{14}, std::size_t{20}, blob.size() - 1}) {
    std::string tampered = blob;
    tampered[position] = static_cast<char>(tampered[position] ^ 0x01);
    EXPECT_EQ(UnprotectForMachine(tampered), std::nullopt) << "byte " << position;
  }
  EXPECT_EQ(UnprotectForMachine(blob.substr(0, blob.size() - 1)), std::nullopt);
  EXPECT_EQ(UnprotectForMachine(blob + "x"), std::nullopt);
  EXPECT_EQ(UnprotectForMachine(""), std::nullopt);
}

TEST_F(DataProtectionTest, AnUnusableKeyFileIsNeverReplaced) {
  fs::create_directories(dir_.Path("keystead"));
  std::ofstream(KeyFile(), std::ios::binary) << std::string(31, 'k');
  EXPECT_EQ(ProtectForMachine("data", ""), std::nullopt);
  EXPECT_EQ(ReadAll(KeyFile()), std::string(31, 'k'));
}

#ifndef _WIN32
// Anybody who can plant or change the key can open every blob.
TEST_F(DataProtectionTest, AKeyFileAnotherUserCouldHaveWrittenIsNeitherUsedNorReplaced) {
  const std::string blob = *ProtectForMachine("secret", "");
  const std::string key = ReadAll(KeyFile());
  struct Case {
    const char* name;
    bool needsRoot;
    std::function<void()> plant;
  };
  const std::vector<Case> cases = {
      {"owned by another user", true,
       [&] { ASSERT_EQ(chown(KeyFile().c_str(), 12345, static_cast<gid_t>(-1)), 0); }},
      {"writable by group", false, [&] { fs::permissions(KeyFile(), fs::perms(0664)); }},
      {"writable by others", false, [&] { fs::permissions(KeyFile(), fs::perms(0646)); }},
      {"a symbolic link", false,
       [&] {
         fs::rename(KeyFile(), dir_.Path("keystead/real.key"));
         fs::create_symlink(dir_.Path("keystead/real.key"), KeyFile());
       }},
      {"a FIFO", false,
       [&] {
         fs::remove(KeyFile());
         ASSERT_EQ(mkfifo(KeyFile().c_str(), 0644), 0);
       }},
  };
  const bool skipped = test_support::RunCasesWithinReach(cases, [&](const Case& c) {
    fs::remove_all(dir_.Path("keystead"));
    fs::create_directories(dir_.Path("keystead"));
    std::ofstream(KeyFile(), std::ios::binary) << key;
    fs::permissions(KeyFile(), fs::perms(0644));
    ASSERT_EQ(UnprotectForMachine(blob), "secret");
    c.plant();
    const fs::file_status planted = fs::symlink_status(KeyFile());
    EXPECT_EQ(UnprotectForMachine(blob), std::nullopt);
    EXPECT_EQ(ProtectForMachine("data", ""), std::nullopt);
    EXPECT_EQ(fs::symlink_status(KeyFile()).type(), planted.type());
    EXPECT_EQ(fs::symlink_status(KeyFile()).permissions(), planted.permissions());
  });
  if (skipped) GTEST_SKIP() << "the case of another user's file needs root";
}
#endif

TEST(DataProtectionConcurrencyTest, ThreadsCreatingTheKeyAtOnceShareOneKey) {
  TempFolder dir;
  ScopedEnv keyFile("KEYSTEAD_MACHINE_KEY_FILE", dir.Path("machine.key"));
  constexpr int kThreads = 8;
  std::vector<std::optional<std::string>> blobs(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back(
          [&blob = blobs[t], t] { blob = ProtectForMachine("data " + std::to_string(t), ""); });
    }
  }
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_TRUE(blobs[t].has_value());
    EXPECT_EQ(UnprotectForMachine(*blobs[t]), "data " + std::to_string(t));
  }
}

}  // namespace
}  // namespace keystead::os
