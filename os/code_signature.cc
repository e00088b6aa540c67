// What CheckCodeSignature does on every platform: ask a test verifier when
// one is installed, else the platform's check, and never throw.
#include "os/code_signature.h"

#include <exception>
#include <mutex>
#include <utility>

#include "os/code_signature_platform.h"

namespace keystead::os {
namespace {

using Verifier = ScopedCodeSignatureVerifierForTesting::Verifier;

std::mutex gVerifierMutex;
std::shared_ptr<const Verifier> gVerifier;  // guarded by gVerifierMutex; null: the platform check

std::shared_ptr<const Verifier> InstalledVerifier() {
  std::lock_guard lock(gVerifierMutex);
  return gVerifier;
}

std::shared_ptr<const Verifier> ExchangeVerifier(std::shared_ptr<const Verifier> verifier) {
  std::lock_guard lock(gVerifierMutex);
  return std::exchange(gVerifier, std::move(verifier));
}

}  // namespace

CodeSignatureVerdict CheckCodeSignature(const std::string& path) {
  try {
    if (const std::shared_ptr<const Verifier> verifier = InstalledVerifier()) {
      return (*verifier)(path);
    }
    return PlatformCheckCodeSignature(path);
  } catch (const std::exception&) {
    return {false, "verification failed"};
  }
}

bool VerifyCodeSignature(const std::string& path) { return CheckCodeSignature(path).trusted; }

ScopedCodeSignatureVerifierForTesting::ScopedCodeSignatureVerifierForTesting(Verifier verifier)
    : previous_(ExchangeVerifier(std::make_shared<const Verifier>(std::move(verifier)))) {}

ScopedCodeSignatureVerifierForTesting::~ScopedCodeSignatureVerifierForTesting() {
  ExchangeVerifier(std::move(previous_));
}

void SetCodeSignatureVerifierForTesting(std::function<bool(const std::string& path)> trusts) {
  if (!trusts) {
    ExchangeVerifier(nullptr);
    return;
  }
  ExchangeVerifier(
      std::make_shared<const Verifier>([trusts = std::move(trusts)](const std::string& path) {
        return CodeSignatureVerdict{trusts(path), "refused by the test verifier"};
      }));
}

}  // namespace keystead::os
