#include "plugin/entry/RequestGate.h"

namespace corvane::larchmere::plugin {

void RequestGate::CloseAndDrain() {
  std::unique_lock<std::mutex> lock(mutex);
  closed = true;
  drained.wait(lock, [this] { return active == 0; });
}

void RequestGate::Open() {
  std::scoped_lock lock(mutex);
  closed = false;
}

bool RequestGate::TryEnter() {
  std::scoped_lock lock(mutex);
  if (closed) {
    return false;
  }
  ++active;
  return true;
}

void RequestGate::Leave() {
  std::scoped_lock lock(mutex);
  if (--active == 0) {
    drained.notify_all();
  }
}

}  // namespace corvane::larchmere::plugin
