#include "plugin/common/Stopwatch.h"

namespace corvane::larchmere::plugin::common {

Stopwatch::Stopwatch(Clock& source) : clock(source), start(source.NowMs()), now(start) {}

void Stopwatch::Restart() {
  std::scoped_lock lock(mutex);
  start = clock.NowMs();
}

double Stopwatch::ElapsedMs() {
  std::scoped_lock lock(mutex);
  now = clock.NowMs();
  elapsedMs = now - start;
  return elapsedMs;
}

}  // namespace corvane::larchmere::plugin::common
