// What DebugOutput does on every platform: one line a text, to the debugger
// and, when KEYSTEAD_DEBUG_OUTPUT is "1", to standard error. Each line goes
// out in one write so lines of concurrent threads and processes sharing the
// stream do not mix.
#include "os/debug_output.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "os/debug_output_platform.h"

namespace keystead::os {
namespace {

bool StandardErrorRequested() {
  const char* setting = std::getenv("KEYSTEAD_DEBUG_OUTPUT");
  return setting != nullptr && std::strcmp(setting, "1") == 0;
}

void WriteToStandardError(const std::string& line) {
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const std::ptrdiff_t written = WriteSomeToStandardError(next, left);
    if (written <= 0) return;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void DebugOutput(std::string_view text) {
  try {
    std::string line(text);
    // Callers that already end their trace with a line feed get no empty line.
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    SendToDebugger(line);
    if (StandardErrorRequested()) WriteToStandardError(line);
  } catch (const std::exception&) {
    // Debug traces are best effort; running out of memory drops the line.
  }
}

}  // namespace keystead::os
