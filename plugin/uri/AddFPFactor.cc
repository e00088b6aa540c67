#include "plugin/uri/AddFPFactor.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/AuthenticateFingerprint.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;
using common::WriteCompact;

bool AddFPFactor::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                     const char* content, unsigned short& status, std::string&,
                                     std::string& responseBody) {
  WriteLog("AddFPFactor | ProcessRequest", kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  WriteLog("AddFPFactor | JSON: [" + body + "]", kLogInfo);
  status = 400;

  const std::string idToken = AuthenticateFingerprint::ExtractIdToken(requestHeaders);
  Json::Value root;
  if (!idToken.empty() && !ParseStrictJson(body, root)) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    WriteLog("AddFPFactor | ProcessRequest FAILED parsing JSON or invalid idToken. Returning true.",
             kLogInfo);
    return true;
  }
  if (!root.isObject()) {
    WriteLog("AddFPFactor | ProcessRequest failed - jsonMessageFromUI is not an object", kLogInfo);
    return true;
  }

  try {
    const std::string email = root.get("email", "").asString();
    const std::string clientId = root.get("clientId", "").asString();
    const std::string culture = root.get("culture", "").asString();
    WriteLog(
        "AddFPFactor | calling AddFingerprintFactor: " + email + "-" + clientId + "-" + culture,
        kLogInfo);
    int factorStatus = 100;
    int engineResult = -1;
    if (engine) {
      engineResult = engine->AddFingerprintFactor(factorStatus, email, clientId, culture, idToken);
    }
    Json::Value reply(Json::objectValue);
    const bool added = engineResult == 0 && factorStatus == 0;
    if (added) {
      reply["success"] = "true";
    } else {
      reply["success"] = "false";
      reply["error"]["code"] = factorStatus;
      reply["error"]["description"] = AuthenticateFingerprint::FingerprintStatusName(factorStatus);
    }
    responseBody.append(WriteCompact(reply));
    status = added ? 200 : 500;
  } catch (const std::exception& exception) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
  }
  if (status != 200) status = 500;
  LogInfo("AddFPFactor | ProcessRequest - ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
