// Program start through ShellExecuteExW, as the product's install utility is
// started: the process handle is kept, environment strings in the path are
// expanded, the start waits until the program is ready for input, and its
// window is hidden. A program still running after the wait keeps running.
#include "os/process_launch.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <exception>
#include <optional>

#include "os/win32/handles.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

constexpr ULONG kLaunchMask =
    SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST | SEE_MASK_WAITFORINPUTIDLE;

// One argument quoted so that the program's CommandLineToArgvW gets it back
// unchanged: backslashes double only before a quote they would otherwise escape.
void AppendQuoted(const std::wstring& argument, std::wstring& line) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line.push_back(L'"');
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, L'\\');
    backslashes = 0;
    line.push_back(c);
  }
  line.append(backslashes * 2, L'\\');
  line.push_back(L'"');
}

std::optional<std::wstring> Parameters(const std::vector<std::string>& arguments) {
  std::wstring line;
  for (const std::string& argument : arguments) {
    const std::optional<std::wstring> wide = win32::WideFromUtf8(argument);
    if (!wide) return std::nullopt;
    if (!line.empty()) line.push_back(L' ');
    AppendQuoted(*wide, line);
  }
  return line;
}

DWORD WaitMilliseconds(std::chrono::milliseconds timeout) {
  if (timeout <= std::chrono::milliseconds::zero()) return 0;
  if (timeout.count() >= static_cast<long long>(INFINITE)) return INFINITE;
  return static_cast<DWORD>(timeout.count());
}

}  // namespace

LaunchResult StartProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          std::chrono::milliseconds waitAtMost) {
  LaunchResult result;
  try {
    const std::optional<std::wstring> program = win32::WideFromUtf8(executable);
    const std::optional<std::wstring> parameters = Parameters(arguments);
    if (!program || program->empty() || !parameters) return result;

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = kLaunchMask;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = program->c_str();
    info.lpParameters = parameters->empty() ? nullptr : parameters->c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) return result;
    result.started = true;

    const win32::UniqueHandle process(info.hProcess);
    if (!process) return result;  // started through a program that was already running
    if (WaitForSingleObject(process.get(), WaitMilliseconds(waitAtMost)) != WAIT_OBJECT_0) {
      return result;
    }
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.get(), &exitCode)) {
      result.exited = true;
      result.exitCode = static_cast<int>(exitCode);
    }
  } catch (const std::exception&) {
  }
  return result;
}

std::string ExecutableFileName(std::string_view baseName) { return std::string(baseName) + ".exe"; }

}  // namespace keystead::os
