#include "plugin/uri/Logout.h"

#include <json/json.h>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::WriteCompact;

bool Logout::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                     const char*) {
  return MatchesRequest(method, url, requestHeaders, "/ca/logout", "POST");
}

int Logout::GetOperationType() const { return kOperationLocal; }

const char* Logout::GetClassName() const { return "Logout"; }

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
