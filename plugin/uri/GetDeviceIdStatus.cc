#include "plugin/uri/GetDeviceIdStatus.h"

#include <json/json.h>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

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
