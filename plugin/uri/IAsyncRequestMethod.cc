#include "plugin/uri/IAsyncRequestMethod.h"

#include <charconv>
#include <cstddef>
#include <cstdint>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

bool IAsyncRequestMethod::ProcessRequest(const char* requestHeaders, int contentLength,
                                         const char* content, Answer& answer) {
  WriteCorsHeaders(requestHeaders, answer);
  CaptureFlags flags;
  // The refusal is told by the result rather than by the status, so a host
  // that starts with status 500 still reaches the handler.
  if (!HandleReentrantClient(requestHeaders, flags, answer)) {
    return true;
  }
  return AsyncProcessRequest(requestHeaders, contentLength, content, flags, answer);
}

bool IAsyncRequestMethod::HandleReentrantClient(const char* requestHeaders, CaptureFlags& flags,
                                                Answer& answer) {
  WriteLog("IAsyncRequestMethod - HandleReentrantClient", kLogInfo);
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  LogInfo("IAsyncRequestMethod - HandleReentrantClient - Q-Correlation-Id", correlationId);
  if (!LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    answer.status = 500;
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidQCorrelationId,
        common::kInvalidQCorrelationIdDescription));
    return false;
  }
  if (RefuseBeforeSession(requestHeaders, answer)) {
    return false;
  }
  if (listenerHolder == nullptr) {
    return true;
  }
  const bool recoveredCamera = ValidateInvalidCamera();

  // Under the capture lock, so that no capture start of another request slips
  // between reading the flags and emptying the previous session's leftovers.
  common::FrameSessionState& state = listenerHolder->State();
  common::CaptureLock captureLock(state);
  const common::SessionFlags session = state.ReadSessionFlags();
  flags.timedOut = session.timeOutInProgress;
  if (!flags.timedOut) {
    flags.sessionStarted = session.started;
  }
  if (!flags.timedOut && !flags.sessionStarted && !recoveredCamera) {
    state.ClearMatchAttempts();
    state.ClearCorrelationIds();
    listenerHolder->EmptyListenersQueues();
  }
  if (!flags.timedOut) {
    listenerHolder->AdmitCorrelationId(correlationId);
  }
  return true;
}

bool IAsyncRequestMethod::ValidateInvalidCamera() {
  if (listenerHolder == nullptr || !listenerHolder->IsInvalidCamera()) {
    return false;
  }
  LogInfo("IAsyncRequestMethod - ValidateInvalidCamera: ", "Camera State Is Invalid!");
  int stopResult = -1;
  std::uint64_t sessionsBegunAtStop = 0;
  if (engine) {
    common::CaptureLock captureLock(SessionState());
    stopResult = engine->StopRemoteBiometricData();
    sessionsBegunAtStop = listenerHolder->State().SessionsBegun();
  }
  if (stopResult != 0) {
    return true;
  }
  listenerHolder->GetClock().SleepMs(kInvalidCameraSettleMs);
  {
    common::CaptureLock captureLock(SessionState());
    // Another request may have recovered the camera and begun a session
    // during the pause; that session's capture was started after our stop.
    if (listenerHolder->IsInvalidCamera() &&
        listenerHolder->State().SessionsBegun() == sessionsBegunAtStop) {
      listenerHolder->ResetCaptureSession(common::StoredFramesPolicy::kKeep);
      listenerHolder->UnsetInvalidCamera();
    }
  }
  return true;
}

bool IAsyncRequestMethod::RefuseBeforeSession(const char*, Answer&) { return false; }

int IAsyncRequestMethod::ReadIntegerSetting(const char* name) {
  if (!engine || name == nullptr) {
    return 0;
  }
  Corvane::QAV::SDK::LocalSetting setting;
  if (engine->GetEngineSetting(setting, name) != 0) {
    return 0;
  }
  const std::string& text = setting.value;
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) {
    return 0;
  }
  if (text[begin] == '+') {
    ++begin;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data() + begin, text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? value : 0;
}

}  // namespace corvane::larchmere::plugin::uri
