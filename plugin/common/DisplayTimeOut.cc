#include "plugin/common/DisplayTimeOut.h"

#include <chrono>
#include <exception>
#include <utility>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::FaceLogin;

namespace {

constexpr char kLogPrefix[] = "LMFrameListener - HandleTimeOut";
constexpr char kStopFailedPrefix[] =
    "LMFrameListener - HandleTimeOut - Exception occurred while executing "
    "StopRemoteBiometricData";
constexpr char kCleanUpFailedPrefix[] =
    "LMFrameListener - HandleTimeOut - Exception occurred executing Plugin Time Out(After "
    "StopRemoteBiometricData)";

bool InWindow(double reading, double start, double end, double lastReading, double floor) {
  return start < reading && reading < end && (lastReading == 0 || lastReading > floor);
}

}  // namespace

DisplayTimeOut::DisplayTimeOut(Stopwatch& sessionWatch, Stopwatch& pollWatch,
                               std::shared_ptr<FaceLogin> engine, FrameSessionState& session,
                               std::vector<LMListener*> emptiedListeners, Clock& timeSource)
    : sessionStopwatch(sessionWatch),
      pollStopwatch(pollWatch),
      state(session),
      listeners_(std::move(emptiedListeners)),
      clock_(timeSource),
      faceLogin(std::move(engine)) {}

bool DisplayTimeOut::ShouldFire(double pollElapsedMs, double sessionElapsedMs,
                                double lastPollElapsedMs, double lastSessionElapsedMs) {
  return InWindow(pollElapsedMs, kPollWindowStartMs, kPollWindowEndMs, lastPollElapsedMs,
                  kLastReadingFloorMs) ||
         InWindow(sessionElapsedMs, kSessionWindowStartMs, kSessionWindowEndMs,
                  lastSessionElapsedMs, kLastReadingFloorMs);
}

bool DisplayTimeOut::Check() {
  if (!DecideToFire()) {
    return false;
  }
  const bool stopped = StopCapture();
  if (stopped) {
    ResetSession();
  }
  Finish();
  return stopped;
}

bool DisplayTimeOut::DecideToFire() {
  {
    MutexLock lock(timeOutMutex_);
    if (running_ || disarmed_) {
      return false;
    }
    const double pollElapsed = pollStopwatch.ElapsedMs();
    const double sessionElapsed = sessionStopwatch.ElapsedMs();
    if (!ShouldFire(pollElapsed, sessionElapsed, lastPollElapsedMs, lastSessionElapsedMs)) {
      return false;
    }
    lastPollElapsedMs = pollElapsed;
    lastSessionElapsedMs = sessionElapsed;
    running_ = true;
  }
  LogInfo(kLogPrefix, "FRAME DISPLAY TIME OUT");
  return true;
}

bool DisplayTimeOut::StopCapture() {
  std::shared_ptr<FaceLogin> engine;
  {
    MutexLock lock(engineMutex_);
    engine = faceLogin;
  }
  if (!engine) {
    return false;
  }
  try {
    // Called from inside the frame notification: the engine only marks the
    // stop here, it does not wait for this notification to return.
    return engine->StopRemoteBiometricData() == 0;
  } catch (const std::exception& exception) {
    LogException(kStopFailedPrefix, exception);
  } catch (...) {
    LogError(kStopFailedPrefix, "unknown exception");
  }
  return false;
}

void DisplayTimeOut::ResetSession() {
  try {
    clock_.SleepMs(kSettleMs);
    state.EndSession(/*timingOut=*/true);
    state.SetOperationStarted(false);
    state.ClearMatchAttempts();
    state.ClearCorrelationIds();
    state.ClearStoredProcessedFrames();
    for (LMListener* listener : listeners_) {
      listener->EmptyQueue();
      listener->EmptyErrorQueue();
    }
    clock_.SleepMs(kCleanUpWindowMs);
  } catch (const std::exception& exception) {
    LogException(kCleanUpFailedPrefix, exception);
  } catch (...) {
    LogError(kCleanUpFailedPrefix, "unknown exception");
  }
  // Outside the try block: a failed clean-up must not leave every later frame
  // request answered "Frames Time Out".
  state.SetTimeOutInProgress(false);
}

void DisplayTimeOut::Finish() {
  MutexLock lock(timeOutMutex_);
  running_ = false;
  // Under the lock: a waiter in ReleaseEngine may free this object as soon
  // as it sees running fall.
  finished_.notify_all();
}

void DisplayTimeOut::ReleaseEngine() {
  std::shared_ptr<FaceLogin> released;
  {
    MutexLock lock(engineMutex_);
    released.swap(faceLogin);
  }
  // A time-out that fired before the swap may still hold its own engine
  // reference (the last one dropped on the frame thread would destroy the
  // engine there) and may still be resetting the session its owner is about
  // to free.
  MutexLock lock(timeOutMutex_);
  while (running_) {
    lock.Wait(finished_);
  }
}

void DisplayTimeOut::Disarm(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  MutexLock lock(timeOutMutex_);
  disarmed_ = true;
  while (running_) {
    if (!lock.WaitUntil(finished_, deadline)) {
      return;
    }
  }
}

double DisplayTimeOut::LastPollElapsedMs() const {
  MutexLock lock(timeOutMutex_);
  return lastPollElapsedMs;
}

double DisplayTimeOut::LastSessionElapsedMs() const {
  MutexLock lock(timeOutMutex_);
  return lastSessionElapsedMs;
}

bool DisplayTimeOut::IsRunning() const {
  MutexLock lock(timeOutMutex_);
  return running_;
}

}  // namespace corvane::larchmere::plugin::common
