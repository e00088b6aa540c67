#pragma once

#include <cstdint>
#include <memory>

#include "plugin/common/ArrivalSignal.h"

namespace corvane::larchmere::plugin::common {

// The time source and waiter of the capture paths: the display time-out's
// stopwatches, its clean-up pauses and the handlers' waits for arrivals all
// go through one Clock, so that tests can drive them with a manual clock
// instead of sleeping through multi-second windows. Implementations are
// thread-safe.
class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds on a monotonic clock with an arbitrary origin.
  virtual double NowMs() = 0;
  // Milliseconds since the Unix epoch, from the wall clock.
  virtual double WallClockMs() = 0;
  // Blocks the calling thread for about `milliseconds`; returns at once for
  // zero or less.
  virtual void SleepMs(int milliseconds) = 0;
  // Blocks the calling thread until `arrivals` moves past `seenGeneration`
  // (true, at once when it already has) or until `deadlineMs` on the NowMs
  // scale has passed (false).
  virtual bool WaitForArrival(ArrivalSignal& arrivals, std::uint64_t seenGeneration,
                              double deadlineMs) = 0;

  // The wall clock truncated to whole seconds, in milliseconds: the
  // resolution of session start times and frame arrival stamps.
  double WallClockWholeSecondsMs();
};

// The process's real clock (steady clock, system clock, real sleeps). The
// same instance for every caller; never null.
std::shared_ptr<Clock> SystemClock();

}  // namespace corvane::larchmere::plugin::common
