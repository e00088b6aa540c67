#include "plugin/uri/GetVideoDeviceStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

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
