#include "plugin/uri/TryMatchFrames.h"

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/CaptureSteps.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

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
