#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace keystead::vault {

// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks) of the
// first count bytes at bytes.
std::string base64_encode(const unsigned char* bytes, std::uint32_t count);

// Decodes from the start of text up to the first "=" or the first character
// outside the alphabet; the rest is ignored, not an error. A final partial
// group of k characters (1 to 3) gives k - 1 bytes.
std::string base64_decode(std::string_view text);

}  // namespace keystead::vault
