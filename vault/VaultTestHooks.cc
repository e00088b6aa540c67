#include "vault/VaultTestHooks.h"

#include <utility>

#include "os/code_signature.h"

namespace keystead::test_hooks {

void SetVaultCodeSignatureVerifier(std::function<bool(const std::string& path)> verifier) {
  os::SetCodeSignatureVerifierForTesting(std::move(verifier));
}

}  // namespace keystead::test_hooks
