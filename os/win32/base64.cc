// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include "os/base64.h"

#include "os/base64_platform.h"

namespace keystead::os {

void PlatformBase64EncodePiece(std::string_view bytes, char* out) {
  // The size includes the NUL.
  DWORD size = static_cast<DWORD>(Base64EncodedSize(bytes.size()) + 1);
  CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF,
                       out, &size);
}

std::optional<std::size_t> PlatformBase64DecodePiece(std::string_view groups, char* out) {
  DWORD size = static_cast<DWORD>(groups.size() / 4 * 3);
  if (!CryptStringToBinaryA(groups.data(), static_cast<DWORD>(groups.size()), CRYPT_STRING_BASE64,
                            reinterpret_cast<BYTE*>(out), &size, nullptr, nullptr)) {
    return std::nullopt;
  }
  return size;
}

}  // namespace keystead::os
