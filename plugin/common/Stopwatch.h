#pragma once

#include "plugin/common/Clock.h"
#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin::common {

// Measures the time since its last restart on a Clock. Starts running at
// construction, so a reading taken before the first Restart is the time since
// construction. Thread-safe: request threads restart it while the engine's
// frame thread reads it.
class Stopwatch {
 public:
  // `clock` must outlive the stopwatch.
  explicit Stopwatch(Clock& clock);

  Stopwatch(const Stopwatch&) = delete;
  Stopwatch& operator=(const Stopwatch&) = delete;

  void Restart();
  // Milliseconds since the last restart (or construction).
  double ElapsedMs();

 private:
  Clock& clock_;
  Mutex mutex_;
  double start KS_GUARDED_BY(mutex_);
  double now KS_GUARDED_BY(mutex_);
  double elapsedMs KS_GUARDED_BY(mutex_) = 0;
};

}  // namespace corvane::larchmere::plugin::common
