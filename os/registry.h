#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keystead::os {

// Reads of the machine-wide registry hive (HKEY_LOCAL_MACHINE, 64-bit view).
// Key paths are written with backslashes, e.g. "SOFTWARE\\Keystead\\Settings";
// they match case-insensitively and a trailing backslash is ignored.
// Thread-safe. A missing key or value, a value of another type, or any read
// failure yields std::nullopt; nothing throws.

// A string value, as UTF-8. maxBytes is the size of the caller's UTF-16
// buffer (the fixed buffers of the Windows reads) including the terminating
// zero: a value whose UTF-16 form does not fit, terminator included, is
// treated as missing. A character outside the basic plane takes two units.
std::optional<std::string> ReadMachineString(std::string_view keyPath, std::string_view valueName,
                                             std::size_t maxBytes);

// A 32-bit number value.
std::optional<std::uint32_t> ReadMachineDword(std::string_view keyPath, std::string_view valueName);

}  // namespace keystead::os
