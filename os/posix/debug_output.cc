// POSIX has no debugger output: standard error stands in for it.
#include <unistd.h>

#include <cerrno>

#include "os/debug_output_platform.h"

namespace keystead::os {

void SendToDebugger(const std::string&) {}

std::ptrdiff_t WriteSomeToStandardError(const char* data, std::size_t size) {
  ssize_t written = 0;
  do {
    written = write(STDERR_FILENO, data, size);
  } while (written < 0 && errno == EINTR);
  return written;
}

}  // namespace keystead::os
