#include "plugin/uri/PostAddDevice.h"

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

bool PostAddDevice::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/adddevice", "POST");
}

int PostAddDevice::GetOperationType() const { return kOperationRemote; }

const char* PostAddDevice::GetClassName() const { return "PostAddDevice"; }

bool PostAddDevice::AsyncProcessRequest(const char*, int, const char*, bool&, bool&, bool&,
                                        unsigned short& status, std::string&,
                                        std::string& responseBody) {
  return AnswerGenericError(status, responseBody);
}

int PostAddDevice::GetLivenessSetting() {
  return ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH");
}

}  // namespace corvane::larchmere::plugin::uri
