#include "plugin/uri/GetVSUAccount.h"

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

GetVSUAccount::GetVSUAccount(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                             common::LMListenerHolder* listenerHolder,
                             Corvane::Keystead::Vessa::KSInstHelper* installHelper)
    : ISyncRequestMethod(std::move(engine), listenerHolder), installHelper(installHelper) {}

bool GetVSUAccount::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/vsu/account", "GET");
}

int GetVSUAccount::GetOperationType() const { return kOperationStateless; }

const char* GetVSUAccount::GetClassName() const { return "GetVSUAccount"; }

bool GetVSUAccount::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                       std::string&, std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

}  // namespace corvane::larchmere::plugin::uri
