#include "vault/Base64.h"

#include <algorithm>

#include "os/base64.h"

namespace keystead::vault {
namespace {

void AppendDecodedGroups(std::string_view groups, std::string& out) {
  // The groups hold alphabet characters only, so decoding cannot fail.
  out += os::Base64DecodeGroups(groups).value_or(std::string());
}

}  // namespace

std::string base64_encode(const unsigned char* bytes, std::uint32_t count) {
  return os::Base64Encode(std::string_view(reinterpret_cast<const char*>(bytes), count));
}

std::string base64_decode(std::string_view text) {
  const auto end = std::find_if_not(text.begin(), text.end(), os::IsBase64Digit);
  const std::string_view usable = text.substr(0, static_cast<std::size_t>(end - text.begin()));
  const std::size_t wholeGroups = usable.size() / 4 * 4;

  std::string out;
  out.reserve(usable.size() / 4 * 3 + 2);
  AppendDecodedGroups(usable.substr(0, wholeGroups), out);
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
