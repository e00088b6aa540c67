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

bool GetNewPairedDevices::SyncProcessRequest(const char*, int contentLength, const char* content,
                                             unsigned short& status, std::string&,
                                             std::string& responseBody) {
  WriteLog("GetNewPairedDevices - ProcessRequest", kLogInfo);
  status = 400;
  try {
    Json::Value root;
    if (!ParseStrictJson(LarchmerePluginHelper::ReadBody(contentLength, content), root)) {
      responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
      WriteLog("GetNewPairedDevices | ProcessRequest FAILED parsing JSON.  Returns true", kLogInfo);
      return true;
    }
    status = 500;
    // A body that is an array has no members: reading one throws, and the
    // request fails with 500 below.
    const std::string devices = WriteCompact(root.get("devices", ""));
    std::string answer;
    const int engineResult = engine ? engine->GetNewPairedDevices(answer, devices) : -1;
    Json::Value reply(Json::objectValue);
    Json::Value pairedDevices;
    if (engineResult == 0 && ParseStrictJson(answer, pairedDevices)) {
      reply["devices"] = pairedDevices;
      responseBody.append(WriteCompact(reply));
      status = 200;
    } else {
      reply["devices"] = Json::Value(Json::arrayValue);
      responseBody.append(WriteCompact(reply));
    }
    LogInfo("GetNewPairedDevices | ProcessRequest - ContentOut", responseBody);
  } catch (const std::exception& exception) {
    LogInfo("Exception: ", exception.what());
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
