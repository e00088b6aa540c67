#include "plugin/uri/CaptureSteps.h"

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

int CaptureSteps::BeginCapture(Corvane::QAV::SDK::FaceLogin& engine,
                               common::LMListenerHolder& holder, int previewType) {
  holder.State().BeginSession(holder.GetClock().WallClockWholeSecondsMs());
  return engine.StartRemoteBiometricData(&holder.FrameListener(), previewType);
}

int CaptureSteps::StartWithRetries(const std::function<int()>& start,
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

void CaptureSteps::Fail(unsigned short& status, std::string& responseBody, int source, int code,
                        const std::string& description) {
  responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(source, code, description));
  status = 500;
}

void CaptureSteps::FailEngine(unsigned short& status, std::string& responseBody, int result,
                              const std::string& operation) {
  Fail(status, responseBody, common::kErrorSourceEngineService, result,
       operation + common::kQAVServiceErrorSuffix);
}

void CaptureSteps::Finish(unsigned short& status, std::string& responseBody) {
  if (status == 200) {
    return;
  }
  status = 500;
  if (responseBody.empty()) {
    responseBody = LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kPluginGenericError,
        common::kPluginGenericErrorDescription);
  }
}

}  // namespace corvane::larchmere::plugin::uri
