#include "plugin/uri/GetDeviceIdStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetDeviceIdStatus::SyncProcessRequest(const char*, int, const char*, unsigned short& status,
                                           std::string&, std::string& responseBody) {
  WriteLog("GetDeviceIdStatus - ProcessRequest", kLogInfo);
  // The answer never changes: written once.
  static const std::string kAnswer = [] {
    Json::Value document(Json::objectValue);
    document["status"] = 1;
    return Json::FastWriter().write(document);
  }();
  responseBody.append(kAnswer);
  status = 200;
  LogInfo("GetDeviceIdStatus - ProcessRequest - ContentOut", responseBody);
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
