#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <vector>

#include "plugin/common/Clock.h"
#include "plugin/common/FrameSessionState.h"
#include "plugin/common/LMListener.h"
#include "plugin/common/Stopwatch.h"
#include "plugin/platform/Mutex.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::common {

// Stops the engine's capture when the web page has stopped polling (5 to
// 10 s without a request) or a session has run too long (30 to 60 s), then
// resets the capture session. Driven by the frame listener on the engine's
// frame thread, once per frame.
//
// Locking: the decision runs under timeOutMutex (taken only by frame
// threads; the stopwatch mutexes nest inside it), so only one time-out fires
// at a time. The engine stop and the clean-up run with no lock held except
// the short group locks of FrameSessionState and the listener queue locks;
// the frame thread never waits for the session state's capture lock.
class DisplayTimeOut {
 public:
  // The poll window and session window, exclusive bounds in milliseconds.
  static constexpr double kPollWindowStartMs = 5000;
  static constexpr double kPollWindowEndMs = 10000;
  static constexpr double kSessionWindowStartMs = 30000;
  static constexpr double kSessionWindowEndMs = 60000;
  // A recorded reading at or below this (but not 0) blocks that window.
  static constexpr double kLastReadingFloorMs = 1500;
  // Pause after the engine stop before the reset, and length of the window
  // in which frame requests are answered "Frames Time Out".
  static constexpr int kSettleMs = 1000;
  static constexpr int kCleanUpWindowMs = 1500;

  // Every reference must outlive this object. `listeners` are emptied (result
  // queue, then error queue) in the given order by the clean-up.
  DisplayTimeOut(Stopwatch& sessionStopwatch, Stopwatch& pollStopwatch,
                 std::shared_ptr<Corvane::QAV::SDK::FaceLogin> faceLogin, FrameSessionState& state,
                 std::vector<LMListener*> listeners, Clock& clock);

  DisplayTimeOut(const DisplayTimeOut&) = delete;
  DisplayTimeOut& operator=(const DisplayTimeOut&) = delete;

  // Checks the stopwatches and, when the time-out fires and the engine stops
  // the capture, resets the session; the reset sleeps about 2.5 s on the
  // calling thread. Returns true when the session was reset. Engine and clean-up failures are
  // logged, not thrown; only a failing mutex raises std::system_error.
  bool Check() KS_EXCLUDES(timeOutMutex_, engineMutex_);

  // Drops the engine reference, then waits until a time-out that is running
  // has finished, clean-up included: once this returns, the time-out neither
  // touches the session nor holds the engine. Later time-outs no longer stop
  // anything (they are treated as a failed stop). Thread-safe; must not be
  // called from within Check (the frame thread would wait for itself).
  void ReleaseEngine() KS_EXCLUDES(timeOutMutex_, engineMutex_);

  // For a listener left alive to the process's end: no later time-out fires
  // (nothing is stopped, nothing is logged), then waits at most `limit` for
  // one that is running. Unlike ReleaseEngine it gives up waiting: at process
  // exit the frame thread may have been ended in the middle of a time-out.
  // Keeps the engine reference. Thread-safe; not from within Check.
  void Disarm(std::chrono::milliseconds limit) KS_EXCLUDES(timeOutMutex_);

  // The firing rule, on the current readings and those recorded at the last
  // time-out (0 when none fired yet).
  static bool ShouldFire(double pollElapsedMs, double sessionElapsedMs, double lastPollElapsedMs,
                         double lastSessionElapsedMs);

  double LastPollElapsedMs() const;
  double LastSessionElapsedMs() const;
  // True from the decision to fire until the clean-up (or failed stop) ends.
  bool IsRunning() const;

 private:
  bool DecideToFire() KS_EXCLUDES(timeOutMutex_);
  bool StopCapture() KS_EXCLUDES(engineMutex_);
  void ResetSession();
  void Finish() KS_EXCLUDES(timeOutMutex_);

  Stopwatch& sessionStopwatch;
  Stopwatch& pollStopwatch;
  FrameSessionState& state;
  const std::vector<LMListener*> listeners_;
  Clock& clock_;

  mutable Mutex engineMutex_;
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> faceLogin KS_GUARDED_BY(engineMutex_);

  mutable Mutex timeOutMutex_;
  double lastPollElapsedMs KS_GUARDED_BY(timeOutMutex_) = 0;
  double lastSessionElapsedMs KS_GUARDED_BY(timeOutMutex_) = 0;
  bool running_ KS_GUARDED_BY(timeOutMutex_) = false;
  bool disarmed_ KS_GUARDED_BY(timeOutMutex_) = false;
  std::condition_variable finished_;  // signalled when running_ falls
};

}  // namespace corvane::larchmere::plugin::common
