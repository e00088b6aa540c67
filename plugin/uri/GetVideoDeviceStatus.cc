#include "plugin/uri/GetVideoDeviceStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetVideoDeviceStatus::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                   int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/camera/status", "GET");
}

int GetVideoDeviceStatus::GetOperationType() const { return kOperationStateless; }

const char* GetVideoDeviceStatus::GetClassName() const { return "GetVideoDeviceStatus"; }

bool GetVideoDeviceStatus::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetVideoDeviceStatus - ProcessRequest", kLogInfo);
  int deviceStatus = 0;
  if (!engine || engine->QueryVideoDeviceStatus(deviceStatus) != 0) {
    deviceStatus = 0;
  }
  Json::Value document(Json::objectValue);
  document["deviceStatus"] = deviceStatus;
  answer.body.append(Json::FastWriter().write(document));
  answer.status = 200;
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
