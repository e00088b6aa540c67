#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "os/secure_memory.h"

namespace keystead::vault {

// The vault's cipher: AES-256-CBC with an all-zero IV and PKCS#7 padding,
// keyed by the SHA-256 digest of the password widened to UTF-16LE (each byte
// sign-extended to one unit) up to its first zero unit. This is exactly what
// the Windows provider derives, so texts move between platforms. Objects are
// cheap, immutable after construction and safe to use from several threads;
// the key is wiped when the object goes, and the object cannot be copied.
class CCrypto {
 public:
  // Derives the key; a failure leaves the object without a key, and then
  // Encrypt and Decrypt give empty results. Never throws except bad_alloc.
  explicit CCrypto(std::string_view password);

  // Base64 text of the ciphertext; empty when there is no key or the cipher
  // fails. The empty text gives one padding block (24 characters).
  std::string Encrypt(std::string_view text) const;

  // Plaintext bytes of a base64 ciphertext (decoded up to the first
  // character outside the base64 alphabet). Empty when there is no key, the
  // ciphertext is not whole blocks, or the padding is wrong (a wrong key).
  std::string Decrypt(std::string_view base64Text) const;

  bool HasKey() const { return key_.has_value(); }

  // The bytes that are hashed into the key: each password byte before the
  // first zero byte, sign-extended to a 16-bit little-endian unit.
  static os::SecretString WidenedPassword(std::string_view password);

 private:
  std::optional<os::SecretString> key_;
};

}  // namespace keystead::vault
