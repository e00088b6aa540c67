#pragma once

#include <array>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::larchmere::plugin::common {

// The product's own web origins that may call the plug-in from a browser.
// Kept in this one header so that the plug-in's CORS answer and any host
// allowlist are built from the same list.
inline constexpr std::array<std::string_view, 6> kFixedAllowedOrigins = {
    "https://keystead.com",       "https://www.keystead.com", "https://app.keystead.com",
    "https://login.keystead.com", "https://my.keystead.com",  "https://keystead.corvane.com",
};

// Answered when the request names no allowed origin.
inline constexpr std::string_view kDefaultAllowedOrigin = "https://app.keystead.com";

// A cloud environment announces a domain suffix such as ".beta.example"; its
// login page then lives at this prefix followed directly by the suffix
// ("https://login.keystead.beta.example").
inline constexpr std::string_view kSuffixOriginPrefix = "https://login.keystead";

// The allowed origins in ascending byte order: the fixed ones, plus the
// suffix origin when domainSuffix is not empty. Never throws except on
// allocation failure; thread-safe.
inline std::set<std::string> AllowedOrigins(std::string_view domainSuffix) {
  std::set<std::string> origins(kFixedAllowedOrigins.begin(), kFixedAllowedOrigins.end());
  if (!domainSuffix.empty()) {
    std::string suffixOrigin(kSuffixOriginPrefix);
    suffixOrigin.append(domainSuffix);
    origins.insert(std::move(suffixOrigin));
  }
  return origins;
}

}  // namespace corvane::larchmere::plugin::common
