#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

#include "os/secure_memory.h"

namespace keystead::os::posix {

// What every OpenSSL call of the layer needs: an owner of a cipher context
// (freed when it goes; not thread-safe) and views of text as the unsigned
// bytes OpenSSL takes (they point into the text). Never throw.

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

inline const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

inline unsigned char* Bytes(std::string& text) {
  return reinterpret_cast<unsigned char*>(text.data());
}

inline unsigned char* Bytes(SecretString& text) {
  return reinterpret_cast<unsigned char*>(text.data());
}

}  // namespace keystead::os::posix
