#include "vault/VaultTestHooks.h"

#include <mutex>
#include <optional>
#include <utility>

#include "os/code_signature.h"

namespace keystead::vault::test {
namespace {

std::mutex verifierMutex;
std::optional<os::ScopedCodeSignatureVerifierForTesting> installedVerifier;

}  // namespace

void SetVaultCodeSignatureVerifier(std::function<bool(const std::string& path)> verifier) {
  std::scoped_lock lock(verifierMutex);
  installedVerifier.reset();
  if (!verifier) return;
  installedVerifier.emplace([verifier = std::move(verifier)](const std::string& path) {
    return os::CodeSignatureVerdict{verifier(path), "refused by the test verifier"};
  });
}

}  // namespace keystead::vault::test
