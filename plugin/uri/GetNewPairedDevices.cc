#include "plugin/uri/GetNewPairedDevices.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;
using common::WriteCompact;

bool GetNewPairedDevices::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                  int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/ca/getnewpaireddevices", "POST");
}

int GetNewPairedDevices::GetOperationType() const { return kOperationLocal; }

const char* GetNewPairedDevices::GetClassName() const { return "GetNewPairedDevices"; }

bool GetNewPairedDevices::SyncProcessRequest(const char*, int contentLength, const char* content,
                                             Answer& answer) {
  WriteLog("GetNewPairedDevices - ProcessRequest", kLogInfo);
  answer.status = 400;
  try {
    Json::Value root;
    if (!ParseStrictJson(LarchmerePluginHelper::ReadBody(contentLength, content), root)) {
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
      WriteLog("GetNewPairedDevices | ProcessRequest FAILED parsing JSON.  Returns true", kLogInfo);
      return true;
    }
    answer.status = 500;
    // A body that is an array has no members: reading one throws, and the
    // request fails with 500 below.
    const std::string devices = WriteCompact(root.get("devices", ""));
    std::string engineAnswer;
    const int engineResult = engine ? engine->GetNewPairedDevices(engineAnswer, devices) : -1;
    Json::Value reply(Json::objectValue);
    Json::Value pairedDevices;
    if (engineResult == 0 && ParseStrictJson(engineAnswer, pairedDevices)) {
      reply["devices"] = pairedDevices;
      answer.body.append(WriteCompact(reply));
      answer.status = 200;
    } else {
      reply["devices"] = Json::Value(Json::arrayValue);
      answer.body.append(WriteCompact(reply));
    }
    LogInfo("GetNewPairedDevices | ProcessRequest - ContentOut", answer.body);
  } catch (const std::exception& exception) {
    LogInfo("Exception: ", exception.what());
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
