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
    explicit Admission(RequestGate& gate) : gate(gate), admitted(gate.TryEnter()) {}
    ~Admission() {
      if (admitted) {
        gate.Leave();
      }
    }
    Admission(const Admission&) = delete;
    Admission& operator=(const Admission&) = delete;

    // False when the gate was closed.
    explicit operator bool() const { return admitted; }

   private:
    RequestGate& gate;
    const bool admitted;
  };

  // Refuses new requests and waits until no admitted request remains.
  void CloseAndDrain() KS_EXCLUDES(mutex);
  // Admits requests again.
  void Open() KS_EXCLUDES(mutex);

 private:
  bool TryEnter() KS_EXCLUDES(mutex);
  void Leave() KS_EXCLUDES(mutex);

  Mutex mutex;
  std::condition_variable drained;  // notified when active falls to 0
  bool closed KS_GUARDED_BY(mutex) = false;
  std::size_t active KS_GUARDED_BY(mutex) = 0;
};

}  // namespace corvane::larchmere::plugin
