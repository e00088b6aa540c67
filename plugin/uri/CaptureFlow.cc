#include "plugin/uri/CaptureFlow.h"

#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

CaptureFlow::CaptureFlow(Corvane::QAV::SDK::FaceLogin* engine, common::LMListenerHolder* holder,
                         std::string correlationId, int previewType)
    : engine_(engine),
      holder_(holder),
      correlationId_(std::move(correlationId)),
      previewType_(previewType) {}

void CaptureFlow::Run(CaptureFlags& flags, Answer& answer) const {
  if (engine_ == nullptr || holder_ == nullptr) {
    answer.status = 500;
  } else if (flags.timedOut) {
    HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kFramesTimeOut,
                       common::kFramesTimeOutDescription);
  } else if (Start(flags.sessionStarted, flags.deliverFrames, answer)) {
    answer.status = 200;
    Poll(flags.deliverFrames, answer);
  }
  CaptureSteps::Finish(answer);
  LogInfo(texts.contentOutLog, answer.body);
}

bool CaptureFlow::Start(bool sessionStarted, bool& deliverFrames, Answer& answer) const {
  const common::FrameSessionState& state = holder_->State();
  const common::CaptureLock captureLock(holder_->State());
  // Another request may have started the session since this one was admitted,
  // or a stop may have ended it: a later call restarts only a running one.
  if (sessionStarted || state.IsStarted()) {
    return !state.IsStarted() || RestartOperation(captureLock, answer);
  }
  return StartSession(captureLock, deliverFrames, answer);
}

bool CaptureFlow::StartSession(const common::CaptureLock& captureLock, bool& deliverFrames,
                               Answer& answer) const {
  const int captureResult =
      CaptureSteps::BeginCapture(captureLock, *engine_, *holder_, previewType_);
  if (afterCaptureStart) {
    afterCaptureStart();
  }
  if (captureResult != 0) {
    HandlerSteps::FailEngine(answer, captureResult, texts.captureFailure);
    return false;
  }
  RecordFirstStart(captureLock);
  holder_->GetClock().SleepMs(CaptureSteps::kSettleBeforeOperationMs);
  const int result = startOperation();
  if (result != 0) {
    HandlerSteps::FailEngine(answer, result, texts.firstStartFailure);
    return false;
  }
  deliverFrames = false;
  return true;
}

bool CaptureFlow::RestartOperation(const common::CaptureLock& captureLock, Answer& answer) const {
  if (!TryRecordRestart(captureLock)) {
    return true;
  }
  const std::function<int()>& start = restartOperation ? restartOperation : startOperation;
  const int result =
      restart == Restart::kWhenOperationNotStarted
          ? start()
          : CaptureSteps::StartWithRetries(captureLock, start, texts.restartTryLog,
                                           texts.restartFailureLog, holder_->GetClock());
  if (result != 0) {
    HandlerSteps::FailEngine(answer, result, texts.restartFailure);
    return false;
  }
  return true;
}

void CaptureFlow::RecordFirstStart(const common::CaptureLock&) const {
  common::FrameSessionState& state = holder_->State();
  if (restart == Restart::kWhenOperationNotStarted) {
    state.SetOperationStarted(true);
    return;
  }
  state.ClearStoredProcessedFrames();
  state.RecordFirstMatchStart(correlationId_);
}

bool CaptureFlow::TryRecordRestart(const common::CaptureLock&) const {
  common::FrameSessionState& state = holder_->State();
  switch (restart) {
    case Restart::kWhenOperationNotStarted:
      return state.TryMarkOperationStarted();
    case Restart::kPerCorrelationId:
      return state.TryRecordMatchRestart(correlationId_, kMaxEarlierRemoteStarts);
    case Restart::kWhenNoMatchActive:
      return state.TryBeginFirstMatchAttempt(correlationId_);
  }
  return false;
}

void CaptureFlow::Poll(bool& deliverFrames, Answer& answer) const {
  const bool enrollment = cameraFeedback == CameraFeedback::kEnrollment;
  const FramePollLoop loop(*holder_, takeResult, renderFrame, [enrollment] {
    return enrollment ? LarchmerePluginHelper::ToEnrollFeedbackPayload(
                            FramePollLoop::kInvalidCameraCode, FramePollLoop::kInvalidCameraText)
                      : LarchmerePluginHelper::ToMatchFeedbackPayload(
                            FramePollLoop::kInvalidCameraCode, FramePollLoop::kInvalidCameraText);
  });
  loop.Run(deliverFrames, answer);
}

}  // namespace corvane::larchmere::plugin::uri
