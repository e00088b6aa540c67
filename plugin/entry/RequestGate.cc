#include "plugin/entry/RequestGate.h"

namespace corvane::larchmere::plugin {

void RequestGate::CloseAndDrain() {
  MutexLock lock(mutex_);
  closed_ = true;
  while (active_ != 0) {
    lock.Wait(drained_);
  }
}

void RequestGate::Open() {
  MutexLock lock(mutex_);
  closed_ = false;
}

bool RequestGate::TryEnter() {
  MutexLock lock(mutex_);
  if (closed_) {
    return false;
  }
  ++active_;
  return true;
}

void RequestGate::Leave() {
  MutexLock lock(mutex_);
  if (--active_ == 0) {
    drained_.notify_all();
  }
}

}  // namespace corvane::larchmere::plugin
