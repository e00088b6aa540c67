#pragma once

#include <string>
#include <string_view>

// Text conversions shared by the suite binding (VSUAPI) and the install
// helper (KSInstHelper). Narrow texts are UTF-8 here (the
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

}  // namespace Corvane::Keystead::Vessa
