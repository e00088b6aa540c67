#include "plugin/common/ArrivalSignal.h"

namespace corvane::larchmere::plugin::common {

std::uint64_t ArrivalSignal::Generation() const {
  MutexLock lock(mutex);
  return generation;
}

void ArrivalSignal::Notify() {
  {
    MutexLock lock(mutex);
    ++generation;
  }
  arrived.notify_all();
}

bool ArrivalSignal::WaitUntil(std::uint64_t seenGeneration,
                              std::chrono::steady_clock::time_point deadline) {
  MutexLock lock(mutex);
  while (generation == seenGeneration) {
    if (!lock.WaitUntil(arrived, deadline)) {
      return generation != seenGeneration;
    }
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::common
