#include "plugin/uri/PostFrameStop.h"

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

bool PostFrameStop::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/stop", "POST");
}

int PostFrameStop::GetOperationType() const { return kOperationLocal; }

const char* PostFrameStop::GetClassName() const { return "PostFrameStop"; }

bool PostFrameStop::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                       std::string&, std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
