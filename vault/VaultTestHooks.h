#pragma once

#include <functional>
#include <string>

#include "vault/VaultExport.h"

// Test hooks of the vault, exported by the test command's builds only
// (KS_TEST_HOOKS): a library a user runs has none of them, since any caller
// could switch its signature gate off through them.
namespace keystead::test_hooks {

// While a verifier is set, the library's code-signature checks (of its
// caller, of itself and in Callvfy) ask it instead of the platform, so that
// the unsigned test build can reach the secrets on Windows. An empty function
// brings the platform check back.
KS_VAULT_API void SetVaultCodeSignatureVerifier(
    std::function<bool(const std::string& path)> verifier);

}  // namespace keystead::test_hooks
