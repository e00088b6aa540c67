#include "plugin/uri/PostMatchFrames.h"

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

bool PostMatchFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/match", "POST") ||
         MatchesRequest(method, url, requestHeaders, "/frame/trymatch", "POST");
}

int PostMatchFrames::GetOperationType() const { return kOperationRemote; }

const char* PostMatchFrames::GetClassName() const { return "PostMatchFrames"; }

bool PostMatchFrames::AsyncProcessRequest(const char*, int, const char*, bool&, bool&, bool&,
                                          unsigned short& status, std::string&,
                                          std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

int PostMatchFrames::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH");
}

}  // namespace corvane::larchmere::plugin::uri
