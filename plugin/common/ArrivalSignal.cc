#include "plugin/common/ArrivalSignal.h"

namespace corvane::larchmere::plugin::common {

std::uint64_t ArrivalSignal::Generation() const {
  std::scoped_lock lock(mutex);
  return generation;
}

void ArrivalSignal::Notify() {
  {
    std::scoped_lock lock(mutex);
    ++generation;
  }
  arrived.notify_all();
}

bool ArrivalSignal::WaitUntil(std::uint64_t seenGeneration,
                              std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex);
  return arrived.wait_until(lock, deadline,
                            [this, seenGeneration] { return generation != seenGeneration; });
}

}  // namespace corvane::larchmere::plugin::common
