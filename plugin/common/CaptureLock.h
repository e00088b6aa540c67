#pragma once

#include "plugin/common/FrameSessionState.h"
#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin::common {

// Holds the session state's capture lock for its lifetime: a request thread
// that starts or stops the engine's capture, or starts an enrollment or a
// match, holds it across the whole sequence. Steps that require it take a
// `const CaptureLock&`, so the order (capture lock first, then the state's
// group locks and the listener queues, one at a time) is written in the
// signatures. Never taken on an engine thread (see FrameSessionState).
class KS_SCOPED_CAPABILITY CaptureLock {
 public:
  explicit CaptureLock(FrameSessionState& state) KS_ACQUIRE(state.CaptureMutex())
      : lock_(state.CaptureMutex()) {}
  ~CaptureLock() KS_RELEASE() {}

  CaptureLock(const CaptureLock&) = delete;
  CaptureLock& operator=(const CaptureLock&) = delete;

 private:
  MutexLock lock_;
};

}  // namespace corvane::larchmere::plugin::common
