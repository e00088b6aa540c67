// The debugger output stand-in: standard error, only when KEYSTEAD_DEBUG_OUTPUT
// is "1". Each text goes out in one write so lines of concurrent threads and
// processes sharing the stream do not mix.
#include "os/debug_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace keystead::os {
namespace {

bool DebugOutputEnabled() {
  const char* setting = std::getenv("KEYSTEAD_DEBUG_OUTPUT");
  return setting != nullptr && std::strcmp(setting, "1") == 0;
}

void WriteAll(const std::string& line) {
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = write(STDERR_FILENO, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void DebugOutput(std::string_view text) {
  if (!DebugOutputEnabled()) return;
  try {
    std::string line(text);
    // Callers that already end their trace with a line feed get no empty line.
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    WriteAll(line);
  } catch (const std::exception&) {
    // Debug traces are best effort; running out of memory drops the line.
  }
}

}  // namespace keystead::os
