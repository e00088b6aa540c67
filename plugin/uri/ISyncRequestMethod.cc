#include "plugin/uri/ISyncRequestMethod.h"

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool ISyncRequestMethod::ProcessRequest(const char* requestHeaders, int contentLength,
                                        const char* content, Answer& answer) {
  WriteCorsHeaders(requestHeaders, answer);
  HandleTimeOut();
  return SyncProcessRequest(requestHeaders, contentLength, content, answer);
}

void ISyncRequestMethod::HandleTimeOut() {
  WriteLog("ISyncRequestMethod - HandleTimeOut", kLogInfo);
  if (listenerHolder != nullptr) {
    listenerHolder->RestartStopwatchesIfSessionStarted();
  }
}

}  // namespace corvane::larchmere::plugin::uri
