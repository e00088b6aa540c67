#pragma once

#include <string>

namespace keystead::vault {

// A fresh unpredictable password: the base64 text of a fresh session key
// wrapped by a throw-away exchange key (os::FreshWrappedSessionKeyBlob, 140
// bytes, 188 characters). Empty on any failure. The caller wipes it (see
// os/secure_memory.h). Thread-safe.
std::string getMasterPwd();

}  // namespace keystead::vault
