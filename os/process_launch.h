#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace keystead::os {

struct LaunchResult {
  bool started = false;  // the program is running or has run
  bool exited = false;   // it ended within the wait
  int exitCode = 0;      // its exit code when exited (128 + signal when a signal ended it)
};

// Starts the executable at the given path directly, without a shell and
// without a search of PATH, with the given arguments (the program's name
// goes first on its own), the caller's environment and no inherited file
// descriptors beyond standard input, output and error. Then waits at most
// waitAtMost for it to end. A program still running afterwards keeps
// running and is never killed; it is reaped in the background when it ends,
// so it never lingers as a zombie. Blocks the calling thread for up to
// waitAtMost; thread-safe; never throws.
LaunchResult StartProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          std::chrono::milliseconds waitAtMost);

// The file name of a program with the given base name on this platform:
// "<base>" here, "<base>.exe" on Windows.
std::string ExecutableFileName(std::string_view baseName);

}  // namespace keystead::os
