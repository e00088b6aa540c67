#include "plugin/uri/PostAddDevice.h"

#include <memory>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureFlow.h"
#include "plugin/uri/CaptureSteps.h"

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
                                        const char* content, CaptureFlags& flags, Answer& answer) {
  WriteLog("PostAddDevice - AsyncProcessRequest", kLogInfo);
  const Corvane::QAV::SDK::MatchContext context =
      CaptureSteps::ReadMatchContext(requestHeaders, contentLength, content, /*withEmail=*/true);
  LogInfo("PostAddDevice - Context", context.content);
  const auto startMatch = [&] {
    return StartMatch(requestHeaders, contentLength, content, context);
  };
  CaptureFlow flow(engine.get(), listenerHolder, context.correlationId, kAddDevicePreviewType);
  flow.texts = {.captureFailure = "PostAddDevice - RemoteBiometricData",
                .firstStartFailure = "PostAddDevice -",
                .restartFailure = "PostAddDevice",
                .restartTryLog = "PostAddDevice - Local Match On Retry Loop",
                .restartFailureLog =
                    "PostAddDevice - Local Match Communication Error with "
                    "QAVService; Remote Match Retry ...",
                .contentOutLog = "PostAddDevice - ContentOut"};
  flow.startOperation = [&] {
    WriteLog("PostAddDevice - LocalMatch", kLogInfo);
    return startMatch();
  };
  flow.restartOperation = startMatch;
  flow.takeResult = [&](bool, unsigned short& passStatus) {
    return TakeResult(context, passStatus);
  };
  flow.renderFrame = [this](const std::shared_ptr<const SDK_Frame>& frame) {
    return LarchmerePluginHelper::ToMatchFramePayload(
        frame, static_cast<SDK_Livenesstype>(GetLivenessSetting()), true);
  };
  flow.Run(flags, answer);
  return true;
}

int PostAddDevice::StartMatch(const char* requestHeaders, int contentLength, const char* content,
                              const Corvane::QAV::SDK::MatchContext& context) {
  const int liveness =
      LarchmerePluginHelper::GetLivenessFromHeader(requestHeaders, Corvane::QAV::SDK::BLINK);
  const std::string transactionId =
      LarchmerePluginHelper::GetOauthTransactionIdFromRequest(contentLength, content);
  return engine->AddDeviceMatch(&listenerHolder->HybridMatchListener(),
                                &listenerHolder->EnrollFeedbackListener(), liveness, context,
                                transactionId);
}

std::string PostAddDevice::TakeResult(const Corvane::QAV::SDK::MatchContext& context,
                                      unsigned short& status) {
  std::string body = CaptureSteps::TakeLocalMatchProgress(*listenerHolder, status);
  common::FrameSessionState& state = listenerHolder->State();
  // The result stays queued for the other pages of the session; this page
  // has had it once and now sees frames again.
  if (!body.empty() || state.MatchAttemptOf(context.correlationId).IsResultDelivered()) {
    return body;
  }
  if (auto result = listenerHolder->HybridMatchListener().PeekOldest()) {
    body = LarchmerePluginHelper::ToMatchPayload(result, false);
    state.MarkMatchResultDelivered(context.correlationId);
  }
  return body;
}

}  // namespace corvane::larchmere::plugin::uri
