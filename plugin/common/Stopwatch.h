#pragma once

#include <mutex>

#include "plugin/common/Clock.h"

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
  Clock& clock;
  std::mutex mutex;
  double start;          // guarded by mutex
  double now;            // guarded by mutex
  double elapsedMs = 0;  // guarded by mutex
};

}  // namespace corvane::larchmere::plugin::common
