#pragma once

// Text at the Win32 boundary. The layer's narrow texts (paths, registry
// strings, traces) are UTF-8; the wide Win32 functions take UTF-16.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace keystead::os::win32 {

// UTF-16 of a UTF-8 text; nullopt when it is not valid UTF-8 or holds a zero
// character (which would cut a Win32 text short).
inline std::optional<std::wstring> WideFromUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  if (text.find('\0') != std::string_view::npos || text.size() > 0x7FFFFFFF) return std::nullopt;
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) !=
      length) {
    return std::nullopt;
  }
  return wide;
}

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
inline std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return std::string();
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

// The UTF-8 text of a zero-terminated UTF-16 text; null reads as empty.
inline std::string Utf8FromWide(const wchar_t* text) {
  return text == nullptr ? std::string() : Utf8FromWide(std::wstring_view(text));
}

}  // namespace keystead::os::win32
