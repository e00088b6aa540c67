#pragma once

#include <new>
#include <utility>

namespace keystead::os {

// A T made in place and never destroyed: for process-wide state that other
// threads or other libraries' exit handlers may still reach after static
// destructors ran. Keep it in a static (a function-local one is made on first
// use, thread-safely); what T owns then stays reachable, so LeakSanitizer
// does not report it. Neither copyable nor movable; thread-safety is T's.
// A T with a private constructor befriends NeverDestroyed<T>.
template <typename T>
class NeverDestroyed {
 public:
  template <typename... Args>
  explicit NeverDestroyed(Args&&... args) {
    ::new (static_cast<void*>(storage)) T(std::forward<Args>(args)...);
  }
  // Trivial on purpose: no exit handler is registered for it.
  ~NeverDestroyed() = default;

  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& Get() { return *std::launder(reinterpret_cast<T*>(storage)); }

 private:
  alignas(T) unsigned char storage[sizeof(T)];
};

}  // namespace keystead::os
