// One table of cipher vectors for every platform: texts encrypted by the
// openssl command-line tool under given master passwords. ecy must give the
// same bytes on POSIX (OpenSSL) and on Windows (CryptoAPI).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "VaultTestSupport.h"
#include "vault/CVault.h"
#include "vault/VaultOperations.h"

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

struct CipherVector {
  const char* passwordHex;
  const char* textHex;
  const char* ciphertext;
};

constexpr CipherVector kVectors[] = {
#include "vault/CipherVectors.inc"
};

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// A vault whose master password is the given one.
void WriteVaultWithMaster(const VaultMachine& machine, const std::string& master) {
  std::string blob;
  ASSERT_TRUE(CVault::CryptMasterPwd(master, blob));
  CVault vault;
  ASSERT_TRUE(vault.StoredKey(MASTER_KEY, blob));
  fs::create_directories(machine.VaultFolder());
  ASSERT_TRUE(vault.writeToStorage());
}

TEST(CipherVectorsTest, EcyUnderAGivenMasterPasswordGivesTheOpensslToolsBytes) {
  ASSERT_GE(std::size(kVectors), 20u);
  VaultMachine machine;
  for (const CipherVector& vector : kVectors) {
    const std::string password = FromHex(vector.passwordHex);
    const std::string text = FromHex(vector.textHex);
    SCOPED_TRACE("password " + std::string(vector.passwordHex) + ", text " + vector.textHex);
    fs::remove(machine.VaultFile());
    WriteVaultWithMaster(machine, password);
    if (password.empty()) {
      EXPECT_EQ(ecy(text), "") << "nothing new is encrypted under the empty password";
    } else {
      EXPECT_EQ(ecy(text), vector.ciphertext);
    }
    EXPECT_EQ(dcy(vector.ciphertext), text);
  }
}

#ifndef _WIN32
// The table is what the tool computes today, not a copy of our own output.
TEST(CipherVectorsTest, TheTableIsTheOpensslToolsOutput) {
  TempFolder folder;
  const std::string generated = folder.Path("vectors.inc");
  const std::string command =
      std::string(KS_SOURCE_DIR) + "/scripts/cipher-vectors.sh > " + generated;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(ReadFile(generated),
            ReadFile(std::string(KS_SOURCE_DIR) + "/tests/vault/CipherVectors.inc"));
}
#endif

}  // namespace
}  // namespace keystead::vault::test
