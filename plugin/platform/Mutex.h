#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Clang's thread-safety annotations (checked by -Wthread-safety); they expand
// to nothing for other compilers, which build the same code unchecked.
#if defined(__clang__)
#define KS_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KS_THREAD_ANNOTATION(x)
#endif

#define KS_CAPABILITY(name) KS_THREAD_ANNOTATION(capability(name))
#define KS_SCOPED_CAPABILITY KS_THREAD_ANNOTATION(scoped_lockable)
#define KS_GUARDED_BY(x) KS_THREAD_ANNOTATION(guarded_by(x))
#define KS_ACQUIRED_BEFORE(...) KS_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define KS_REQUIRES(...) KS_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KS_ACQUIRE(...) KS_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KS_RELEASE(...) KS_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KS_TRY_ACQUIRE(...) KS_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define KS_EXCLUDES(...) KS_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define KS_RETURN_CAPABILITY(x) KS_THREAD_ANNOTATION(lock_returned(x))
// Only with a comment that says why the function may skip the locks.
#define KS_NO_THREAD_SAFETY_ANALYSIS KS_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace corvane::larchmere::plugin {

// A std::mutex that Clang's thread-safety analysis knows as a capability, so
// that members marked KS_GUARDED_BY it are only touched while it is held.
// Not recursive; neither copyable nor movable; like std::mutex, taking it
// raises std::system_error when the system refuses. Take it with MutexLock:
// lock(), unlock() and try_lock() exist so that standard lock types can hold
// it, but the analysis does not see a hold made by one of those.
class KS_CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() KS_ACQUIRE() { native_.lock(); }
  void unlock() KS_RELEASE() { native_.unlock(); }
  // True when it was free and is now held.
  bool try_lock() KS_TRY_ACQUIRE(true) { return native_.try_lock(); }

 private:
  friend class MutexLock;
  std::mutex native_;
};

// Holds a Mutex from construction to destruction. Not copyable or movable;
// one thread uses it. Wait and WaitUntil let a std::condition_variable wait
// under the mutex: they release it while waiting and hold it again on
// return, so callers check their condition in a loop around them.
class KS_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) KS_ACQUIRE(mutex) : held_(mutex.native_) {}
  ~MutexLock() KS_RELEASE() {}

  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // Until notified (or woken spuriously).
  void Wait(std::condition_variable& condition) { condition.wait(held_); }

  // Like Wait, but gives up at `deadline`; false when it was reached.
  template <typename Clock, typename Duration>
  bool WaitUntil(std::condition_variable& condition,
                 const std::chrono::time_point<Clock, Duration>& deadline) {
    return condition.wait_until(held_, deadline) == std::cv_status::no_timeout;
  }

 private:
  std::unique_lock<std::mutex> held_;
};

}  // namespace corvane::larchmere::plugin
