#include "plugin/uri/PostEnrollFrames.h"

#include <array>
#include <mutex>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/FramePollLoop.h"

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
                                           const char* content, bool& timedOut,
                                           bool& sessionStarted, bool& deliverFrames,
                                           unsigned short& status, std::string&,
                                           std::string& responseBody) {
  WriteLog(kLogPrefix, kLogInfo);
  if (!engine || listenerHolder == nullptr) {
    status = 500;
  } else if (timedOut) {
    CaptureSteps::Fail(status, responseBody, common::kErrorSourcePlugin, common::kFramesTimeOut,
                       common::kFramesTimeOutDescription);
  } else if (StartCapture(requestHeaders, contentLength, content, sessionStarted, deliverFrames,
                          status, responseBody)) {
    status = 200;
    Poll(requestHeaders, deliverFrames, status, responseBody);
  }
  CaptureSteps::Finish(status, responseBody);
  LogInfo(kStoreLogPrefix, responseBody);
  return true;
}

bool PostEnrollFrames::StartCapture(const char* requestHeaders, int contentLength,
                                    const char* content, bool sessionStarted, bool& deliverFrames,
                                    unsigned short& status, std::string& responseBody) {
  common::FrameSessionState& state = listenerHolder->State();
  std::scoped_lock captureLock(OperationMutex());
  // Another request may have started the session since this one was admitted.
  if (sessionStarted || state.IsStarted()) {
    // A stop may have ended the session meanwhile: start nothing then.
    if (state.IsStarted() && state.TryMarkOperationStarted()) {
      const int result = StartEnrollment(requestHeaders, contentLength, content);
      if (result != 0) {
        CaptureSteps::FailEngine(status, responseBody, result, kEnrollOperation);
        return false;
      }
    }
    return true;
  }
  const int captureResult = CaptureSteps::BeginCapture(
      *engine, *listenerHolder, LarchmerePluginHelper::GetPreviewTypeFromHeader(requestHeaders));
  if (captureResult != 0) {
    CaptureSteps::FailEngine(status, responseBody, captureResult, kCaptureOperation);
    return false;
  }
  state.SetOperationStarted(true);
  listenerHolder->GetClock().SleepMs(CaptureSteps::kSettleBeforeOperationMs);
  const int result = StartEnrollment(requestHeaders, contentLength, content);
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, kEnrollOperation);
    return false;
  }
  deliverFrames = false;
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

void PostEnrollFrames::Poll(const char* requestHeaders, bool& deliverFrames, unsigned short& status,
                            std::string& responseBody) {
  const FramePollLoop loop(
      *listenerHolder,
      [this, requestHeaders](bool deliver, unsigned short&) {
        return TakeResult(requestHeaders, deliver);
      },
      [](const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>& frame) {
        return LarchmerePluginHelper::ToEnrollFramePayload(frame);
      },
      [] {
        return LarchmerePluginHelper::ToEnrollFeedbackPayload(FramePollLoop::kInvalidCameraCode,
                                                              FramePollLoop::kInvalidCameraText);
      });
  loop.Run(deliverFrames, status, responseBody);
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
