#pragma once

#include <string_view>

namespace keystead::os {

// Sends one text to the debugger output of the operating system. Never
// throws, never blocks for long; thread-safe. The text needs no line end.
void DebugOutput(std::string_view text);

}  // namespace keystead::os
