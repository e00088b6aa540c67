#pragma once

#include <cstddef>
#include <string>

namespace keystead::vault {

// Number of random bytes behind a password: the length of the key blob that
// the Windows provider exports with a 1024-bit exchange key.
inline constexpr std::size_t kMasterPasswordRandomBytes = 140;

// A fresh unpredictable password: base64 text of kMasterPasswordRandomBytes
// bytes from the platform's secure generator (188 characters). Empty when
// the generator fails. Thread-safe.
std::string getMasterPwd();

}  // namespace keystead::vault
