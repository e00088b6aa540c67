#pragma once

#include <cstdint>
#include <ctime>

namespace keystead::os {

// Identity of the calling process and thread, as the operating system numbers them.
std::uint32_t CurrentProcessId();
std::uint64_t CurrentThreadId();

// Broken-down local time of a calendar time. Thread-safe (no shared buffer).
std::tm ToLocalTime(std::time_t time);

}  // namespace keystead::os
