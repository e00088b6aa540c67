#pragma once

#include <condition_variable>
#include <cstddef>

#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin {

// Keeps requests away from the plug-in state while Initialize or Finalize
// changes it. Requests enter without waiting and are refused while the gate
// is closed; closing waits until the requests already inside have left. A
// closing call is therefore held up only by the requests in flight (at most
// one poll of a frame endpoint, about 2 s), never by requests that arrive
// after it, so it cannot starve.
//
// Everything written while the gate is closed is seen by every request
// admitted after it reopens. Thread-safe.
class RequestGate {
 public:
  // An admission to the gate, left on destruction.
  class Admission {
   public:
    explicit Admission(RequestGate& gate) : gate_(gate), admitted_(gate.TryEnter()) {}
    ~Admission() {
      if (admitted_) {
        gate_.Leave();
      }
    }
    Admission(const Admission&) = delete;
    Admission& operator=(const Admission&) = delete;

    // False when the gate was closed.
    explicit operator bool() const { return admitted_; }

   private:
    RequestGate& gate_;
    const bool admitted_;
  };

  // Refuses new requests and waits until no admitted request remains.
  void CloseAndDrain() KS_EXCLUDES(mutex_);
  // Admits requests again.
  void Open() KS_EXCLUDES(mutex_);

 private:
  bool TryEnter() KS_EXCLUDES(mutex_);
  void Leave() KS_EXCLUDES(mutex_);

  Mutex mutex_;
  std::condition_variable drained_;  // notified when active falls to 0
  bool closed_ KS_GUARDED_BY(mutex_) = false;
  std::size_t active_ KS_GUARDED_BY(mutex_) = 0;
};

}  // namespace corvane::larchmere::plugin
