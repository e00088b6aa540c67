#include "plugin/common/Clock.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace corvane::larchmere::plugin::common {

namespace {

using FractionalMs = std::chrono::duration<double, std::milli>;

class RealClock final : public Clock {
 public:
  double NowMs() override {
    return FractionalMs(std::chrono::steady_clock::now().time_since_epoch()).count();
  }

  double WallClockMs() override {
    return FractionalMs(std::chrono::system_clock::now().time_since_epoch()).count();
  }

  void SleepMs(int milliseconds) override {
    if (milliseconds > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }

  bool WaitForArrival(ArrivalSignal& arrivals, std::uint64_t seenGeneration,
                      double deadlineMs) override {
    const std::chrono::steady_clock::time_point deadline(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(FractionalMs(deadlineMs)));
    return arrivals.WaitUntil(seenGeneration, deadline);
  }
};

}  // namespace

double Clock::WallClockWholeSecondsMs() { return std::floor(WallClockMs() / 1000.0) * 1000.0; }

std::shared_ptr<Clock> SystemClock() {
  static const std::shared_ptr<Clock> instance = std::make_shared<RealClock>();
  return instance;
}

}  // namespace corvane::larchmere::plugin::common
