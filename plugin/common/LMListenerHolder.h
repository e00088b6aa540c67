#pragma once

#include <memory>
#include <optional>
#include <string>

#include "plugin/common/ArrivalSignal.h"
#include "plugin/common/Clock.h"
#include "plugin/common/CommonExport.h"
#include "plugin/common/FrameSessionState.h"
#include "plugin/common/LMEnrollFeedbackListener.h"
#include "plugin/common/LMFrameListener.h"
#include "plugin/common/LMHybridMatchListener.h"
#include "plugin/common/LMMatchFeedbackListener.h"
#include "plugin/common/LMProcessedFramesListener.h"
#include "plugin/common/Stopwatch.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::common {

// What ResetCaptureSession does with the stored enrollment response.
enum class StoredFramesPolicy { kKeep, kClear };

// The one holder of the engine listeners, the capture-session state, the two
// stopwatches of the display time-out, the host's domain suffix and the
// wake-up source that every listener signals when something arrives. Created
// by the plug-in's start-up right after the engine, handed (not owned) to
// every handler. It registers nothing with the engine: each handler passes
// the listeners it needs to the engine operation it starts.
//
// All members are thread-safe. Locking rules for engine calls are those of
// FrameSessionState: request threads serialise capture starts and stops with
// the capture lock (CaptureLock) and never call the engine while inside any
// other lock. The plug-in library exports the public methods.
class KS_COMMON_API LMListenerHolder {
 public:
  // `faceLogin` may be null (time-outs then never stop anything). `clock`
  // drives the stopwatches and every sleep of the capture paths; null means
  // SystemClock().
  explicit LMListenerHolder(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> faceLogin,
                            std::shared_ptr<Clock> clock = nullptr);

  // Before destroying the holder, the owner must make sure that the engine
  // no longer calls any listener: stop the capture (once the engine's
  // StopRemoteBiometricData has returned, no frame notification runs or will
  // run, including a display time-out in progress) and let no enrollment or
  // match run on. The destructor then releases the frame listener's engine
  // reference, after waiting for a display time-out still running, while
  // everything it points to is still alive.
  ~LMListenerHolder();

  LMListenerHolder(const LMListenerHolder&) = delete;
  LMListenerHolder& operator=(const LMListenerHolder&) = delete;

  FrameSessionState& State();
  Stopwatch& SessionStopwatch();
  Stopwatch& PollStopwatch();
  // The clock of the capture paths: handlers sleep and wait through it.
  Clock& GetClock();
  // Signalled by every listener once it has queued an entry or flagged the
  // camera invalid: a poll waits on it (through GetClock) instead of pausing.
  ArrivalSignal& Arrivals();

  LMFrameListener& FrameListener();
  LMProcessedFramesListener& ProcessedFramesListener();
  LMEnrollFeedbackListener& EnrollFeedbackListener();
  LMMatchFeedbackListener& MatchFeedbackListener();
  LMHybridMatchListener& HybridMatchListener();

  // Stores the suffix once: ignored when `suffix` is empty or a suffix is
  // already stored.
  void SetDomainSufix(const std::string& suffix);
  // A copy of the stored suffix; empty optional until one is set.
  std::optional<std::string> GetDomainSufix() const;

  // Empties the error queue and the result queue of every listener (frame,
  // processed frames, enrollment, match, hybrid).
  void EmptyListenersQueues();
  // True when any listener has seen a camera error since the last
  // UnsetInvalidCamera.
  bool IsInvalidCamera() const;
  void UnsetInvalidCamera();

  // A request that arrives while a capture session runs counts as activity:
  // when `started` is set, restarts the poll and then the session stopwatch.
  void RestartStopwatchesIfSessionStarted();
  // Binds an accepted frame-endpoint request to the session: a new id joins
  // the session and restarts the session stopwatch; the poll stopwatch is
  // restarted in every case. Returns true when the id was new.
  bool AdmitCorrelationId(const std::string& correlationId);

  // Ends the capture session after the engine's capture was stopped (or a
  // final result was delivered): started, timeOutInProgress and
  // operationStarted become false, the match attempts and correlation ids
  // are cleared, the stored enrollment response is kept or cleared, and every
  // listener queue is emptied. Does not call the engine.
  void ResetCaptureSession(StoredFramesPolicy storedFrames);

 private:
  std::shared_ptr<Clock> clock_;
  FrameSessionState state;
  Stopwatch sessionStopwatch;
  Stopwatch pollStopwatch;
  // Declared before the listeners, which signal it until they are destroyed.
  ArrivalSignal arrivals_;
  LMProcessedFramesListener processedFramesListener;
  LMEnrollFeedbackListener enrollFeedbackListener;
  LMMatchFeedbackListener matchFeedbackListener;
  LMHybridMatchListener hybridMatchListener;
  // Declared last of the listeners: built after the listeners it empties and
  // destroyed before them.
  LMFrameListener frameListener;

  mutable Mutex domainSuffixMutex;
  std::optional<std::string> domainSuffix KS_GUARDED_BY(domainSuffixMutex);
};

}  // namespace corvane::larchmere::plugin::common
