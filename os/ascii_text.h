#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace keystead::os {

// Letter case folding of the ASCII letters only: protocol texts (header
// names, query keys, host names) compare this way whatever the process
// locale is. Header-only, so that libraries that link nothing of os/ share it.
// Pure functions, safe from any thread.

constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualsIgnoringCase(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return EqualsIgnoringCase(x, y);
         });
}

// Position of the first `needle` in `text` at or after `from`, in any ASCII
// letter case; npos when there is none.
constexpr std::size_t FindIgnoringCase(std::string_view text, std::string_view needle,
                                       std::size_t from = 0) {
  if (from > text.size()) return std::string_view::npos;
  const auto found =
      std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(),
                  needle.end(), [](char x, char y) { return EqualsIgnoringCase(x, y); });
  return found == text.end() && !needle.empty() ? std::string_view::npos
                                                : static_cast<std::size_t>(found - text.begin());
}

}  // namespace keystead::os
