#include "plugin/uri/PostMatchFrames.h"

#include <mutex>
#include <string_view>
#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/FramePollLoop.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_Livenesstype;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

namespace {

constexpr char kRemotePrefix[] = "PostMatchFrames - AsyncProcessRequest";
constexpr char kHybridPrefix[] = "PostMatchFrames - HybridMatch";
constexpr char kIdTokenHeader[] = "x-idToken:";
// Restarts of a remote match for one correlation id after the first start.
constexpr std::int32_t kMaxRemoteRestartCount = 3;

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
                                          const char* content, bool& timedOut, bool& sessionStarted,
                                          bool& deliverFrames, unsigned short& status, std::string&,
                                          std::string& responseBody) {
  if (LarchmerePluginHelper::IsRemotePsiCaller(requestHeaders)) {
    RunRemoteFlow(requestHeaders, contentLength, content, timedOut, sessionStarted, deliverFrames,
                  status, responseBody);
  } else {
    RunHybridFlow(requestHeaders, contentLength, content, timedOut, sessionStarted, deliverFrames,
                  status, responseBody);
  }
  return true;
}

PostMatchFrames::MatchRequest PostMatchFrames::ReadRequest(const char* requestHeaders,
                                                           int contentLength, const char* content,
                                                           bool withEmail) {
  MatchRequest request;
  request.headers = requestHeaders;
  request.context.content = LarchmerePluginHelper::ReadBody(contentLength, content);
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  if (LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    request.context.correlationId = correlationId;
  }
  if (withEmail) {
    request.context.email = LarchmerePluginHelper::GetEmailFromMatchRequest(contentLength, content);
  }
  request.idToken = GetIdTokenFromHeaders(requestHeaders);
  if (!request.idToken.empty()) {
    LogDebug("x-idToken found", MaskToken(request.idToken));
  }
  request.callerKind = LarchmerePluginHelper::GetCallerType(requestHeaders);
  return request;
}

// --- Remote flow ---

void PostMatchFrames::RunRemoteFlow(const char* requestHeaders, int contentLength,
                                    const char* content, bool timedOut, bool sessionStarted,
                                    bool& deliverFrames, unsigned short& status,
                                    std::string& responseBody) {
  WriteLog(kRemotePrefix, kLogInfo);
  const MatchRequest request =
      ReadRequest(requestHeaders, contentLength, content, /*withEmail=*/false);
  LogInfo(Prefixed(kRemotePrefix, " - Context"), request.context.content);
  if (!engine || listenerHolder == nullptr) {
    status = 500;
  } else if (timedOut) {
    CaptureSteps::Fail(status, responseBody, common::kErrorSourcePlugin, common::kFramesTimeOut,
                       common::kFramesTimeOutDescription);
  } else if (StartRemote(request, sessionStarted, deliverFrames, status, responseBody)) {
    status = 200;
    Poll(request, /*hybrid=*/false, deliverFrames, status, responseBody);
  }
  CaptureSteps::Finish(status, responseBody);
  LogInfo(Prefixed(kRemotePrefix, " - ContentOut"), responseBody);
}

bool PostMatchFrames::StartRemote(const MatchRequest& request, bool sessionStarted,
                                  bool& deliverFrames, unsigned short& status,
                                  std::string& responseBody) {
  common::FrameSessionState& state = listenerHolder->State();
  std::scoped_lock captureLock(OperationMutex());
  // Another request may have started the session since this one was admitted,
  // or a stop may have ended it: a later call restarts only a running one.
  if (sessionStarted || state.IsStarted()) {
    return !state.IsStarted() || RestartRemote(request, status, responseBody);
  }
  const int captureResult = CaptureSteps::BeginCapture(
      *engine, *listenerHolder, LarchmerePluginHelper::GetPreviewTypeFromHeader(request.headers));
  livenessType = GetLivenessSetting();
  if (captureResult != 0) {
    CaptureSteps::FailEngine(status, responseBody, captureResult, "RemoteBiometricData");
    return false;
  }
  state.ClearStoredProcessedFrames();
  state.RecordFirstMatchStart(request.context.correlationId);
  listenerHolder->GetClock().SleepMs(CaptureSteps::kSettleBeforeOperationMs);
  WriteLog(Prefixed(kRemotePrefix, " - RemoteMatch"), kLogInfo);
  const int result = engine->RemoteMatch(request.context, &listenerHolder->MatchFeedbackListener(),
                                         livenessType.load());
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, "RemoteMatch");
    return false;
  }
  deliverFrames = false;
  return true;
}

bool PostMatchFrames::RestartRemote(const MatchRequest& request, unsigned short& status,
                                    std::string& responseBody) {
  if (!listenerHolder->State().TryRecordMatchRestart(request.context.correlationId,
                                                     kMaxRemoteRestartCount)) {
    return true;
  }
  const int liveness = GetLivenessSetting();
  const int result = CaptureSteps::StartWithRetries(
      [&] {
        return engine->RemoteMatch(request.context, &listenerHolder->MatchFeedbackListener(),
                                   liveness);
      },
      Prefixed(kRemotePrefix, " - RemoteMatch On Retry Loop"),
      Prefixed(kRemotePrefix,
               " - RemoteMatch Communication Error with QAVService; Remote Match Retry ..."),
      listenerHolder->GetClock());
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, "RemoteMatch");
    return false;
  }
  return true;
}

