#include "plugin/common/LMListenerHolder.h"

#include <array>
#include <utility>

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::FaceLogin;

namespace {

std::shared_ptr<Clock> OrSystemClock(std::shared_ptr<Clock> clock) {
  return clock ? std::move(clock) : SystemClock();
}

}  // namespace

LMListenerHolder::LMListenerHolder(std::shared_ptr<FaceLogin> faceLogin,
                                   std::shared_ptr<Clock> timeSource)
    : clock_(OrSystemClock(std::move(timeSource))),
      sessionStopwatch(*clock_),
      pollStopwatch(*clock_),
      processedFramesListener(&arrivals_),
      enrollFeedbackListener(&arrivals_),
      matchFeedbackListener(&arrivals_),
      hybridMatchListener(&arrivals_),
      frameListener(sessionStopwatch, pollStopwatch, std::move(faceLogin), processedFramesListener,
                    enrollFeedbackListener, matchFeedbackListener, hybridMatchListener, state,
                    *clock_, &arrivals_) {}

LMListenerHolder::~LMListenerHolder() {
  // Released first: should this be the last engine reference, the engine is
  // destroyed while every object its threads might still reach is alive.
  frameListener.ReleaseEngine();
  EmptyListenersQueues();
  state.SetOperationStarted(false);
  state.ClearMatchAttempts();
  state.ClearCorrelationIds();
  state.ClearStoredProcessedFrames();
}

FrameSessionState& LMListenerHolder::State() { return state; }

Stopwatch& LMListenerHolder::SessionStopwatch() { return sessionStopwatch; }

Stopwatch& LMListenerHolder::PollStopwatch() { return pollStopwatch; }

Clock& LMListenerHolder::GetClock() { return *clock_; }

ArrivalSignal& LMListenerHolder::Arrivals() { return arrivals_; }

LMFrameListener& LMListenerHolder::FrameListener() { return frameListener; }

LMProcessedFramesListener& LMListenerHolder::ProcessedFramesListener() {
  return processedFramesListener;
}

LMEnrollFeedbackListener& LMListenerHolder::EnrollFeedbackListener() {
  return enrollFeedbackListener;
}

LMMatchFeedbackListener& LMListenerHolder::MatchFeedbackListener() { return matchFeedbackListener; }

LMHybridMatchListener& LMListenerHolder::HybridMatchListener() { return hybridMatchListener; }

void LMListenerHolder::SetDomainSufix(const std::string& suffix) {
  if (suffix.empty()) {
    return;
  }
  MutexLock lock(domainSuffixMutex);
  if (!domainSuffix) {
    domainSuffix = suffix;
  }
}

std::optional<std::string> LMListenerHolder::GetDomainSufix() const {
  MutexLock lock(domainSuffixMutex);
  return domainSuffix;
}

void LMListenerHolder::EmptyListenersQueues() {
  const std::array<LMListener*, 5> listeners = {&frameListener, &processedFramesListener,
                                                &enrollFeedbackListener, &matchFeedbackListener,
                                                &hybridMatchListener};
  for (LMListener* listener : listeners) {
    listener->EmptyErrorQueue();
    listener->EmptyQueue();
  }
}

bool LMListenerHolder::IsInvalidCamera() const {
  return frameListener.IsInvalidCamera() || processedFramesListener.IsInvalidCamera() ||
         enrollFeedbackListener.IsInvalidCamera() || matchFeedbackListener.IsInvalidCamera() ||
         hybridMatchListener.IsInvalidCamera();
}

void LMListenerHolder::UnsetInvalidCamera() {
  frameListener.UnsetInvalidCamera();
  processedFramesListener.UnsetInvalidCamera();
  enrollFeedbackListener.UnsetInvalidCamera();
  matchFeedbackListener.UnsetInvalidCamera();
  hybridMatchListener.UnsetInvalidCamera();
}

void LMListenerHolder::RestartStopwatchesIfSessionStarted() {
  if (state.IsStarted()) {
    pollStopwatch.Restart();
    sessionStopwatch.Restart();
  }
}

bool LMListenerHolder::AdmitCorrelationId(const std::string& correlationId) {
  const bool isNew = state.AddCorrelationId(correlationId);
  if (isNew) {
    sessionStopwatch.Restart();
  }
  pollStopwatch.Restart();
  return isNew;
}

void LMListenerHolder::ResetCaptureSession(StoredFramesPolicy storedFrames) {
  state.EndSession(/*timingOut=*/false);
  state.SetOperationStarted(false);
  state.ClearMatchAttempts();
  state.ClearCorrelationIds();
  if (storedFrames == StoredFramesPolicy::kClear) {
    state.ClearStoredProcessedFrames();
  }
  EmptyListenersQueues();
}

}  // namespace corvane::larchmere::plugin::common
