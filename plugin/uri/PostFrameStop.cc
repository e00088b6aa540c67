#include "plugin/uri/PostFrameStop.h"

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::CorrelationRelease;
using common::LarchmerePluginHelper;

namespace {

constexpr char kEmptyDocument[] = "{}";

std::string PluginError(int code, const char* description) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, code,
                                                        description);
}

}  // namespace

bool PostFrameStop::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/stop", "POST");
}

int PostFrameStop::GetOperationType() const { return kOperationLocal; }

const char* PostFrameStop::GetClassName() const { return "PostFrameStop"; }

bool PostFrameStop::SyncProcessRequest(const char* requestHeaders, int, const char*,
                                       Answer& answer) {
  WriteLog("PostFrameStop - ProcessRequest", kLogInfo);
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  LogInfo("PostFrameStop - HandleReentrantClient - Q-Correlation-Id", correlationId);
  std::string error;
  if (!LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    error = PluginError(common::kInvalidQCorrelationId, common::kInvalidQCorrelationIdDescription);
  } else if (!engine || listenerHolder == nullptr) {
    error = PluginError(common::kPluginGenericError, common::kPluginGenericErrorDescription);
  } else {
    error = ReleaseAndStop(correlationId, answer);
  }
  if (!error.empty()) {
    answer.body.append(error);
    answer.status = 500;
  }
  LogInfo("PostFrameStop - ProcessRequest - ContentOut", answer.body);
  return true;
}

std::string PostFrameStop::ReleaseAndStop(const std::string& correlationId, Answer& answer) {
  common::FrameSessionState& state = SessionState();
  common::CaptureLock captureLock(state);
  // The time-out clean-up marks the session as no longer started: asked
  // first, so that a stop in its window is told why.
  if (state.IsTimeOutInProgress()) {
    return PluginError(common::kFramesTimeOut, common::kFramesTimeOutDescription);
  }
  switch (state.ReleaseCorrelationId(correlationId)) {
    case CorrelationRelease::kNotStarted:
      return PluginError(common::kFramesAlreadyStopped, common::kFramesAlreadyStoppedDescription);
    case CorrelationRelease::kTimeOutInProgress:
      return PluginError(common::kFramesTimeOut, common::kFramesTimeOutDescription);
    case CorrelationRelease::kUnknownId:
      if (!LarchmerePluginHelper::IsForceStop(correlationId)) {
        return PluginError(common::kFramesAlreadyStopped, common::kFramesAlreadyStoppedDescription);
      }
      return StopCapture(captureLock, answer);
    case CorrelationRelease::kOthersRemain:
      // The capture keeps running for the other pages.
      answer.body.append(kEmptyDocument);
      answer.status = 200;
      return std::string();
    case CorrelationRelease::kLastReleased:
      return StopCapture(captureLock, answer);
  }
  return PluginError(common::kPluginGenericError, common::kPluginGenericErrorDescription);
}

std::string PostFrameStop::StopCapture(const common::CaptureLock&, Answer& answer) {
  const int result = engine->StopRemoteBiometricData();
  if (result != 0) {
    // The session is reset all the same: left started, no later stop could
    // reach the engine and no new session could begin.
    listenerHolder->ResetCaptureSession(common::StoredFramesPolicy::kKeep);
    return LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, result,
        std::string("StopRemoteBiometricData") + common::kQAVServiceErrorSuffix);
  }
  answer.body.append(kEmptyDocument);
  answer.status = 200;
  listenerHolder->GetClock().SleepMs(kSettleAfterStopMs);
  listenerHolder->ResetCaptureSession(common::StoredFramesPolicy::kKeep);
  return std::string();
}

}  // namespace corvane::larchmere::plugin::uri
