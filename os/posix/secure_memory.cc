#include "os/secure_memory.h"

#include <openssl/crypto.h>

namespace keystead::os {

void WipeMemory(void* data, std::size_t size) noexcept {
  if (data != nullptr && size > 0) OPENSSL_cleanse(data, size);
}

}  // namespace keystead::os
