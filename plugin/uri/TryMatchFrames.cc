#include "plugin/uri/TryMatchFrames.h"

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

bool TryMatchFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                             const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/trymatch", "POST");
}

int TryMatchFrames::GetOperationType() const { return kOperationRemote; }

const char* TryMatchFrames::GetClassName() const { return "TryMatchFrames"; }

bool TryMatchFrames::AsyncProcessRequest(const char* requestHeaders, int contentLength,
                                         const char* content, CaptureFlags& flags, Answer& answer) {
  WriteLog("TryMatch Frames | AsyncProcessRequest", kLogInfo);
  RunHybridFlow(requestHeaders, contentLength, content, flags, answer);
  return true;
}

bool TryMatchFrames::RefuseBeforeSession(const char* requestHeaders, Answer& answer) {
  if (!GetIdTokenFromHeaders(requestHeaders).empty()) {
    return false;
  }
  // Without the token the engine cannot try the match: neither the camera
  // nor a match is started, and a running session must not count this
  // request as one of its pages.
  WriteLog("TryMatch Frames | AsyncProcessRequest", kLogInfo);
  HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kInvalidIdToken,
                     common::kInvalidIdTokenDescription);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
