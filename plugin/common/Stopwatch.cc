#include "plugin/common/Stopwatch.h"

namespace corvane::larchmere::plugin::common {

Stopwatch::Stopwatch(Clock& source) : clock(source), start(source.NowMs()), now(start) {}

void Stopwatch::Restart() {
  MutexLock lock(mutex);
  start = clock.NowMs();
}

double Stopwatch::ElapsedMs() {
  MutexLock lock(mutex);
  now = clock.NowMs();
  elapsedMs = now - start;
  return elapsedMs;
}

}  // namespace corvane::larchmere::plugin::common
