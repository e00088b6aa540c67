#pragma once

#include <cstddef>
#include <string>

namespace keystead::os {

// The system side of DebugOutput, implemented once per platform.
// Thread-safe; may throw std::bad_alloc.

// Hands one line to the debugger output; does nothing where there is none.
void SendToDebugger(const std::string& line);

// Writes some of the bytes to standard error in one call (a pending
// interruption retried): the count written, 0 or less when nothing more goes.
std::ptrdiff_t WriteSomeToStandardError(const char* data, std::size_t size);

}  // namespace keystead::os
