#include "os/process_info.h"

#include <sys/types.h>
#include <unistd.h>

#include <ctime>

namespace keystead::os {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

std::uint64_t CurrentThreadId() { return static_cast<std::uint64_t>(gettid()); }

std::tm ToLocalTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return std::tm{};
  return local;
}

}  // namespace keystead::os
