#pragma once

#include <functional>
#include <string>

#include "plugin/entry/KeysteadPluginExport.h"

namespace corvane::larchmere::plugin::test {

// Exported for test programs of builds with KS_TEST_HOOKS only: while a
// verifier is set, the plug-in's code-signature checks ask it instead of the
// platform, so that unsigned stand-ins of the suite library load on Windows.
// An empty function brings the platform check back. Release builds leave
// this out and always ask the platform.
KS_PLUGIN_API void SetPluginCodeSignatureVerifier(
    std::function<bool(const std::string& path)> verifier);

}  // namespace corvane::larchmere::plugin::test
