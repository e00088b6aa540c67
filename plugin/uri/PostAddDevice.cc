#include "plugin/uri/PostAddDevice.h"

#include <cstdint>
#include <mutex>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/FramePollLoop.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_Livenesstype;

namespace {

// The add-device capture never obfuscates its preview.
constexpr int kAddDevicePreviewType = common::kPreviewNormal;

}  // namespace

bool PostAddDevice::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/adddevice", "POST");
}

int PostAddDevice::GetOperationType() const { return kOperationRemote; }

const char* PostAddDevice::GetClassName() const { return "PostAddDevice"; }

int PostAddDevice::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH");
}

bool PostAddDevice::AsyncProcessRequest(const char* requestHeaders, int contentLength,
                                        const char* content, bool& timedOut, bool& sessionStarted,
                                        bool& deliverFrames, unsigned short& status, std::string&,
                                        std::string& responseBody) {
  WriteLog("PostAddDevice - AsyncProcessRequest", kLogInfo);
  AddDeviceRequest request{requestHeaders, contentLength, content, {}};
  request.context.content = LarchmerePluginHelper::ReadBody(contentLength, content);
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  if (LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    request.context.correlationId = correlationId;
  }
  request.context.email = LarchmerePluginHelper::GetEmailFromMatchRequest(contentLength, content);
  LogInfo("PostAddDevice - Context", request.context.content);

  if (!engine || listenerHolder == nullptr) {
    status = 500;
  } else if (timedOut) {
    CaptureSteps::Fail(status, responseBody, common::kErrorSourcePlugin, common::kFramesTimeOut,
                       common::kFramesTimeOutDescription);
  } else if (Start(request, sessionStarted, deliverFrames, status, responseBody)) {
    status = 200;
    Poll(request, deliverFrames, status, responseBody);
  }
  CaptureSteps::Finish(status, responseBody);
  LogInfo("PostAddDevice - ContentOut", responseBody);
  return true;
}

bool PostAddDevice::Start(const AddDeviceRequest& request, bool sessionStarted, bool& deliverFrames,
                          unsigned short& status, std::string& responseBody) {
  common::FrameSessionState& state = listenerHolder->State();
  std::scoped_lock captureLock(OperationMutex());
  // Another request may have started the session since this one was admitted,
  // or a stop may have ended it: a later call restarts only a running one.
  if (sessionStarted || state.IsStarted()) {
    return !state.IsStarted() || Restart(request, status, responseBody);
  }
  const int captureResult =
      CaptureSteps::BeginCapture(*engine, *listenerHolder, kAddDevicePreviewType);
  if (captureResult != 0) {
    CaptureSteps::FailEngine(status, responseBody, captureResult,
                             "PostAddDevice - RemoteBiometricData");
    return false;
  }
  state.ClearStoredProcessedFrames();
  state.RecordFirstMatchStart(request.context.correlationId);
  listenerHolder->GetClock().SleepMs(CaptureSteps::kSettleBeforeOperationMs);
  WriteLog("PostAddDevice - LocalMatch", kLogInfo);
  const int result = StartMatch(request);
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, "PostAddDevice -");
    return false;
  }
  deliverFrames = false;
  return true;
}

bool PostAddDevice::Restart(const AddDeviceRequest& request, unsigned short& status,
                            std::string& responseBody) {
  if (!listenerHolder->State().TryBeginFirstMatchAttempt(request.context.correlationId)) {
    return true;
  }
  const int result = CaptureSteps::StartWithRetries(
      [&] { return StartMatch(request); }, "PostAddDevice - Local Match On Retry Loop",
      "PostAddDevice - Local Match Communication Error with QAVService; Remote Match Retry ...",
      listenerHolder->GetClock());
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, "PostAddDevice");
    return false;
  }
  return true;
}

int PostAddDevice::StartMatch(const AddDeviceRequest& request) {
  const int liveness =
      LarchmerePluginHelper::GetLivenessFromHeader(request.headers, Corvane::QAV::SDK::BLINK);
  const std::string transactionId = LarchmerePluginHelper::GetOauthTransactionIdFromRequest(
      request.contentLength, request.content);
  return engine->AddDeviceMatch(&listenerHolder->HybridMatchListener(),
                                &listenerHolder->EnrollFeedbackListener(), liveness,
                                request.context, transactionId);
}

std::string PostAddDevice::TakeResult(const AddDeviceRequest& request, unsigned short& status) {
  if (auto frameError = listenerHolder->FrameListener().TakeNewestError()) {
    status = 500;
    return LarchmerePluginHelper::ToErrorPayload(frameError);
  }
  common::LMEnrollFeedbackListener& enrollListener = listenerHolder->EnrollFeedbackListener();
  if (auto enrollError = enrollListener.TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(enrollError);
  }
  if (auto feedback = enrollListener.TakeNewest()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(feedback->code, feedback->description);
  }
  common::LMHybridMatchListener& hybridListener = listenerHolder->HybridMatchListener();
  if (auto hybridError = hybridListener.TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(hybridError);
  }
  common::FrameSessionState& state = listenerHolder->State();
  const std::string& correlationId = request.context.correlationId;
  // The result stays queued for the other pages of the session; this page
  // has had it once and now sees frames again.
  if (state.MatchAttemptOf(correlationId).IsResultDelivered()) {
    return std::string();
  }
  if (auto result = hybridListener.PeekOldest()) {
    std::string body = LarchmerePluginHelper::ToMatchPayload(result, false);
    state.MarkMatchResultDelivered(correlationId);
    return body;
  }
  return std::string();
}

void PostAddDevice::Poll(const AddDeviceRequest& request, bool& deliverFrames,
                         unsigned short& status, std::string& responseBody) {
  const FramePollLoop loop(
      *listenerHolder,
      [this, &request](bool, unsigned short& passStatus) {
        return TakeResult(request, passStatus);
      },
      [this](const std::shared_ptr<const SDK_Frame>& frame) {
        return LarchmerePluginHelper::ToMatchFramePayload(
            frame, static_cast<SDK_Livenesstype>(GetLivenessSetting()), true);
      },
      [] {
        return LarchmerePluginHelper::ToMatchFeedbackPayload(FramePollLoop::kInvalidCameraCode,
                                                             FramePollLoop::kInvalidCameraText);
      });
  loop.Run(deliverFrames, status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
