#include "vault/CCrypto.h"

#include <cstdint>
#include <limits>

#include "os/crypto.h"
#include "vault/Base64.h"

namespace keystead::vault {

CCrypto::CCrypto(std::string_view password) : key_(os::Sha256(WidenedPassword(password))) {}

std::string CCrypto::WidenedPassword(std::string_view password) {
  std::string widened;
  widened.reserve(password.size() * 2);
  for (const char byte : password) {
    if (byte == '\0') break;
    widened.push_back(byte);
    widened.push_back(static_cast<signed char>(byte) < 0 ? '\xFF' : '\0');
  }
  return widened;
}

std::string CCrypto::Encrypt(std::string_view text) const {
  if (!key_) return {};
  const std::optional<std::string> ciphertext = os::EncryptAes256CbcZeroIv(*key_, text);
  if (!ciphertext || ciphertext->size() > std::numeric_limits<std::uint32_t>::max()) return {};
  return base64_encode(reinterpret_cast<const unsigned char*>(ciphertext->data()),
                       static_cast<std::uint32_t>(ciphertext->size()));
}

std::string CCrypto::Decrypt(std::string_view base64Text) const {
  if (!key_) return {};
  return os::DecryptAes256CbcZeroIv(*key_, base64_decode(base64Text)).value_or(std::string());
}

}  // namespace keystead::vault
