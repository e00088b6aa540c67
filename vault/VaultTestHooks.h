#pragma once

#include <functional>
#include <string>

#include "vault/VaultExport.h"

namespace keystead::vault::test {

// Exported for test programs of builds with KS_TEST_HOOKS only: while a
// verifier is set, the library's code-signature checks (of its caller, of
// itself and in Callvfy) ask it instead of the platform, so that the unsigned
// test build can reach the secrets on Windows. An empty function brings the
// platform check back. Release builds leave this out.
KS_VAULT_API void SetVaultCodeSignatureVerifier(
    std::function<bool(const std::string& path)> verifier);

}  // namespace keystead::vault::test
