#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "plugin/common/Clock.h"
#include "plugin/common/DisplayTimeOut.h"
#include "plugin/common/FrameSessionState.h"
#include "plugin/common/LMEnrollFeedbackListener.h"
#include "plugin/common/LMHybridMatchListener.h"
#include "plugin/common/LMListener.h"
#include "plugin/common/LMMatchFeedbackListener.h"
#include "plugin/common/LMProcessedFramesListener.h"
#include "plugin/common/LM_Frame.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/common/Stopwatch.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Receives the camera frames of a capture session and keeps the newest ones
// for the polling handlers, which show only the newest frame as a preview.
// Every frame first runs the display time-out (DisplayTimeOut).
//
// Owned by LMListenerHolder. Thread-safe: frames arrive on the engine's frame
// thread, the queries run on request threads.
class LMFrameListener : public virtual Corvane::QAV::SDK::FrameCallback, public virtual LMListener {
 public:
  // Consumers only ever show the newest frame, and a frame can be about a
  // megabyte, so only the newest few are kept.
  static constexpr std::size_t kMaxQueuedFrames = 2;

  // Every reference must outlive the listener; the engine reference is kept
  // to stop the capture on a time-out, until ReleaseEngine. `arrivals` as for
  // LMListener.
  LMFrameListener(Stopwatch& sessionStopwatch, Stopwatch& pollStopwatch,
                  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> faceLogin,
                  LMProcessedFramesListener& processedFramesListener,
                  LMEnrollFeedbackListener& enrollFeedbackListener,
                  LMMatchFeedbackListener& matchFeedbackListener,
                  LMHybridMatchListener& hybridMatchListener, FrameSessionState& state,
                  Clock& clock, ArrivalSignal* arrivals);
  ~LMFrameListener() override;

  // Runs the display time-out, then queues a stamped deep copy of the frame
  // when its frameSize is greater than 0 (other frames are dropped). The
  // frame that triggered a time-out belongs to the stopped capture and is
  // dropped too.
  void OnFrame(const Corvane::QAV::SDK::SDK_Frame& frame) override;

  // The newest frame, after which the queue is empty; null when empty.
  std::shared_ptr<LM_Frame> TakeNewest();
  // Like TakeNewest, but only when the newest frame arrived strictly after
  // `startTimeMs`; otherwise null, and the queue stays as it was.
  std::shared_ptr<LM_Frame> TakeNewestIfNewerThan(double startTimeMs);
  bool HasEntries() const;
  std::size_t Size() const;
  void EmptyQueue() override;

  // Drops the listener's engine reference and waits for a display time-out
  // still running on the frame thread (see DisplayTimeOut::ReleaseEngine).
  void ReleaseEngine();
  // Keeps every later display time-out from firing (see DisplayTimeOut::Disarm).
  void Disarm(std::chrono::milliseconds limit);

  // The display time-out driven by this listener (for inspection).
  const DisplayTimeOut& TimeOut() const;

 private:
  Clock& clock_;
  DisplayTimeOut timeOut_;
  ListenerQueue<LM_Frame> frames;
};

}  // namespace corvane::larchmere::plugin::common
