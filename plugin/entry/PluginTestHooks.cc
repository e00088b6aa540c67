#include "plugin/entry/PluginTestHooks.h"

#include <utility>

#include "os/code_signature.h"
#include "plugin/entry/PluginState.h"

namespace keystead::test_hooks {

void SetPluginClock(std::shared_ptr<corvane::larchmere::plugin::common::Clock> clock) {
  corvane::larchmere::plugin::PluginState::Instance().SetClock(std::move(clock));
}

void SetPluginCodeSignatureVerifier(std::function<bool(const std::string& path)> verifier) {
  os::SetCodeSignatureVerifierForTesting(std::move(verifier));
}

}  // namespace keystead::test_hooks
