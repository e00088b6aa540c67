#include "plugin/entry/PluginCodeSignatureExport.h"

#include <mutex>
#include <optional>
#include <utility>

#include "os/code_signature.h"

namespace corvane::larchmere::plugin::test {
namespace {

std::mutex verifierMutex;
std::optional<keystead::os::ScopedCodeSignatureVerifierForTesting> installedVerifier;

}  // namespace

void SetPluginCodeSignatureVerifier(std::function<bool(const std::string& path)> verifier) {
  std::scoped_lock lock(verifierMutex);
  installedVerifier.reset();
  if (!verifier) return;
  installedVerifier.emplace([verifier = std::move(verifier)](const std::string& path) {
    return keystead::os::CodeSignatureVerdict{verifier(path), "refused by the test verifier"};
  });
}

}  // namespace corvane::larchmere::plugin::test
