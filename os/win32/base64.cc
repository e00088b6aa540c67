#include "os/base64.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <algorithm>

namespace keystead::os {
namespace {

// CryptoAPI counts in DWORD: long inputs go through in chunks of whole groups.
constexpr std::size_t kEncodeChunk = 3 * (std::size_t{1} << 28);
constexpr std::size_t kDecodeChunk = 4 * (std::size_t{1} << 28);
constexpr DWORD kBase64OneLine = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;

bool IsAlphabetCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

void Base64EncodeInto(std::string_view bytes, char* out) {
  *out = '\0';
  while (!bytes.empty()) {
    const std::size_t count = std::min(kEncodeChunk, bytes.size());
    // The size includes the NUL, which lands on the next chunk's first character.
    DWORD size = static_cast<DWORD>(Base64EncodedSize(count) + 1);
    CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(count),
                         kBase64OneLine, out, &size);
    out += Base64EncodedSize(count);
    bytes.remove_prefix(count);
  }
}

std::string Base64Encode(std::string_view bytes) {
  std::string text(Base64EncodedSize(bytes.size()) + 1, '\0');
  Base64EncodeInto(bytes, text.data());
  text.pop_back();
  return text;
}

std::optional<std::string> Base64DecodeGroups(std::string_view groups) {
  if (groups.size() % 4 != 0 || !std::all_of(groups.begin(), groups.end(), IsAlphabetCharacter)) {
    return std::nullopt;
  }
  std::string out(groups.size() / 4 * 3, '\0');
  std::size_t written = 0;
  while (!groups.empty()) {
    const std::size_t count = std::min(kDecodeChunk, groups.size());
    DWORD size = static_cast<DWORD>(count / 4 * 3);
    if (!CryptStringToBinaryA(groups.data(), static_cast<DWORD>(count), CRYPT_STRING_BASE64,
                              reinterpret_cast<BYTE*>(out.data() + written), &size, nullptr,
                              nullptr)) {
      return std::nullopt;
    }
    written += size;
    groups.remove_prefix(count);
  }
  out.resize(written);
  return out;
}

}  // namespace keystead::os
