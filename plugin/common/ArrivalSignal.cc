#include "plugin/common/ArrivalSignal.h"

namespace corvane::larchmere::plugin::common {

std::uint64_t ArrivalSignal::Generation() const {
  MutexLock lock(mutex_);
  return generation_;
}

void ArrivalSignal::Notify() {
  {
    MutexLock lock(mutex_);
    ++generation_;
  }
  arrived_.notify_all();
}

bool ArrivalSignal::WaitUntil(std::uint64_t seenGeneration,
                              std::chrono::steady_clock::time_point deadline) {
  MutexLock lock(mutex_);
  while (generation_ == seenGeneration) {
    if (!lock.WaitUntil(arrived_, deadline)) {
      return generation_ != seenGeneration;
    }
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::common
