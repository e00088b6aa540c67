#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "VaultTestSupport.h"
#include "vault/CCrypto.h"
#include "vault/CVault.h"

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

std::int32_t Int32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return static_cast<std::int32_t>(value);
}

std::string Int32Bytes(std::int32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> shift));
  }
  return bytes;
}

// One record in its on-disk form.
std::string RecordBytes(std::int32_t keyType, const std::string& value, std::int32_t length) {
  std::string data = value;
  data.resize(kVaultRecordDataSize, '\0');
  return Int32Bytes(keyType) + Int32Bytes(length) + data;
}

std::string RecordBytes(std::int32_t keyType, const std::string& value) {
  return RecordBytes(keyType, value, static_cast<std::int32_t>(value.size()));
}

class CVaultTest : public VaultTest {
 protected:
  // Writes a vault file by hand (the folder is created first).
  void WriteVault(const std::string& bytes) {
    fs::create_directories(machine_.VaultFolder());
    WriteFile(machine_.VaultFile(), bytes);
  }
};

TEST_F(CVaultTest, TheVaultIsReadableByAllAndWritableByItsOwnerOnly) {
  ASSERT_TRUE(CVault().StoreKeys());
  EXPECT_EQ(fs::status(machine_.VaultFolder()).permissions(), fs::perms(0755));
  EXPECT_EQ(fs::status(machine_.VaultFile()).permissions(), fs::perms(0644));
}

TEST_F(CVaultTest, FirstStoreCreatesTheFolderAndAFullVaultThatLaterCallsLeaveAlone) {
  CVault vault;
  EXPECT_EQ(vault.path(), machine_.VaultFile());
  EXPECT_FALSE(fs::exists(machine_.VaultFolder())) << "no folder before a vault is stored";
  ASSERT_TRUE(vault.StoreKeys());

  const std::string bytes = ReadFile(machine_.VaultFile());
  ASSERT_EQ(bytes.size(), 8228u);
  EXPECT_EQ(Int32At(bytes, 0), 1001);
  const std::vector<std::int32_t> order = {MASTER_KEY, CSA_KEY, CSS_KEY, SQLITE_KEY};
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t record = 4 + kVaultRecordSize * k;
    EXPECT_EQ(Int32At(bytes, record), order[k]);
    const std::int32_t length = Int32At(bytes, record + 4);
    ASSERT_GT(length, 0);
    EXPECT_EQ(bytes[record + 8 + static_cast<std::size_t>(length)], '\0');
  }
  const std::vector<fs::directory_entry> entries{fs::directory_iterator(machine_.VaultFolder()),
                                                 fs::directory_iterator()};
  EXPECT_EQ(entries.size(), 1u) << "no temporary file is left behind";

  EXPECT_TRUE(CVault().StoreKeys());
  EXPECT_EQ(ReadFile(machine_.VaultFile()), bytes);
}

TEST_F(CVaultTest, StoredValuesDecryptUnderTheProtectedMasterPassword) {
  CVault vault;
  ASSERT_TRUE(vault.StoreKeys());
  const std::string master = vault.getKey(MASTER_KEY);
  ASSERT_EQ(master.size(), 189u) << "188 characters and the protected zero byte";
  EXPECT_EQ(master.back(), '\0');
  const CCrypto crypto(master);
  EXPECT_EQ(crypto.Decrypt(vault.getKey(CSA_KEY)).size(), 32u);
  EXPECT_EQ(crypto.Decrypt(vault.getKey(CSS_KEY)).size(), 44u);
  EXPECT_EQ(crypto.Decrypt(vault.getKey(SQLITE_KEY)).size(), 188u);
  // The master record is the protected blob, not the password in clear.
  EXPECT_EQ(ReadFile(machine_.VaultFile()).find(master.substr(0, 40)), std::string::npos);
}

