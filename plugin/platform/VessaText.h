#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Text conversions and registry reads shared by the suite binding (VSUAPI)
// and the install helper (KSInstHelper). Narrow texts are UTF-8 here (the
// system's code page on POSIX). All functions are thread-safe and never throw
// for bad input: invalid code units become U+FFFD; only allocation failures
// propagate.
namespace Corvane::Keystead::Vessa {

// UTF-8 of a wide text (UTF-32 on POSIX, UTF-16 on Windows); null reads as empty.
std::string Utf8FromWide(const wchar_t* text);

// UTF-8 of UTF-16 code units.
std::string Utf8FromUtf16(std::u16string_view text);

// UTF-16 of a wide text; null reads as empty.
std::u16string Utf16FromWide(const wchar_t* text);

// The number of UTF-16 code units the UTF-8 text takes.
std::size_t Utf16Length(std::string_view utf8);

// A string value of HKEY_LOCAL_MACHINE that fits, as UTF-16 with its
// terminating zero, in a buffer of bufferBytes bytes, as the Windows reads
// into fixed buffers require; nullopt when it is missing, not a string or
// too long.
std::optional<std::string> ReadRegistryText(std::string_view keyPath, std::string_view valueName,
                                            std::size_t bufferBytes);

}  // namespace Corvane::Keystead::Vessa
