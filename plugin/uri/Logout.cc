#include "plugin/uri/Logout.h"

#include <json/json.h>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::WriteCompact;

bool Logout::SyncProcessRequest(const char*, int contentLength, const char* content,
                                Answer& answer) {
  WriteLog("Logout | ProcessRequest", kLogInfo);
  WriteLog("Logout | JSON: [" + LarchmerePluginHelper::ReadBody(contentLength, content) + "]",
           kLogInfo);
  answer.status = 400;
  HandlerSteps::RunGuarded(common::kErrorSourceEngineService, answer, [&] {
    Json::Value reply(Json::objectValue);
    reply["success"] = "true";
    answer.body.append(WriteCompact(reply));
    answer.status = 200;
  });
  LogInfo("Logout | ProcessRequest - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
