#pragma once

#include <functional>
#include <memory>
#include <string>

#include "plugin/entry/KeysteadPluginExport.h"

namespace corvane::larchmere::plugin::common {
class Clock;
}  // namespace corvane::larchmere::plugin::common

// Test hooks of the plug-in, exported by the test command's builds only
// (KS_TEST_HOOKS): a library a user runs has none of them, since any caller
// could turn the plug-in's checks off through them.
namespace keystead::test_hooks {

// The clock that the next Initialize gives the capture paths (poll passes,
// pauses, display time-out stopwatches, frame stamps), so that tests drive
// time instead of sleeping through it. Null restores the system clock. Takes
// effect at the next Initialize only.
KS_PLUGIN_API void SetPluginClock(std::shared_ptr<corvane::larchmere::plugin::common::Clock> clock);

// While a verifier is set, the plug-in's code-signature checks ask it instead
// of the platform, so that unsigned stand-ins of the suite library load on
// Windows. An empty function brings the platform check back.
KS_PLUGIN_API void SetPluginCodeSignatureVerifier(
    std::function<bool(const std::string& path)> verifier);

}  // namespace keystead::test_hooks
