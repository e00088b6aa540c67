// Traces go to the debugger output; standard error is for a console (or
// Wine, which drops debugger output unless told otherwise).
#include <io.h>
#include <windows.h>

#include "os/debug_output_platform.h"
#include "os/win32/wide_text.h"

namespace keystead::os {

void SendToDebugger(const std::string& line) {
  std::wstring wide = win32::WideFromUtf8(line).value_or(std::wstring());
  if (wide.empty()) wide = std::wstring(line.begin(), line.end());  // not UTF-8: bytes as they are
  OutputDebugStringW(wide.c_str());
}

std::ptrdiff_t WriteSomeToStandardError(const char* data, std::size_t size) {
  constexpr int kStandardError = 2;
  return _write(kStandardError, data, static_cast<unsigned int>(size));
}

}  // namespace keystead::os
