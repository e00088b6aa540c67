#include "vault/CCrypto.h"

#include <cstdint>
#include <limits>

#include "os/crypto.h"
#include "vault/Base64.h"

namespace keystead::vault {

CCrypto::CCrypto(std::string_view password) {
  if (std::optional<std::string> digest = os::Sha256(WidenedPassword(password).view())) {
    key_.emplace(std::move(*digest));
  }
}

os::SecretString CCrypto::WidenedPassword(std::string_view password) {
  std::string widened;
  widened.reserve(password.size() * 2);  // no reallocation leaves a partial copy behind
  for (const char byte : password) {
    if (byte == '\0') break;
    widened.push_back(byte);
    widened.push_back(static_cast<signed char>(byte) < 0 ? '\xFF' : '\0');
  }
  return os::SecretString(std::move(widened));
}

std::string CCrypto::Encrypt(std::string_view text) const {
  if (!key_) return {};
  const std::optional<std::string> ciphertext = os::EncryptAes256CbcZeroIv(key_->view(), text);
  if (!ciphertext || ciphertext->size() > std::numeric_limits<std::uint32_t>::max()) return {};
  return base64_encode(reinterpret_cast<const unsigned char*>(ciphertext->data()),
                       static_cast<std::uint32_t>(ciphertext->size()));
}

std::string CCrypto::Decrypt(std::string_view base64Text) const {
  if (!key_) return {};
  return os::DecryptAes256CbcZeroIv(key_->view(), base64_decode(base64Text))
      .value_or(std::string());
}

}  // namespace keystead::vault
