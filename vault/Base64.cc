#include "vault/Base64.h"

#include <openssl/evp.h>

#include <algorithm>

namespace keystead::vault {
namespace {

// EVP takes int lengths: long inputs go through in chunks of whole groups.
constexpr std::size_t kEncodeChunk = 3 * (1u << 20);
constexpr std::size_t kDecodeChunk = 4 * (1u << 20);

bool IsAlphabetCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

void AppendDecodedGroups(std::string_view groups, std::string& out) {
  std::string decoded(groups.size() / 4 * 3, '\0');
  EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                  reinterpret_cast<const unsigned char*>(groups.data()),
                  static_cast<int>(groups.size()));
  out += decoded;
}

}  // namespace

std::string base64_encode(const unsigned char* bytes, std::uint32_t count) {
  std::string out;
  out.reserve((static_cast<std::size_t>(count) + 2) / 3 * 4);
  for (std::size_t done = 0; done < count;) {
    const std::size_t chunk = std::min<std::size_t>(kEncodeChunk, count - done);
    std::string encoded((chunk + 2) / 3 * 4 + 1, '\0');  // EVP adds a terminator
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                       bytes + done, static_cast<int>(chunk));
    out.append(encoded, 0, static_cast<std::size_t>(length));
    done += chunk;
  }
  return out;
}

std::string base64_decode(std::string_view text) {
  const auto end = std::find_if_not(text.begin(), text.end(), IsAlphabetCharacter);
  const std::string_view usable = text.substr(0, static_cast<std::size_t>(end - text.begin()));
  const std::size_t wholeGroups = usable.size() / 4 * 4;

  std::string out;
  out.reserve(usable.size() / 4 * 3 + 2);
  for (std::size_t done = 0; done < wholeGroups;) {
    const std::size_t chunk = std::min(kDecodeChunk, wholeGroups - done);
    AppendDecodedGroups(usable.substr(done, chunk), out);
    done += chunk;
  }
  // A partial group is completed with zero digits ('A'); only its first
  // k - 1 bytes depend on the given characters.
  const std::size_t rest = usable.size() - wholeGroups;
  if (rest > 1) {
    std::string group(usable.substr(wholeGroups));
    group.resize(4, 'A');
    std::string decoded;
    AppendDecodedGroups(group, decoded);
    out.append(decoded, 0, rest - 1);
  }
  return out;
}

}  // namespace keystead::vault
