#include "plugin/uri/CaptureSteps.h"

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

Corvane::QAV::SDK::MatchContext CaptureSteps::ReadMatchContext(const char* requestHeaders,
                                                               int contentLength,
                                                               const char* content,
                                                               bool withEmail) {
  Corvane::QAV::SDK::MatchContext context;
  context.content = LarchmerePluginHelper::ReadBody(contentLength, content);
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  if (LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    context.correlationId = correlationId;
  }
  if (withEmail) {
    context.email = LarchmerePluginHelper::GetEmailFromMatchRequest(contentLength, content);
  }
  return context;
}

int CaptureSteps::BeginCapture(const common::CaptureLock&, Corvane::QAV::SDK::FaceLogin& engine,
                               common::LMListenerHolder& holder, int previewType) {
  holder.State().BeginSession(holder.GetClock().WallClockWholeSecondsMs());
  return engine.StartRemoteBiometricData(&holder.FrameListener(), previewType);
}

int CaptureSteps::StartWithRetries(const common::CaptureLock&, const std::function<int()>& start,
                                   const std::string& beforeTryLog,
                                   const std::string& afterFailureLog, common::Clock& clock) {
  int result = 0;
  for (int attempt = 0; attempt < kRestartTries; ++attempt) {
    if (!beforeTryLog.empty()) {
      WriteLog(beforeTryLog, kLogInfo);
    }
    result = start();
    if (result == 0) {
      break;
    }
    WriteLog(afterFailureLog, kLogInfo);
    clock.SleepMs(kRetryPauseMs);
  }
  return result;
}

std::string CaptureSteps::TakeFrameError(common::LMListenerHolder& holder, unsigned short& status) {
  if (auto error = holder.FrameListener().TakeNewestError()) {
    status = 500;
    return LarchmerePluginHelper::ToErrorPayload(error);
  }
  return std::string();
}

std::string CaptureSteps::TakeLocalMatchProgress(common::LMListenerHolder& holder,
                                                 unsigned short& status) {
  std::string body = TakeFrameError(holder, status);
  if (!body.empty()) {
    return body;
  }
  common::LMEnrollFeedbackListener& enrollListener = holder.EnrollFeedbackListener();
  if (auto enrollError = enrollListener.TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(enrollError);
  }
  if (auto feedback = enrollListener.TakeNewest()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(feedback->code, feedback->description);
  }
  if (auto hybridError = holder.HybridMatchListener().TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(hybridError);
  }
  return std::string();
}

void CaptureSteps::Finish(Answer& answer) {
  if (answer.status == 200) {
    return;
  }
  answer.status = 500;
  if (answer.body.empty()) {
    answer.body = LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kPluginGenericError,
        common::kPluginGenericErrorDescription);
  }
}

}  // namespace corvane::larchmere::plugin::uri
