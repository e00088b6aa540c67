#include "plugin/entry/RequestGate.h"

namespace corvane::larchmere::plugin {

void RequestGate::CloseAndDrain() {
  MutexLock lock(mutex);
  closed = true;
  while (active != 0) {
    lock.Wait(drained);
  }
}

void RequestGate::Open() {
  MutexLock lock(mutex);
  closed = false;
}

bool RequestGate::TryEnter() {
  MutexLock lock(mutex);
  if (closed) {
    return false;
  }
  ++active;
  return true;
}

void RequestGate::Leave() {
  MutexLock lock(mutex);
  if (--active == 0) {
    drained.notify_all();
  }
}

}  // namespace corvane::larchmere::plugin
