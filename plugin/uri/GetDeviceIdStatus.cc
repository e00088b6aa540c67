#include "plugin/uri/GetDeviceIdStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetDeviceIdStatus::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/status/deviceid", "GET");
}

int GetDeviceIdStatus::GetOperationType() const { return kOperationStateless; }

const char* GetDeviceIdStatus::GetClassName() const { return "GetDeviceIdStatus"; }

bool GetDeviceIdStatus::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetDeviceIdStatus - ProcessRequest", kLogInfo);
  // The answer never changes: written once.
  static const std::string kAnswer = [] {
    Json::Value document(Json::objectValue);
    document["status"] = 1;
    return Json::FastWriter().write(document);
  }();
  answer.body.append(kAnswer);
  answer.status = 200;
  LogInfo("GetDeviceIdStatus - ProcessRequest - ContentOut", answer.body);
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
