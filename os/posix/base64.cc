#include "os/base64.h"

#include <openssl/evp.h>

#include <algorithm>

namespace keystead::os {
namespace {

// EVP counts in int: long inputs go through in chunks of whole groups.
constexpr std::size_t kEncodeChunk = 3 * (std::size_t{1} << 28);
constexpr std::size_t kDecodeChunk = 4 * (std::size_t{1} << 28);

bool IsAlphabetCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

void Base64EncodeInto(std::string_view bytes, char* out) {
  *out = '\0';
  while (!bytes.empty()) {
    const std::size_t count = std::min(kEncodeChunk, bytes.size());
    // Its trailing NUL lands on the next chunk's first character.
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out),
                    reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(count));
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
    EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data() + written),
                    reinterpret_cast<const unsigned char*>(groups.data()), static_cast<int>(count));
    written += count / 4 * 3;
    groups.remove_prefix(count);
  }
  return out;
}

}  // namespace keystead::os
