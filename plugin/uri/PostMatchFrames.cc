#include "plugin/uri/PostMatchFrames.h"

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_Livenesstype;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

namespace {

constexpr char kRemotePrefix[] = "PostMatchFrames - AsyncProcessRequest";
constexpr char kHybridPrefix[] = "PostMatchFrames - HybridMatch";
constexpr char kIdTokenHeader[] = "x-idToken:";

std::string Prefixed(const char* prefix, const char* text) { return std::string(prefix) + text; }

}  // namespace

PostMatchFrames::PostMatchFrames(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                                 common::LMListenerHolder* listenerHolder)
    : IAsyncRequestMethod(std::move(engine), listenerHolder),
      livenessType(ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH")) {
  WriteLog("PostMatchFrames - Constructor: Initialized Liveness. Detected value: " +
               std::to_string(livenessType.load()),
           kLogDebug);
}

bool PostMatchFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/match", "POST") ||
         MatchesRequest(method, url, requestHeaders, "/frame/trymatch", "POST");
}

int PostMatchFrames::GetOperationType() const { return kOperationRemote; }

const char* PostMatchFrames::GetClassName() const { return "PostMatchFrames"; }

int PostMatchFrames::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH");
}

std::string PostMatchFrames::GetIdTokenFromHeaders(const char* requestHeaders) {
  const std::string_view headers = requestHeaders != nullptr ? requestHeaders : "";
  const std::size_t header = headers.find(kIdTokenHeader);
  if (header == std::string_view::npos) {
    return std::string();
  }
  std::size_t begin = header + std::string_view(kIdTokenHeader).size();
  while (begin < headers.size() && (headers[begin] == ' ' || headers[begin] == '\t')) {
    ++begin;
  }
  const std::size_t end = headers.find_first_of(" \t\r\n", begin);
  return std::string(headers.substr(begin, end == std::string_view::npos ? end : end - begin));
}

bool PostMatchFrames::AsyncProcessRequest(const char* requestHeaders, int contentLength,
                                          const char* content, CaptureFlags& flags,
                                          Answer& answer) {
  if (LarchmerePluginHelper::IsRemotePsiCaller(requestHeaders)) {
    RunRemoteFlow(requestHeaders, contentLength, content, flags, answer);
  } else {
    RunHybridFlow(requestHeaders, contentLength, content, flags, answer);
  }
  return true;
}

PostMatchFrames::MatchRequest PostMatchFrames::ReadRequest(const char* requestHeaders,
                                                           int contentLength, const char* content,
                                                           bool withEmail) {
  MatchRequest request;
  request.headers = requestHeaders;
  request.context =
      CaptureSteps::ReadMatchContext(requestHeaders, contentLength, content, withEmail);
  request.idToken = GetIdTokenFromHeaders(requestHeaders);
  if (!request.idToken.empty()) {
    LogDebug("x-idToken found", MaskToken(request.idToken));
  }
  request.callerKind = LarchmerePluginHelper::GetCallerType(requestHeaders);
  return request;
}

CaptureFlow PostMatchFrames::MatchFlow(const MatchRequest& request) {
  const bool streamingImage = LarchmerePluginHelper::IsStreamingImage(request.headers);
  CaptureFlow flow(engine.get(), listenerHolder, request.context.correlationId,
                   LarchmerePluginHelper::GetPreviewTypeFromHeader(request.headers));
  flow.renderFrame = [this, streamingImage](const std::shared_ptr<const SDK_Frame>& frame) {
    return LarchmerePluginHelper::ToMatchFramePayload(
        frame, static_cast<SDK_Livenesstype>(livenessType.load()), streamingImage);
  };
  return flow;
}

// --- Remote flow ---

void PostMatchFrames::RunRemoteFlow(const char* requestHeaders, int contentLength,
                                    const char* content, CaptureFlags& flags, Answer& answer) {
  WriteLog(kRemotePrefix, kLogInfo);
  const MatchRequest request =
      ReadRequest(requestHeaders, contentLength, content, /*withEmail=*/false);
  LogInfo(Prefixed(kRemotePrefix, " - Context"), request.context.content);
  CaptureFlow flow = MatchFlow(request);
  flow.restart = CaptureFlow::Restart::kPerCorrelationId;
  flow.texts = {.captureFailure = "RemoteBiometricData",
                .firstStartFailure = "RemoteMatch",
                .restartFailure = "RemoteMatch",
                .restartTryLog = Prefixed(kRemotePrefix, " - RemoteMatch On Retry Loop"),
                .restartFailureLog = Prefixed(kRemotePrefix,
                                              " - RemoteMatch Communication Error with "
                                              "QAVService; Remote Match Retry ..."),
                .contentOutLog = Prefixed(kRemotePrefix, " - ContentOut")};
  flow.afterCaptureStart = [this] { livenessType = GetLivenessSetting(); };
  flow.startOperation = [&] {
    WriteLog(Prefixed(kRemotePrefix, " - RemoteMatch"), kLogInfo);
    return engine->RemoteMatch(request.context, &listenerHolder->MatchFeedbackListener(),
                               livenessType.load());
  };
  // A restart reads the setting afresh, once for all its tries.
  flow.restartOperation = [&, liveness = std::optional<int>()]() mutable {
    if (!liveness) {
      liveness = GetLivenessSetting();
    }
    return engine->RemoteMatch(request.context, &listenerHolder->MatchFeedbackListener(),
                               *liveness);
  };
  flow.takeResult = [&](bool, unsigned short& passStatus) {
    return TakeRemoteResult(request, passStatus);
  };
  flow.Run(flags, answer);
}

