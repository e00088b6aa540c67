#include "plugin/uri/ISyncRequestMethod.h"

#include <optional>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

bool ISyncRequestMethod::ProcessRequest(const char* requestHeaders, int contentLength,
                                        const char* content, Answer& answer) {
  const std::optional<std::string> domainSuffix =
      listenerHolder != nullptr ? listenerHolder->GetDomainSufix() : std::nullopt;
  LarchmerePluginHelper::BuildHeader(requestHeaders, domainSuffix, answer.headers);
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
