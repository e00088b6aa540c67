// The exported names of the KeysteadVault shared library itself. The library
// runs the platform's own code-signature check here, unless a test sets the
// library's own hook (the scoped verifier of this program does not reach into
// the library).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/vault/VaultTestSupport.h"
#include "vault/KeysteadVault.h"
#include "vault/VaultTestHooks.h"

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

using Result = OwnedResult<&KeysteadVaultFree>;

// Whether the platform's check passes for this test program and the library
// as they lie in the build folder.
bool BuildFolderPassesTheCheck() {
  const auto executable = os::CurrentExecutablePath();
  const auto library = os::ModulePathOf(reinterpret_cast<const void*>(&Callgr));
  return executable && library && *library != *executable && os::VerifyCodeSignature(*executable) &&
         os::VerifyCodeSignature(*library);
}

TEST(ExportsTest, FlatExportsWithoutSecretsWorkAndRejectNullInput) {
  const Result text(Callgr("whatever"));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text.get(), "DecriptedRegistryValue");
  EXPECT_EQ(gr("x"), "DecriptedRegistryValue");
  EXPECT_EQ(Callgr(nullptr), nullptr);
  EXPECT_EQ(Callecy(nullptr), nullptr);
  EXPECT_EQ(Calldcy(nullptr), nullptr);
  EXPECT_EQ(Callvalidate(nullptr), nullptr);
  EXPECT_EQ(Callvfy(nullptr), 0);
  KeysteadVaultFree(nullptr);
}

TEST(ExportsTest, CallvfyRunsThePlatformCheck) {
  TempFolder folder;
  const std::string trustedFolder = folder.Path("modules");
  fs::create_directory(trustedFolder);
  fs::permissions(trustedFolder, fs::perms(0755));
  const std::string module = trustedFolder + "/module.so";
  WriteFile(module, "module");
  fs::permissions(module, fs::perms(0755));
  EXPECT_EQ(Callvfy(module.c_str()), 1);

  fs::permissions(module, fs::perms(0775));
  EXPECT_EQ(Callvfy(module.c_str()), 0);
  EXPECT_EQ(Callvfy((trustedFolder + "/missing.so").c_str()), 0);
  EXPECT_EQ(Callvfy((trustedFolder + "/\xFF.so").c_str()), 0);
}

// A first validate on an empty machine, then every secret export, for a
// caller that passes the check.
void ExpectSecretExportsWork() {
  bool verdict = true;
  const Result message(Callvalidate(&verdict));
  ASSERT_NE(message, nullptr);
  EXPECT_FALSE(verdict);
  EXPECT_STREQ(message.get(), "vault file doesn't exit");

  const Result sqliteKey(Callgsq());
  ASSERT_NE(sqliteKey, nullptr);
  EXPECT_EQ(std::string(sqliteKey.get()).size(), 188u);
  EXPECT_EQ(gsq(), sqliteKey.get());
  EXPECT_EQ(std::string(Result(Callgcsa()).get()).size(), 32u);
  EXPECT_EQ(gcss().size(), 44u);
  const Result ciphertext(Callecy("exported"));
  ASSERT_NE(ciphertext, nullptr);
  EXPECT_EQ(ecy("exported"), ciphertext.get());
  EXPECT_STREQ(Result(Calldcy(ciphertext.get())).get(), "exported");
  EXPECT_EQ(dcy(ciphertext.get()), "exported");

  std::string text = "ok:";
  EXPECT_TRUE(validate(text));
  EXPECT_EQ(text, "ok:");
}

TEST(ExportsTest, SecretExportsWorkWhenTheBuildFolderPassesTheCheck) {
  VaultMachine machine;
  if (BuildFolderPassesTheCheck()) {
    ExpectSecretExportsWork();
    return;
  }
  bool verdict = true;
  const Result message(Callvalidate(&verdict));
  ASSERT_NE(message, nullptr);
  EXPECT_FALSE(verdict);
  EXPECT_EQ(std::string(message.get()).rfind("Certs not valid-", 0), 0u) << message.get();
  EXPECT_EQ(gsq(), "");
  EXPECT_FALSE(fs::exists(machine.VaultFile()));
}

// Through the library's test hook, on every platform: on Windows the unsigned
// test build never passes WinVerifyTrust.
TEST(ExportsTest, SecretExportsWorkForACallerTheHookTrusts) {
  VaultMachine machine;
  const std::string missing = machine.Path("missing-module");
  test_hooks::SetVaultCodeSignatureVerifier([](const std::string&) { return true; });
  ExpectSecretExportsWork();
  EXPECT_EQ(Callvfy(missing.c_str()), 1);
  test_hooks::SetVaultCodeSignatureVerifier({});
  EXPECT_EQ(Callvfy(missing.c_str()), 0) << "the platform check is back";
}

}  // namespace
}  // namespace keystead::vault::test