std::string PostMatchFrames::TakeRemoteResult(const MatchRequest& request, unsigned short& status) {
  if (auto frameError = listenerHolder->FrameListener().TakeNewestError()) {
    status = 500;
    return LarchmerePluginHelper::ToErrorPayload(frameError);
  }
  common::LMMatchFeedbackListener& matchListener = listenerHolder->MatchFeedbackListener();
  if (auto matchError = matchListener.TakeNewestError()) {
    return LarchmerePluginHelper::ToMatchFeedbackPayload(matchError);
  }
  // Several pages may poll at once: only this request's own result is taken,
  // and it stays queued.
  if (auto result = matchListener.FindByCorrelationId(request.context.correlationId)) {
    std::string body = LarchmerePluginHelper::ToMatchPayload(result, false);
    listenerHolder->State().MarkMatchResultDelivered(request.context.correlationId);
    return body;
  }
  return std::string();
}

// --- Hybrid flow ---

void PostMatchFrames::RunHybridFlow(const char* requestHeaders, int contentLength,
                                    const char* content, bool timedOut, bool sessionStarted,
                                    bool& deliverFrames, unsigned short& status,
                                    std::string& responseBody) {
  WriteLog(Prefixed(kHybridPrefix, " - AsyncProcessRequest"), kLogInfo);
  const MatchRequest request =
      ReadRequest(requestHeaders, contentLength, content, /*withEmail=*/true);
  LogInfo(Prefixed(kHybridPrefix, " - Context"), request.context.content);
  if (!engine || listenerHolder == nullptr) {
    status = 500;
  } else if (timedOut) {
    CaptureSteps::Fail(status, responseBody, common::kErrorSourcePlugin, common::kFramesTimeOut,
                       common::kFramesTimeOutDescription);
  } else if (StartHybrid(request, sessionStarted, deliverFrames, status, responseBody)) {
    status = 200;
    Poll(request, /*hybrid=*/true, deliverFrames, status, responseBody);
  }
  CaptureSteps::Finish(status, responseBody);
  LogInfo(Prefixed(kHybridPrefix, " - ContentOut"), responseBody);
}

bool PostMatchFrames::StartHybrid(const MatchRequest& request, bool sessionStarted,
                                  bool& deliverFrames, unsigned short& status,
                                  std::string& responseBody) {
  common::FrameSessionState& state = listenerHolder->State();
  std::scoped_lock captureLock(OperationMutex());
  if (sessionStarted || state.IsStarted()) {
    return !state.IsStarted() || RestartHybrid(request, status, responseBody);
  }
  const int captureResult = CaptureSteps::BeginCapture(
      *engine, *listenerHolder, LarchmerePluginHelper::GetPreviewTypeFromHeader(request.headers));
  livenessType = GetLivenessSetting();
  WriteLog("PostMatchFrames: Preview off: recapturing Liveness setting. Obtained: " +
               std::to_string(livenessType.load()),
           kLogDebug);
  if (captureResult != 0) {
    CaptureSteps::FailEngine(status, responseBody, captureResult,
                             Prefixed(kHybridPrefix, " - RemoteBiometricData"));
    return false;
  }
  state.ClearStoredProcessedFrames();
  state.RecordFirstMatchStart(request.context.correlationId);
  listenerHolder->GetClock().SleepMs(CaptureSteps::kSettleBeforeOperationMs);
  const int result = StartLocalMatch(request);
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, kHybridPrefix);
    return false;
  }
  deliverFrames = false;
  return true;
}

bool PostMatchFrames::RestartHybrid(const MatchRequest& request, unsigned short& status,
                                    std::string& responseBody) {
  if (!listenerHolder->State().TryBeginFirstMatchAttempt(request.context.correlationId)) {
    return true;
  }
  const int result = CaptureSteps::StartWithRetries(
      [&] { return StartLocalMatch(request); }, std::string(),
      Prefixed(kHybridPrefix,
               " - Local Match Communication Error with QAVService; Remote Match Retry ..."),
      listenerHolder->GetClock());
  if (result != 0) {
    CaptureSteps::FailEngine(status, responseBody, result, "HybridMatch");
    return false;
  }
  return true;
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
  if (auto result = hybridListener.PeekOldest()) {
    std::string body = LarchmerePluginHelper::ToMatchPayload(result, result->matchStatus);
    EndSessionAfterResult(result);
    return body;
  }
  return std::string();
}

void PostMatchFrames::EndSessionAfterResult(
    const std::shared_ptr<SDK_RemoteMatchFeedback>& result) {
  std::scoped_lock captureLock(OperationMutex());
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

void PostMatchFrames::Poll(const MatchRequest& request, bool hybrid, bool& deliverFrames,
                           unsigned short& status, std::string& responseBody) {
  const bool streamingImage = LarchmerePluginHelper::IsStreamingImage(request.headers);
  const FramePollLoop loop(
      *listenerHolder,
      [this, &request, hybrid](bool, unsigned short& passStatus) {
        return hybrid ? TakeHybridResult(passStatus) : TakeRemoteResult(request, passStatus);
      },
      [this, streamingImage](const std::shared_ptr<const SDK_Frame>& frame) {
        return LarchmerePluginHelper::ToMatchFramePayload(
            frame, static_cast<SDK_Livenesstype>(livenessType.load()), streamingImage);
      },
      [] {
        return LarchmerePluginHelper::ToMatchFeedbackPayload(FramePollLoop::kInvalidCameraCode,
                                                             FramePollLoop::kInvalidCameraText);
      });
  loop.Run(deliverFrames, status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
