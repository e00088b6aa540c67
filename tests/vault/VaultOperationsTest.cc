#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VaultTestSupport.h"
#include "vault/CCrypto.h"
#include "vault/CVault.h"
#include "vault/VaultOperations.h"

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

using FlatResult = OwnedResult<&FreeResult>;

std::string Text(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>((i * 7 + 3) % 256));
  return text;
}

using VaultOperationsTest = VaultTest;

TEST_F(VaultOperationsTest, ValidateWithoutAVaultFailsAppendsAndCreatesNothing) {
  std::string message = "before:";
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "before:vault file doesn't exit");
  EXPECT_FALSE(fs::exists(machine_.VaultFolder()));

  EXPECT_FALSE(gsq().empty());
  message = "kept";
  EXPECT_TRUE(validate(message));
  EXPECT_EQ(message, "kept");
}

TEST_F(VaultOperationsTest, OperationsReuseTheVaultWithoutChangingIt) {
  const std::string sqliteKey = gsq();
  ASSERT_EQ(sqliteKey.size(), 188u);
  const std::string bytes = ReadFile(machine_.VaultFile());
  ASSERT_EQ(bytes.size(), 8228u);

  EXPECT_EQ(gsq(), sqliteKey);
  EXPECT_EQ(gcsa().size(), 32u);
  EXPECT_EQ(gcss().size(), 44u);
  EXPECT_EQ(dcy(ecy("text")), "text");
  std::string message;
  EXPECT_TRUE(validate(message));
  EXPECT_EQ(ReadFile(machine_.VaultFile()), bytes);
}

TEST_F(VaultOperationsTest, EcyAndDcyRoundTripFromTheEmptyTextToSeveralKilobytes) {
  std::vector<std::size_t> lengths = {0, 1, 15, 16, 17, 100, 2047, 2048, 8000};
  for (std::size_t length = 990; length <= 1010; ++length) lengths.push_back(length);
  for (const std::size_t length : lengths) {
    SCOPED_TRACE("length " + std::to_string(length));
    const std::string text = Text(length);
    const std::string ciphertext = ecy(text);
    ASSERT_FALSE(ciphertext.empty());
    EXPECT_EQ(dcy(ciphertext), text);
    EXPECT_EQ(ecy(text), ciphertext) << "fixed key and zero IV: the same text, the same ciphertext";
  }
  // The result is exactly the cipher under the master password.
  EXPECT_EQ(ecy("abc"), CCrypto(CVault().getKey(MASTER_KEY)).Encrypt("abc"));
}

TEST_F(VaultOperationsTest, ARemovedVaultIsReplacedByANewOneWithFreshKeys) {
  const std::string sqliteKey = gsq();
  const std::string ciphertext = ecy("text");
  const std::string secretA = gcsa();
  const std::string secretS = gcss();
  fs::remove(machine_.VaultFile());

  EXPECT_NE(gsq(), sqliteKey);
  EXPECT_NE(ecy("text"), ciphertext);
  EXPECT_EQ(dcy(ciphertext), "") << "the old master password is gone";
  EXPECT_EQ(gcsa(), secretA) << "the fixed secrets stay the same";
  EXPECT_EQ(gcss(), secretS);
}

TEST_F(VaultOperationsTest, FailedCodeSignatureVerificationTouchesNothing) {
  std::vector<std::string> checked;
  os::ScopedCodeSignatureVerifierForTesting untrusted([&checked](const std::string& path) {
    checked.push_back(path);
    return os::CodeSignatureVerdict{false, "file writable by group or others"};
  });
  EXPECT_EQ(gsq(), "");
  EXPECT_EQ(gcsa(), "");
  EXPECT_EQ(gcss(), "");
  EXPECT_EQ(ecy("text"), "");
  EXPECT_EQ(dcy("AAAA"), "");
  std::string message;
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "Certs not valid-calling executable: file writable by group or others");
  EXPECT_FALSE(fs::exists(machine_.VaultFolder()));
  ASSERT_FALSE(checked.empty());
  EXPECT_EQ(checked.front(), os::CurrentExecutablePath());
}

TEST_F(VaultOperationsTest, TheLibraryItselfIsVerifiedToo) {
  int calls = 0;
  // Here the library is linked into the test program: its second check
  // covers the same file, and failing it must block the operation as well.
  os::ScopedCodeSignatureVerifierForTesting secondCheckFails([&calls](const std::string&) {
    return os::CodeSignatureVerdict{++calls == 1, "changed"};
  });
  std::string message;
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "Certs not valid-vault library: changed");
}

