#include "plugin/uri/PostRevoke.h"

#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::uri {

namespace {

// Until this endpoint is built it answers the generic error.
bool AnswerGenericError(unsigned short& status, std::string& responseBody) {
  status = 500;
  responseBody.append(common::LarchmerePluginHelper::CreateJsonErrorResponse(
      common::kErrorSourcePlugin, common::kPluginGenericError,
      common::kPluginGenericErrorDescription));
  return false;
}

}  // namespace

PostRevoke::PostRevoke(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                       common::LMListenerHolder* listenerHolder, void* hostContext,
                       HostCallbacks callbacks)
    : ISyncRequestMethod(std::move(engine), listenerHolder),
      hostContext(hostContext),
      callbacks(callbacks) {}

bool PostRevoke::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                         const char*) {
  return MatchesRequest(method, url, requestHeaders, "/revoke", "POST");
}

int PostRevoke::GetOperationType() const { return kOperationStateless; }

const char* PostRevoke::GetClassName() const { return "PostRevoke"; }

bool PostRevoke::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                    std::string&, std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
