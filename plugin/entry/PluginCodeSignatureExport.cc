#include "plugin/entry/PluginCodeSignatureExport.h"

#include <utility>

#include "os/code_signature.h"

namespace corvane::larchmere::plugin::test {

void SetPluginCodeSignatureVerifier(std::function<bool(const std::string& path)> verifier) {
  keystead::os::SetCodeSignatureVerifierForTesting(std::move(verifier));
}

}  // namespace corvane::larchmere::plugin::test
