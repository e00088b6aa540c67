#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>

#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin::common {

// The one wake-up source of the capture polls: every listener that queues
// something a poll looks for calls Notify once the entry is in place, and a
// poll waits for the generation to move past the one it read before looking.
// A waiter that reads the generation before its checks therefore never misses
// an arrival that lands during them.
//
// Owned by LMListenerHolder; listeners keep a plain pointer to it. Never
// fails (the standard library's system error aside). Thread-safe: Notify runs
// on engine threads, waits on request threads. Header-only: code outside the
// plug-in (a test clock) waits on the plug-in's signal, whose members the
// plug-in does not export.
class ArrivalSignal {
 public:
  ArrivalSignal() = default;
  ArrivalSignal(const ArrivalSignal&) = delete;
  ArrivalSignal& operator=(const ArrivalSignal&) = delete;

  // The number of arrivals so far; starts at 0.
  std::uint64_t Generation() const {
    MutexLock lock(mutex_);
    return generation_;
  }

  // Counts one arrival and wakes every waiter.
  void Notify() {
    {
      MutexLock lock(mutex_);
      ++generation_;
    }
    arrived_.notify_all();
  }

  // Blocks until the generation differs from `seenGeneration` (true, at once
  // when it already does) or `deadline` passes (false).
  bool WaitUntil(std::uint64_t seenGeneration, std::chrono::steady_clock::time_point deadline) {
    MutexLock lock(mutex_);
    while (generation_ == seenGeneration) {
      if (!lock.WaitUntil(arrived_, deadline)) {
        return generation_ != seenGeneration;
      }
    }
    return true;
  }

 private:
  mutable Mutex mutex_;
  std::condition_variable arrived_;
  std::uint64_t generation_ KS_GUARDED_BY(mutex_) = 0;
};

}  // namespace corvane::larchmere::plugin::common
