#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace keystead::os {

// Standard base64 (RFC 4648 alphabet, '=' padding, no line breaks) from the
// platform's library: OpenSSL here, CryptoAPI on Windows. Thread-safe; only
// allocation failures throw.

// Whether c is one of the 64 digits of the alphabet ('=' is not).
constexpr bool IsBase64Digit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// Number of characters of the base64 text of byteCount bytes.
constexpr std::size_t Base64EncodedSize(std::size_t byteCount) { return 4 * ((byteCount + 2) / 3); }

// Writes the base64 text of bytes to out, which has room for
// Base64EncodedSize(bytes.size()) characters and one more that receives a NUL.
void Base64EncodeInto(std::string_view bytes, char* out);

// The base64 text of bytes.
std::string Base64Encode(std::string_view bytes);

// The bytes of whole groups of four alphabet characters without padding;
// nullopt when the length is not a multiple of four or a character is not of
// the alphabet.
std::optional<std::string> Base64DecodeGroups(std::string_view groups);

}  // namespace keystead::os
