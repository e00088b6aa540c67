#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace keystead::os {

// An auto-reset event that other processes of the machine can open by name
// (the Win32 named event). One Signal releases one Wait; signals do not
// accumulate: signalling an already signalled event leaves it signalled once.
//
// On POSIX the event lives on after its last handle closes, so a signal that
// nobody consumed stays pending until a later Wait takes it or Remove drops
// the name. Move-only; the destructor closes the handle. One object may be
// used from several threads at once, except that Close and moving must not
// race with other calls.
class NamedEvent {
 public:
  // Creates the event, initially not signalled, or opens the existing one of
  // that name. Any name works that is not empty and holds no '/', '\0' or
  // more than 200 characters; nullopt for other names or when the operating
  // system refuses.
  static std::optional<NamedEvent> CreateOrOpen(std::string_view name);

  // Drops the name so the next CreateOrOpen makes a fresh event; open handles
  // keep working. True when the name existed and is gone. (Win32 events go
  // with their last handle; there this has nothing to do.)
  static bool Remove(std::string_view name);

  NamedEvent(NamedEvent&& other) noexcept;
  NamedEvent& operator=(NamedEvent&& other) noexcept;
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;
  ~NamedEvent();

  // Sets the event. False when the handle is closed or the system call fails.
  bool Signal();

  // Waits at most timeout for the event and resets it. True when it was
  // signalled; false on time-out, on a closed handle or on failure.
  // A zero or negative timeout only tests the event.
  bool Wait(std::chrono::milliseconds timeout);

  // Closes the handle. True when the close succeeded; false when it failed
  // or the handle was already closed.
  bool Close();

 private:
  explicit NamedEvent(void* handle) : handle_(handle) {}

  void* handle_;  // the platform's event handle; nullptr once closed
};

}  // namespace keystead::os
