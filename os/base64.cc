// What the base64 functions do on every platform: cut the input into pieces
// the platform's codec takes and check the alphabet before decoding.
#include "os/base64.h"

#include <algorithm>

#include "os/base64_platform.h"

namespace keystead::os {

void Base64EncodeInto(std::string_view bytes, char* out) {
  *out = '\0';
  while (!bytes.empty()) {
    const std::size_t count = std::min(kBase64EncodePiece, bytes.size());
    // Its trailing NUL lands on the next piece's first character.
    PlatformBase64EncodePiece(bytes.substr(0, count), out);
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
  if (groups.size() % 4 != 0 || !std::all_of(groups.begin(), groups.end(), IsBase64Digit)) {
    return std::nullopt;
  }
  std::string out(groups.size() / 4 * 3, '\0');
  std::size_t written = 0;
  while (!groups.empty()) {
    const std::size_t count = std::min(kBase64DecodePiece, groups.size());
    const std::optional<std::size_t> piece =
        PlatformBase64DecodePiece(groups.substr(0, count), out.data() + written);
    if (!piece) return std::nullopt;
    written += *piece;
    groups.remove_prefix(count);
  }
  out.resize(written);
  return out;
}

}  // namespace keystead::os
