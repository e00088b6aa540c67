#pragma once

#include <string>

#include "os/code_signature.h"

namespace keystead::os {

// The platform's own verdict on one module file (Authenticode on Windows, the
// ownership rule here). Implemented once per platform; CheckCodeSignature
// asks it unless a test verifier is installed. May throw.
CodeSignatureVerdict PlatformCheckCodeSignature(const std::string& path);

}  // namespace keystead::os
