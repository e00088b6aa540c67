#include "vault/MasterPassword.h"

#include <cstdint>
#include <optional>

#include "os/crypto.h"
#include "vault/Base64.h"

namespace keystead::vault {

std::string getMasterPwd() {
  const std::optional<std::string> bytes = os::FreshWrappedSessionKeyBlob();
  if (!bytes) return {};
  return base64_encode(reinterpret_cast<const unsigned char*>(bytes->data()),
                       static_cast<std::uint32_t>(bytes->size()));
}

}  // namespace keystead::vault
