#include "plugin/uri/Logout.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::WriteCompact;

bool Logout::SyncProcessRequest(const char*, int contentLength, const char* content,
                                unsigned short& status, std::string&, std::string& responseBody) {
  WriteLog("Logout | ProcessRequest", kLogInfo);
  WriteLog("Logout | JSON: [" + LarchmerePluginHelper::ReadBody(contentLength, content) + "]",
           kLogInfo);
  status = 400;
  try {
    Json::Value reply(Json::objectValue);
    reply["success"] = "true";
    responseBody.append(WriteCompact(reply));
    status = 200;
  } catch (const std::exception& exception) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
  }
  if (status != 200) status = 500;
  LogInfo("Logout | ProcessRequest - ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
