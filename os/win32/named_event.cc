// The named event is a Win32 auto-reset event in the session's namespace; it
// goes away with its last handle.
#include "os/named_event.h"

#include <windows.h>

#include <exception>
#include <string>
#include <utility>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

constexpr std::size_t kMaxNameLength = 200;

std::optional<std::wstring> EventName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength ||
      name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    return std::nullopt;
  }
  return win32::WideFromUtf8(name);
}

// WaitForSingleObject counts in DWORD milliseconds, where INFINITE (all bits
// set) means no end.
DWORD WaitMilliseconds(std::chrono::milliseconds timeout) {
  if (timeout <= std::chrono::milliseconds::zero()) return 0;
  if (timeout.count() >= static_cast<long long>(INFINITE)) return INFINITE;
  return static_cast<DWORD>(timeout.count());
}

}  // namespace

std::optional<NamedEvent> NamedEvent::CreateOrOpen(std::string_view name) {
  try {
    const std::optional<std::wstring> eventName = EventName(name);
    if (!eventName) return std::nullopt;
    // Auto-reset, initially not signalled, default security.
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, eventName->c_str());
    if (event == nullptr) return std::nullopt;
    return NamedEvent(event);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool NamedEvent::Remove(std::string_view) { return false; }

NamedEvent::NamedEvent(NamedEvent&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

NamedEvent::~NamedEvent() { Close(); }

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