std::string PostMatchFrames::TakeRemoteResult(const MatchRequest& request, unsigned short& status) {
  std::string body = CaptureSteps::TakeFrameError(*listenerHolder, status);
  if (!body.empty()) {
    return body;
  }
  common::LMMatchFeedbackListener& matchListener = listenerHolder->MatchFeedbackListener();
  if (auto matchError = matchListener.TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(matchError);
  }
  // Several pages may poll at once: only this request's own result is taken,
  // and it stays queued.
  if (auto result = matchListener.FindByCorrelationId(request.context.correlationId)) {
    body = LarchmerePluginHelper::ToMatchPayload(result, false);
    listenerHolder->State().MarkMatchResultDelivered(request.context.correlationId);
  }
  return body;
}

// --- Hybrid flow ---

void PostMatchFrames::RunHybridFlow(const char* requestHeaders, int contentLength,
                                    const char* content, CaptureFlags& flags, Answer& answer) {
  WriteLog(Prefixed(kHybridPrefix, " - AsyncProcessRequest"), kLogInfo);
  const MatchRequest request =
      ReadRequest(requestHeaders, contentLength, content, /*withEmail=*/true);
  LogInfo(Prefixed(kHybridPrefix, " - Context"), request.context.content);
  CaptureFlow flow = MatchFlow(request);
  flow.restart = CaptureFlow::Restart::kWhenNoMatchActive;
  flow.texts = {.captureFailure = Prefixed(kHybridPrefix, " - RemoteBiometricData"),
                .firstStartFailure = kHybridPrefix,
                .restartFailure = "HybridMatch",
                .restartTryLog = std::string(),
                .restartFailureLog = Prefixed(kHybridPrefix,
                                              " - Local Match Communication Error with "
                                              "QAVService; Remote Match Retry ..."),
                .contentOutLog = Prefixed(kHybridPrefix, " - ContentOut")};
  flow.afterCaptureStart = [this] {
    livenessType = GetLivenessSetting();
    WriteLog("PostMatchFrames: Preview off: recapturing Liveness setting. Obtained: " +
                 std::to_string(livenessType.load()),
             kLogDebug);
  };
  flow.startOperation = [&] { return StartLocalMatch(request); };
  flow.takeResult = [this](bool, unsigned short& passStatus) {
    return TakeHybridResult(passStatus);
  };
  flow.Run(flags, answer);
}

int PostMatchFrames::StartLocalMatch(const MatchRequest& request) {
  auto* hybridListener = &listenerHolder->HybridMatchListener();
  auto* enrollListener = &listenerHolder->EnrollFeedbackListener();
  if (!request.idToken.empty()) {
    WriteLog("PostMatchFrames - TryMatch - LocalMatch", kLogInfo);
    return engine->TryLocalMatch(hybridListener, enrollListener, livenessType.load(),
                                 request.context, request.callerKind, request.idToken);
  }
  WriteLog(Prefixed(kHybridPrefix, " - LocalMatch"), kLogInfo);
  return engine->LocalMatch(hybridListener, enrollListener, livenessType.load(), request.context,
                            request.callerKind);
}

std::string PostMatchFrames::TakeHybridResult(unsigned short& status) {
  std::string body = CaptureSteps::TakeLocalMatchProgress(*listenerHolder, status);
  if (!body.empty()) {
    return body;
  }
  if (auto result = listenerHolder->HybridMatchListener().PeekOldest()) {
    body = LarchmerePluginHelper::ToMatchPayload(result, result->matchStatus);
    EndSessionAfterResult(result);
  }
  return body;
}

void PostMatchFrames::EndSessionAfterResult(
    const std::shared_ptr<SDK_RemoteMatchFeedback>& result) {
  const common::CaptureLock captureLock(listenerHolder->State());
  if (listenerHolder->HybridMatchListener().PeekOldest() != result) {
    return;
  }
  // The result ends the session: without this stop the camera would run on
  // with nobody able to stop it, as a frame stop would find no session.
  const int stopResult = engine->StopRemoteBiometricData();
  if (stopResult != 0) {
    LogError(Prefixed(kHybridPrefix, " - StopRemoteBiometricData"), std::to_string(stopResult));
  }
  listenerHolder->ResetCaptureSession(common::StoredFramesPolicy::kClear);
}

}  // namespace corvane::larchmere::plugin::uri
