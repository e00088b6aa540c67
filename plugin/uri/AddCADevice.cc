#include "plugin/uri/AddCADevice.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/AuthenticateFingerprint.h"
#include "plugin/uri/AuthenticateWithCADevice.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;
using common::WriteCompact;

bool AddCADevice::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                     const char* content, unsigned short& status, std::string&,
                                     std::string& responseBody) {
  WriteLog("AddCADevice | ProcessRequest", kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  WriteLog("AddCADevice | JSON: [" + body + "]", kLogInfo);
  status = 400;

  const std::string idToken = AuthenticateFingerprint::ExtractIdToken(requestHeaders);
  Json::Value root;
  if (!idToken.empty() && !ParseStrictJson(body, root)) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    WriteLog("AddCADevice | ProcessRequest FAILED parsing JSON or invalid idToken. Returning true.",
             kLogInfo);
    return true;
  }
  if (!root.isObject()) {
    WriteLog("AddCADevice | ProcessRequest failed - jsonMessageFromUI is not an object", kLogInfo);
    return true;
  }

  try {
    const std::string email = root.get("email", "").asString();
    const std::string clientId = root.get("clientId", "").asString();
    const std::string culture = root.get("culture", "").asString();
    // The engine takes the device as JSON text: an absent member is the empty string.
    const std::string proximityDevice = WriteCompact(root.get("proximityDevice", ""));
    WriteLog("AddCADevice | calling AddCADevice: " + email + "-" + proximityDevice + "-" +
                 clientId + "-" + culture,
             kLogInfo);
    Corvane::QAV::SDK::MatchResult result;
    // An engine that fails without writing the status must not read as success.
    result.status = 100;
    int engineResult = -1;
    if (engine) {
      engineResult =
          engine->AddCADevice(result, email, proximityDevice, clientId, culture, idToken);
    }
    const std::string reply = AuthenticateWithCADevice::ConvertDeviceResponse(result);
    responseBody.append(reply);
    if (engineResult == 0 && result.status == 0) {
      status = 200;
    } else {
      WriteLog("AddCADevice - ProcessRequest - Failed!!", kLogInfo);
    }
  } catch (const std::exception& exception) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
  }
  if (status != 200) status = 500;
  LogInfo("AddCADevice | ProcessRequest - ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
