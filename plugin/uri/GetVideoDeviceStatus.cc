#include "plugin/uri/GetVideoDeviceStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetVideoDeviceStatus::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                              std::string&, std::string& responseBody) {
  WriteLog("GetVideoDeviceStatus - ProcessRequest", kLogInfo);
  int deviceStatus = 0;
  if (!engine || engine->QueryVideoDeviceStatus(deviceStatus) != 0) {
    deviceStatus = 0;
  }
  Json::Value document(Json::objectValue);
  document["deviceStatus"] = deviceStatus;
  responseBody.append(Json::FastWriter().write(document));
  status = 200;
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
