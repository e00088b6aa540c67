#include "plugin/uri/PostEnrollFrames.h"

#include <array>
#include <memory>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureFlow.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

namespace {

constexpr char kLogPrefix[] = "PostEnrollFrames - AsyncProcessRequest";
constexpr char kStoreLogPrefix[] = "PostEnrollFrames - StoreProcessedFrames - Q-Correlation-Id";
constexpr char kCaptureOperation[] = "RemoteBiometricData";
constexpr char kEnrollOperation[] = "Remote/Hybrid Enroll";

}  // namespace

bool PostEnrollFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                               const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/enrollment", "POST");
}

int PostEnrollFrames::GetOperationType() const { return kOperationLocal; }

const char* PostEnrollFrames::GetClassName() const { return "PostEnrollFrames"; }

int PostEnrollFrames::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_BLINK_DETECTION_ENROLLMENT");
}

bool PostEnrollFrames::AsyncProcessRequest(const char* requestHeaders, int contentLength,
                                           const char* content, CaptureFlags& flags,
                                           Answer& answer) {
  WriteLog(kLogPrefix, kLogInfo);
  CaptureFlow flow(engine.get(), listenerHolder, std::string(),
                   LarchmerePluginHelper::GetPreviewTypeFromHeader(requestHeaders));
  flow.restart = CaptureFlow::Restart::kWhenOperationNotStarted;
  flow.cameraFeedback = CaptureFlow::CameraFeedback::kEnrollment;
  flow.texts.captureFailure = kCaptureOperation;
  flow.texts.firstStartFailure = kEnrollOperation;
  flow.texts.restartFailure = kEnrollOperation;
  flow.texts.contentOutLog = kStoreLogPrefix;
  flow.startOperation = [&] { return StartEnrollment(requestHeaders, contentLength, content); };
  flow.takeResult = [&](bool deliver, unsigned short&) {
    return TakeResult(requestHeaders, deliver);
  };
  flow.renderFrame = [](const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>& frame) {
    return LarchmerePluginHelper::ToEnrollFramePayload(frame);
  };
  flow.Run(flags, answer);
  return true;
}

int PostEnrollFrames::StartEnrollment(const char* requestHeaders, int contentLength,
                                      const char* content) {
  const bool reEnroll = LarchmerePluginHelper::GetReEnrollFromRequest(contentLength, content);
  const std::string email =
      LarchmerePluginHelper::GetEmailFromEnrollRequest(contentLength, content);
  if (LarchmerePluginHelper::IsHybridCaller(requestHeaders)) {
    const std::string transactionId =
        LarchmerePluginHelper::GetOauthTransactionIdFromRequest(contentLength, content);
    LogInfo("PostEnrollFrames - AsyncProcessRequest - Starting HYBRID enroll - OauthTransactionId",
            transactionId);
    return engine->HybridEnroll(&listenerHolder->ProcessedFramesListener(),
                                &listenerHolder->EnrollFeedbackListener(), transactionId, reEnroll,
                                email);
  }
  LogInfo("PostEnrollFrames - AsyncProcessRequest - Starting REMOTE enroll - Headers received",
          requestHeaders != nullptr ? requestHeaders : "");
  return engine->RemoteEnroll(&listenerHolder->ProcessedFramesListener(),
                              &listenerHolder->EnrollFeedbackListener());
}

std::string PostEnrollFrames::TakeResult(const char* requestHeaders, bool deliverFrames) {
  std::string body;
  if (auto error = listenerHolder->FrameListener().TakeNewestError()) {
    body = LarchmerePluginHelper::ToErrorPayload(error);
  } else if (auto processedError = listenerHolder->ProcessedFramesListener().TakeNewestError()) {
    body = LarchmerePluginHelper::ToErrorPayload(processedError);
  } else if (auto feedback = listenerHolder->EnrollFeedbackListener().TakeNewest()) {
    body = LarchmerePluginHelper::ToEnrollFeedbackPayload(feedback);
  } else if (auto enrollError = listenerHolder->EnrollFeedbackListener().TakeNewestError()) {
    body = LarchmerePluginHelper::ToEnrollFeedbackPayload(enrollError);
  } else if (deliverFrames) {
    if (auto container = listenerHolder->ProcessedFramesListener().TakeNewest()) {
      body = LarchmerePluginHelper::ToProcessedFramesPayload(container);
    }
  }
  if (!body.empty()) {
    StoreProcessedFrames(requestHeaders, body);
    EmptyQueuesKeepingProcessedFrames();
  }
  return body;
}

void PostEnrollFrames::EmptyQueuesKeepingProcessedFrames() {
  // A container taken in this pass already left its queue; whatever is still
  // queued arrived unanswered.
  const std::array<common::LMListener*, 4> emptied = {
      &listenerHolder->FrameListener(), &listenerHolder->EnrollFeedbackListener(),
      &listenerHolder->MatchFeedbackListener(), &listenerHolder->HybridMatchListener()};
  for (common::LMListener* listener : emptied) {
    listener->EmptyErrorQueue();
    listener->EmptyQueue();
  }
  listenerHolder->ProcessedFramesListener().EmptyErrorQueue();
}

void PostEnrollFrames::StoreProcessedFrames(const char* requestHeaders, const std::string& body) {
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  if (!LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    return;
  }
  LogInfo(kStoreLogPrefix, correlationId);
  listenerHolder->State().StoreProcessedFrames(body);
}

}  // namespace corvane::larchmere::plugin::uri
