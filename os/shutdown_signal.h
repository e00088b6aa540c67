#pragma once

#include <string>

namespace keystead::os {

// A program's request to stop (SIGINT or SIGTERM here; Ctrl+C, Ctrl+Break or
// the console closing on Windows), turned into something one thread waits for.

// Routes the stop requests to WaitForShutdownSignal instead of ending the
// process. Call at the very start of main, before any thread exists: threads
// created afterwards inherit the routing. Calling it again does nothing more.
void PrepareShutdownSignals();

// Blocks the calling thread until a stop request arrives and returns its name
// ("SIGINT", "SIGTERM"). Requires PrepareShutdownSignals. Each request wakes
// one waiter once.
std::string WaitForShutdownSignal();

// Sends this process the request to stop (SIGTERM), so that a thread other
// than the waiting one can end a wait that would otherwise never return.
void RequestShutdown();

}  // namespace keystead::os
