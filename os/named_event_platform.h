#pragma once

#include <string_view>

namespace keystead::os {

// The system's named events behind NamedEvent (a POSIX semaphore here, a
// Win32 event on Windows), implemented once per platform. The name has passed
// NamedEvent's check. Thread-safe; may throw std::bad_alloc.

// The handle of the event of that name, created when missing, not signalled;
// nullptr when the system refuses. NamedEvent owns and closes it.
void* CreateOrOpenSystemEvent(std::string_view name);

// Drops the name of the event; true when it existed and is gone.
bool RemoveSystemEvent(std::string_view name);

}  // namespace keystead::os
