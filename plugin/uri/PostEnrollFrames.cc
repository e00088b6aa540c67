#include "plugin/uri/PostEnrollFrames.h"

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

bool PostEnrollFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                               const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/enrollment", "POST");
}

int PostEnrollFrames::GetOperationType() const { return kOperationLocal; }

const char* PostEnrollFrames::GetClassName() const { return "PostEnrollFrames"; }

bool PostEnrollFrames::AsyncProcessRequest(const char*, int, const char*, bool&, bool&, bool&,
                                           unsigned short& status, std::string&,
                                           std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

int PostEnrollFrames::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_BLINK_DETECTION_ENROLLMENT");
}

}  // namespace corvane::larchmere::plugin::uri
