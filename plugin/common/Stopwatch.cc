#include "plugin/common/Stopwatch.h"

namespace corvane::larchmere::plugin::common {

Stopwatch::Stopwatch(Clock& source) : clock_(source), start(source.NowMs()), now(start) {}

void Stopwatch::Restart() {
  MutexLock lock(mutex_);
  start = clock_.NowMs();
}

double Stopwatch::ElapsedMs() {
  MutexLock lock(mutex_);
  now = clock_.NowMs();
  elapsedMs = now - start;
  return elapsedMs;
}

}  // namespace corvane::larchmere::plugin::common