TEST_F(VaultOperationsTest, SecretOperationsRefuseAMasterPasswordFromAnotherMachine) {
  const std::string ciphertext = ecy("text");
  ASSERT_FALSE(ciphertext.empty());
  ScopedEnv otherMachine("KEYSTEAD_MACHINE_KEY_FILE", machine_.Path("other.key"));
  EXPECT_EQ(gsq(), "");
  EXPECT_EQ(ecy("text"), "");
  EXPECT_EQ(dcy(ciphertext), "");
  std::string message;
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "No Master password");
}

// A vault written by hand from the given records (each value encrypted here).
class HandMadeVaultTest : public VaultOperationsTest {
 protected:
  void WriteVault(const std::vector<std::pair<KeyType, std::string>>& records) {
    CVault vault;
    for (const auto& [keyType, value] : records) ASSERT_TRUE(vault.StoredKey(keyType, value));
    fs::create_directories(machine_.VaultFolder());
    ASSERT_TRUE(vault.writeToStorage());
  }

  std::string ProtectedMaster(const std::string& master) {
    std::string blob;
    EXPECT_TRUE(CVault::CryptMasterPwd(master, blob));
    return blob;
  }
};

TEST_F(HandMadeVaultTest, ValidateNamesTheFirstProblem) {
  const std::string master = "hand-made master";
  const CCrypto crypto(master);
  struct Case {
    const char* expected;
    std::vector<std::pair<KeyType, std::string>> records;
  };
  const std::vector<Case> cases = {
      {"No Master password", {{SQLITE_KEY, crypto.Encrypt("sqlite")}}},
      {"No Master password", {{MASTER_KEY, ""}, {SQLITE_KEY, crypto.Encrypt("sqlite")}}},
      {"get sql key failed ", {{MASTER_KEY, ProtectedMaster(master)}}},
      {"decrypt sql key failed",
       {{MASTER_KEY, ProtectedMaster(master)}, {SQLITE_KEY, CCrypto("other").Encrypt("x")}}},
      {"", {{MASTER_KEY, ProtectedMaster(master)}, {SQLITE_KEY, crypto.Encrypt("sqlite")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    fs::remove(machine_.VaultFile());
    WriteVault(c.records);
    std::string message;
    EXPECT_EQ(validate(message), std::string(c.expected).empty());
    EXPECT_EQ(message, c.expected);
  }
  EXPECT_EQ(gsq(), "sqlite");
}

// What an earlier build's Callecy("hello") gave under the empty password.
constexpr char kHelloUnderTheEmptyPassword[] = "VdlNFiXvcBnHSRQimcErSQ==";

TEST_F(HandMadeVaultTest, AWeakVaultEncryptsNothingNewAndHandsOutNothingStored) {
  const std::string underEmpty = CCrypto("").Encrypt("stored");
  std::string protectsNothing;
  ASSERT_TRUE(CVault::CryptMasterPwd("", protectsNothing));
  struct Case {
    const char* name;
    std::vector<std::pair<KeyType, std::string>> master;
  };
  const std::vector<Case> cases = {
      {"no master record", {}},
      {"empty master record", {{MASTER_KEY, ""}}},
      {"protected empty password", {{MASTER_KEY, protectsNothing}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(machine_.VaultFile());
    std::vector<std::pair<KeyType, std::string>> records = c.master;
    for (const KeyType keyType : {SQLITE_KEY, CSA_KEY, CSS_KEY}) {
      records.emplace_back(keyType, underEmpty);
    }
    WriteVault(records);
    const std::string bytes = ReadFile(machine_.VaultFile());

    EXPECT_EQ(ecy("hello"), "");
    EXPECT_EQ(FlatResult(Callecy("hello")).get(), std::string());
    EXPECT_EQ(gsq(), "");
    EXPECT_EQ(gcsa(), "");
    EXPECT_EQ(gcss(), "");
    EXPECT_EQ(dcy(kHelloUnderTheEmptyPassword), "hello") << "old texts still come back";
    std::string message;
    EXPECT_FALSE(validate(message));
    EXPECT_EQ(message, "No Master password");
    EXPECT_EQ(ReadFile(machine_.VaultFile()), bytes);
  }
}

TEST(WeakKeyVectorTest, TheOldEcyOfHelloIsTheCipherOfTheEmptyPassword) {
  EXPECT_EQ(CCrypto("").Encrypt("hello"), kHelloUnderTheEmptyPassword);
}

TEST_F(HandMadeVaultTest, AFolderInPlaceOfTheFileIsNoVault) {
  fs::create_directories(machine_.VaultFile());
  std::string message;
  EXPECT_FALSE(validate(message));
  EXPECT_EQ(message, "vault file not trusted: not a regular file");
  EXPECT_EQ(ecy("text"), "") << "a folder is no vault with an empty master password";
  EXPECT_EQ(dcy(kHelloUnderTheEmptyPassword), "");
}

TEST(VaultGrTest, AlwaysAnswersTheFixedTextWithoutAVault) {
  EXPECT_EQ(gr(""), "DecriptedRegistryValue");
  EXPECT_EQ(gr("anything"), "DecriptedRegistryValue");
  for (const char* input : {"", "x", "\xFF\xFE"}) {
    const FlatResult result(Callgr(input));
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result.get(), "DecriptedRegistryValue");
  }
}

TEST_F(VaultOperationsTest, FlatWrappersCopyTheResultsForTheCaller) {
  const FlatResult sqlite(Callgsq());
  ASSERT_NE(sqlite, nullptr);
  EXPECT_EQ(sqlite.get(), gsq());
  EXPECT_EQ(FlatResult(Callgcsa()).get(), gcsa());
  EXPECT_EQ(FlatResult(Callgcss()).get(), gcss());

  const FlatResult ciphertext(Callecy("flat text"));
  ASSERT_NE(ciphertext, nullptr);
  EXPECT_EQ(ciphertext.get(), ecy("flat text"));
  EXPECT_STREQ(FlatResult(Calldcy(ciphertext.get())).get(), "flat text");
  // A result is handed over up to its first zero byte.
  const std::string withZero("ab\0cd", 5);
  EXPECT_STREQ(FlatResult(Calldcy(ecy(withZero).c_str())).get(), "ab");
}

TEST_F(VaultOperationsTest, CallvalidateReportsVerdictAndMessage) {
  bool verdict = true;
  FlatResult message(Callvalidate(&verdict));
  ASSERT_NE(message, nullptr);
  EXPECT_FALSE(verdict);
  EXPECT_STREQ(message.get(), "vault file doesn't exit");

  ASSERT_FALSE(gsq().empty());
  message.reset(Callvalidate(&verdict));
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(verdict);
  EXPECT_STREQ(message.get(), "");
}

TEST_F(VaultOperationsTest, NullPointersGiveNullResults) {
  EXPECT_EQ(Callecy(nullptr), nullptr);
  EXPECT_EQ(Calldcy(nullptr), nullptr);
  EXPECT_EQ(Callgr(nullptr), nullptr);
  EXPECT_EQ(Callvalidate(nullptr), nullptr);
  EXPECT_EQ(Callvfy(nullptr), 0);
  FreeResult(nullptr);
  EXPECT_FALSE(fs::exists(machine_.VaultFolder()));
}

TEST(CallvfyTest, AsksTheVerifierOnlyForValidUtf8Paths) {
  std::vector<std::string> asked;
  os::ScopedCodeSignatureVerifierForTesting verifier([&asked](const std::string& path) {
    asked.push_back(path);
    return os::CodeSignatureVerdict{path.find("trusted") != std::string::npos, "no"};
  });
  EXPECT_EQ(Callvfy("/opt/trusted/lib\xC3\xA9.so"), 1);
  EXPECT_EQ(Callvfy("/opt/other/lib.so"), 0);
  const std::vector<std::string> invalid = {
      "/trusted/\xFF",         "/trusted/\xC3",         "/trusted/\xC0\xAF",
      "/trusted/\xE0\x80\xAF", "/trusted/\xED\xA0\x80", "/trusted/\xF4\x90\x80\x80",
      "/trusted/\x80",         "/trusted/\xE2\x82",
  };
  for (const std::string& path : invalid) EXPECT_EQ(Callvfy(path.c_str()), 0) << path;
  EXPECT_EQ(asked, (std::vector<std::string>{"/opt/trusted/lib\xC3\xA9.so", "/opt/other/lib.so"}));
}

TEST(Utf8Test, AcceptsWellFormedTextOnly) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain/ascii"));
  EXPECT_TRUE(IsValidUtf8("\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsValidUtf8("\xC1\xBF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xF0\x8F\xBF\xBF"));  // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE2\x28\xA1"));      // bad continuation
  EXPECT_FALSE(IsValidUtf8("\xF0\x90\x80"));      // truncated
}

}  // namespace
}  // namespace keystead::vault::test
