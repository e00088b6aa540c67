// The named event is a Win32 auto-reset event in the session's namespace; it
// goes away with its last handle.
#include "os/named_event.h"

#include <windows.h>

#include <string>
#include <utility>

#include "os/named_event_platform.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

// WaitForSingleObject counts in DWORD milliseconds, where INFINITE (all bits
// set) means no end.
DWORD WaitMilliseconds(std::chrono::milliseconds timeout) {
  if (timeout <= std::chrono::milliseconds::zero()) return 0;
  if (timeout.count() >= static_cast<long long>(INFINITE)) return INFINITE;
  return static_cast<DWORD>(timeout.count());
}

}  // namespace

void* CreateOrOpenSystemEvent(std::string_view name) {
  const std::optional<std::wstring> eventName = win32::WideFromUtf8(name);
  if (!eventName) return nullptr;
  // Auto-reset, initially not signalled, default security.
  return CreateEventW(nullptr, FALSE, FALSE, eventName->c_str());
}

bool RemoveSystemEvent(std::string_view) { return false; }

bool NamedEvent::Signal() { return handle_ != nullptr && SetEvent(handle_) != 0; }

bool NamedEvent::Wait(std::chrono::milliseconds timeout) {
  return handle_ != nullptr &&
         WaitForSingleObject(handle_, WaitMilliseconds(timeout)) == WAIT_OBJECT_0;
}

bool NamedEvent::Close() {
  if (handle_ == nullptr) return false;
  return CloseHandle(std::exchange(handle_, nullptr)) != 0;
}

}  // namespace keystead::os
