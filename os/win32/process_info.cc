#include "os/process_info.h"

#include <windows.h>

#include <ctime>

namespace keystead::os {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

std::uint64_t CurrentThreadId() { return static_cast<std::uint64_t>(GetCurrentThreadId()); }

std::tm ToLocalTime(std::time_t time) {
  std::tm local{};
  if (localtime_s(&local, &time) != 0) return std::tm{};
  return local;
}

}  // namespace keystead::os
