#include "vault/MasterPassword.h"

#include <cstdint>
#include <optional>

#include "os/crypto.h"
#include "os/secure_memory.h"
#include "vault/Base64.h"

namespace keystead::vault {

std::string getMasterPwd() {
  std::optional<std::string> fresh = os::FreshWrappedSessionKeyBlob();
  if (!fresh) return {};
  const os::SecretString bytes(std::move(*fresh));
  return base64_encode(reinterpret_cast<const unsigned char*>(bytes.str().data()),
                       static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace keystead::vault
