// Traces go to the debugger output. With KEYSTEAD_DEBUG_OUTPUT set to "1"
// they also go to standard error, so that a console (or Wine, which drops
// debugger output unless told otherwise) shows them; each text goes out in
// one write so lines of concurrent threads do not mix.
#include "os/debug_output.h"

#include <io.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

constexpr int kStandardError = 2;

bool StandardErrorEnabled() {
  const char* setting = std::getenv("KEYSTEAD_DEBUG_OUTPUT");
  return setting != nullptr && std::strcmp(setting, "1") == 0;
}

void WriteToStandardError(const std::string& line) {
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const int written = _write(kStandardError, next, static_cast<unsigned int>(left));
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
    std::wstring wide = win32::WideFromUtf8(line).value_or(std::wstring());
    if (wide.empty())
      wide = std::wstring(line.begin(), line.end());  // not UTF-8: bytes as they are
    OutputDebugStringW(wide.c_str());
    if (StandardErrorEnabled()) WriteToStandardError(line);
  } catch (const std::exception&) {
    // Debug traces are best effort; running out of memory drops the line.
  }
}

}  // namespace keystead::os