TEST_F(CVaultTest, ReadsWholeRecordsWhateverTheFormatNumberAndDropsAPartialOne) {
  const std::string records = RecordBytes(CSA_KEY, "first") + RecordBytes(CSS_KEY, "second");
  struct Case {
    std::string bytes;
    std::size_t expectedRecords;
  };
  const std::vector<Case> cases = {
      {Int32Bytes(1001) + records, 2},
      {Int32Bytes(7) + records, 2},
      {Int32Bytes(1001) + records.substr(0, kVaultRecordSize + 1), 1},
      {Int32Bytes(1001) + records.substr(0, 2 * kVaultRecordSize - 1), 1},
      {Int32Bytes(1001) + records.substr(0, kVaultRecordSize - 1), 0},
      {"\x01\x02", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("file of " + std::to_string(c.bytes.size()) + " bytes");
    WriteVault(c.bytes);
    const std::vector<VaultRecord> read = CVault().ReadKeys();
    ASSERT_EQ(read.size(), c.expectedRecords);
    if (!read.empty()) {
      EXPECT_EQ(CVault().getKey(CSA_KEY), "first");
    }
  }
}

TEST_F(CVaultTest, TheFirstRecordOfATypeWinsAndInvalidLengthsReadAsAbsent) {
  WriteVault(Int32Bytes(1001) + RecordBytes(SQLITE_KEY, "one") + RecordBytes(SQLITE_KEY, "two") +
             RecordBytes(CSA_KEY, "negative", -1) + RecordBytes(CSS_KEY, "too long", 2048) +
             RecordBytes(CSS_KEY, "huge", INT_MAX));
  const CVault vault;
  EXPECT_EQ(vault.getKey(SQLITE_KEY), "one");
  EXPECT_EQ(vault.getKey(CSA_KEY), "");
  EXPECT_EQ(vault.getKey(CSS_KEY), "");
}

TEST_F(CVaultTest, AWeakMasterRecordYieldsAnEmptyMasterPassword) {
  std::string protectsNothing;
  ASSERT_TRUE(CVault::CryptMasterPwd("", protectsNothing));
  std::string strong;
  ASSERT_TRUE(CVault::CryptMasterPwd("strong", strong));
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"no master record", RecordBytes(SQLITE_KEY, "x")},
      {"empty master record", RecordBytes(MASTER_KEY, "")},
      {"negative length", RecordBytes(MASTER_KEY, strong, -1) + RecordBytes(MASTER_KEY, strong)},
      {"length 2048", RecordBytes(MASTER_KEY, strong, 2048) + RecordBytes(MASTER_KEY, strong)},
      {"protected empty password", RecordBytes(MASTER_KEY, protectsNothing)},
  };
  for (const auto& [name, records] : cases) {
    SCOPED_TRACE(name);
    WriteVault(Int32Bytes(1001) + records);
    const std::optional<os::SecretString> master = CVault().MasterPassword();
    ASSERT_TRUE(master.has_value());
    EXPECT_TRUE(master->empty()) << "the first master record decides, a later one is ignored";
  }
}

TEST_F(CVaultTest, AMasterPasswordProtectedOnAnotherMachineCannotBeRead) {
  ASSERT_TRUE(CVault().StoreKeys());
  ASSERT_FALSE(CVault().getKey(MASTER_KEY).empty());
  ScopedEnv otherMachine("KEYSTEAD_MACHINE_KEY_FILE", machine_.Path("other.key"));
  std::string unused;
  ASSERT_TRUE(CVault::CryptMasterPwd("creates the other machine's key", unused));

  EXPECT_FALSE(CVault().MasterPassword().has_value());
  EXPECT_EQ(CVault().getKey(MASTER_KEY), "");
}

TEST_F(CVaultTest, ValuesUpTo2047BytesFitAndLongerOnesAreRefused) {
  CVault vault;
  EXPECT_TRUE(vault.StoredKey(CSA_KEY, std::string(2047, 'v')));
  EXPECT_FALSE(vault.StoredKey(CSS_KEY, std::string(2048, 'v')));
  fs::create_directories(machine_.VaultFolder());
  ASSERT_TRUE(vault.writeToStorage());

  const std::string bytes = ReadFile(machine_.VaultFile());
  ASSERT_EQ(bytes.size(), 4 + kVaultRecordSize) << "the refused value wrote nothing";
  EXPECT_EQ(Int32At(bytes, 8), 2047);
  EXPECT_EQ(bytes.back(), '\0') << "the zero byte is the record's last data byte";
  EXPECT_EQ(CVault().getKey(CSA_KEY), std::string(2047, 'v'));
}

TEST_F(CVaultTest, WritesNothingWhenTheMasterPasswordCannotBeProtected) {
  // A machine key of the wrong size is unusable and is never replaced.
  fs::create_directories(fs::path(machine_.MachineKeyFile()).parent_path());
  WriteFile(machine_.MachineKeyFile(), "short");
  EXPECT_FALSE(CVault().StoreKeys());
  EXPECT_FALSE(fs::exists(machine_.VaultFile()));
  EXPECT_EQ(ReadFile(machine_.MachineKeyFile()), "short");

  fs::remove(machine_.MachineKeyFile());
  EXPECT_TRUE(CVault().StoreKeys()) << "a later call tries again";
  EXPECT_FALSE(CVault().getKey(MASTER_KEY).empty());
}

TEST_F(CVaultTest, AnUnusableFolderLeavesThePathEmptyAndAnExistingOneUnchanged) {
  WriteFile(machine_.VaultFolder(), "a file where the folder belongs");
  EXPECT_EQ(CVault().path(), "");
  EXPECT_FALSE(CVault().StoreKeys());
  fs::remove(machine_.VaultFolder());

  fs::create_directory(machine_.VaultFolder());
  fs::permissions(machine_.VaultFolder(), fs::perms(0700));
  EXPECT_TRUE(CVault().StoreKeys());
  EXPECT_EQ(fs::status(machine_.VaultFolder()).permissions(), fs::perms(0700));
}

TEST_F(CVaultTest, OnlyTheLastFolderComponentIsCreated) {
  ScopedEnv missing("KEYSTEAD_PROGRAMDATA", machine_.Path("missing/programdata"));
  EXPECT_FALSE(CVault().StoreKeys());
  EXPECT_FALSE(fs::exists(machine_.Path("missing")));
}

TEST_F(CVaultTest, XorScrambleIsItsOwnInverse) {
  const std::string text = "any text, any length: 0123456789";
  const std::string scrambled = CVault::xorScramble(text);
  EXPECT_EQ(scrambled.size(), text.size());
  EXPECT_NE(scrambled, text);
  EXPECT_EQ(CVault::xorScramble(scrambled), text);
}

}  // namespace
}  // namespace keystead::vault::test
