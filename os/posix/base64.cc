#include <openssl/evp.h>

#include "os/base64_platform.h"
#include "os/posix/openssl_bytes.h"

namespace keystead::os {

using posix::Bytes;

void PlatformBase64EncodePiece(std::string_view bytes, char* out) {
  EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out), Bytes(bytes),
                  static_cast<int>(bytes.size()));
}

std::optional<std::size_t> PlatformBase64DecodePiece(std::string_view groups, char* out) {
  // Checked groups without padding always decode to three bytes each.
  EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out), Bytes(groups),
                  static_cast<int>(groups.size()));
  return groups.size() / 4 * 3;
}

}  // namespace keystead::os
