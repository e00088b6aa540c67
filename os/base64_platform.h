#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace keystead::os {

// The platform library's base64 codec for one piece of text that its 32-bit
// counts can take (OpenSSL here, CryptoAPI on Windows); the functions of
// base64.h cut longer input into such pieces. Implemented once per platform.
// Thread-safe; never throw.

// The largest piece of each direction, in whole groups.
inline constexpr std::size_t kBase64EncodePiece = 3 * (std::size_t{1} << 28);
inline constexpr std::size_t kBase64DecodePiece = 4 * (std::size_t{1} << 28);

// Writes the base64 text of at most kBase64EncodePiece bytes and a NUL after
// it to out.
void PlatformBase64EncodePiece(std::string_view bytes, char* out);

// Writes the bytes of at most kBase64DecodePiece alphabet characters in whole
// groups to out. The count written; nullopt when the library refuses.
std::optional<std::size_t> PlatformBase64DecodePiece(std::string_view groups, char* out);

}  // namespace keystead::os
