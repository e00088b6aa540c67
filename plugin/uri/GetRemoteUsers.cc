#include "plugin/uri/GetRemoteUsers.h"

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

bool GetRemoteUsers::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                             const char*) {
  return MatchesRequest(method, url, requestHeaders, "/users/remote", "GET");
}

int GetRemoteUsers::GetOperationType() const { return kOperationStateless; }

const char* GetRemoteUsers::GetClassName() const { return "GetRemoteUsers"; }

bool GetRemoteUsers::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                        std::string&, std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
