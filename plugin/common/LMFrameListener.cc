#include "plugin/common/LMFrameListener.h"

#include <utility>

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::FaceLogin;
using Corvane::QAV::SDK::SDK_Frame;

LMFrameListener::LMFrameListener(Stopwatch& sessionStopwatch, Stopwatch& pollStopwatch,
                                 std::shared_ptr<FaceLogin> faceLogin,
                                 LMProcessedFramesListener& processedFramesListener,
                                 LMEnrollFeedbackListener& enrollFeedbackListener,
                                 LMMatchFeedbackListener& matchFeedbackListener,
                                 LMHybridMatchListener& hybridMatchListener,
                                 FrameSessionState& state, Clock& timeSource,
                                 ArrivalSignal* arrivals)
    : LMListener(arrivals),
      clock_(timeSource),
      timeOut_(sessionStopwatch, pollStopwatch, std::move(faceLogin), state,
               {static_cast<LMListener*>(this), &processedFramesListener, &enrollFeedbackListener,
                &matchFeedbackListener, &hybridMatchListener},
               timeSource),
      frames(kMaxQueuedFrames) {}

LMFrameListener::~LMFrameListener() = default;

void LMFrameListener::OnFrame(const SDK_Frame& frame) {
  if (timeOut_.Check() || frame.frameSize <= 0) {
    return;
  }
  auto stamped = std::make_shared<LM_Frame>();
  stamped->frame = std::make_shared<SDK_Frame>(frame);
  stamped->arrivalTimeMs = clock_.WallClockWholeSecondsMs();
  frames.Push(std::move(stamped));
  SignalArrival();
}

std::shared_ptr<LM_Frame> LMFrameListener::TakeNewest() { return frames.TakeNewest(); }

std::shared_ptr<LM_Frame> LMFrameListener::TakeNewestIfNewerThan(double startTimeMs) {
  return frames.TakeNewestIf(
      [startTimeMs](const LM_Frame& newest) { return newest.arrivalTimeMs > startTimeMs; });
}

bool LMFrameListener::HasEntries() const { return frames.HasEntries(); }

std::size_t LMFrameListener::Size() const { return frames.Size(); }

void LMFrameListener::EmptyQueue() { frames.Clear(); }

void LMFrameListener::ReleaseEngine() { timeOut_.ReleaseEngine(); }

void LMFrameListener::Disarm(std::chrono::milliseconds limit) { timeOut_.Disarm(limit); }

const DisplayTimeOut& LMFrameListener::TimeOut() const { return timeOut_; }

}  // namespace corvane::larchmere::plugin::common
