#include "plugin/uri/AuthenticateWithCADevice.h"

#include <json/json.h>

#include <exception>
#include <map>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::MemberOf;
using common::ParseStrictJson;
using common::TextOf;
using common::WriteCompact;

namespace {

using common::LarchmerePluginHelper;

const std::map<int, std::string>& DeviceStatusTable() {
  static const std::map<int, std::string> kTable = {
      {0, "CA_AUTH_OK"},
      {100, "CA_SYSTEM_ERROR"},
      {101, "CA_DB_ERROR"},
      {102, "CA_POSTCLOUD_ERROR"},
      {103, "CA_SET_CONTEXT_POLICY_ERROR"},
      {104, "CA_CREATE_POLICY_ERROR"},
      {105, "CA_GET_POLICY_BLOB_ERROR"},
      {106, "CA_SET_AUTHENTICATION_STATE_ERROR"},
      {107, "CA_DESERIALIZE_TOKEN_ERROR"},
      {108, "CA_DESERIALIZE_DEVICE_ERROR"},
      {109, "CA_GET_AUTHENTICATED_DEVICE_ERROR"},
      {7681, "CA_DEVICE_SUBSCRIBE_EVENTS_FAIL"},
      {7682, "CA_DEVICE_NOT_FOUND"},
      {7693, "CA_DEVICE_DISCONNECTED"},
      {7694, "CA_UNAUTHORIZED_ERROR"},
  };
  return kTable;
}

}  // namespace

std::string AuthenticateWithCADevice::DeviceStatusName(int status) {
  const std::map<int, std::string>& table = DeviceStatusTable();
  const auto found = table.find(status);
  return found != table.end() ? found->second : std::string();
}

std::string AuthenticateWithCADevice::ConvertDeviceResponse(
    const Corvane::QAV::SDK::MatchResult& result) {
  LogInfo("AuthenticateWithCADevice | Parsing match response ", result.response);
  Json::Value response;
  Json::Value reply(Json::objectValue);
  if (ParseStrictJson(result.response, response) && response.isObject()) {
    if (result.status == 0) {
      reply["success"] = "true";
      reply["response"] = response;
    } else {
      const Json::Value& responseResult = MemberOf(response, "ResponseResult");
      reply["success"] = "false";
      reply["error"]["source"] = common::kErrorSourceEngineService;
      reply["error"]["code"] = TextOf(MemberOf(responseResult, "ErrorCode"));
      reply["error"]["description"] = TextOf(MemberOf(responseResult, "ErrorDescription"));
    }
  } else {
    reply["success"] = "false";
    reply["error"]["source"] = common::kErrorSourceEngineService;
    reply["error"]["code"] = std::to_string(result.status);
    reply["error"]["description"] = DeviceStatusName(result.status);
  }
  return WriteCompact(reply);
}

bool AuthenticateWithCADevice::SyncProcessRequest(const char*, int contentLength,
                                                  const char* content, unsigned short& status,
                                                  std::string&, std::string& responseBody) {
  WriteLog("AuthenticateWithCADevice | ProcessRequest", kLogInfo);
  status = 400;
  Json::Value root;
  if (!ParseStrictJson(LarchmerePluginHelper::ReadBody(contentLength, content), root)) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    WriteLog("AuthenticateWithCADevice | ProcessRequest FAILED parsing JSON.  Returns true",
             kLogInfo);
    return true;
  }
  if (!root.isObject()) {
    WriteLog(
        "AuthenticateWithCADevice | ProcessRequest failed - jsonMessageFromUI is not an object",
        kLogInfo);
    return true;
  }
  try {
    const std::string email = root.get("email", "").asString();
    const std::string clientId = root.get("clientId", "").asString();
    const std::string culture = root.get("culture", "").asString();
    WriteLog("AuthenticateWithCADevice | calling AuthenticateWithCADevice: " + email + "-" +
                 clientId + "-" + culture,
             kLogInfo);
    Corvane::QAV::SDK::MatchResult result;
    // An engine that fails without writing the status must not read as success.
    result.status = 100;
    int engineResult = -1;
    if (engine) engineResult = engine->AuthenticateWithCADevice(result, email, clientId, culture);
    const std::string reply = ConvertDeviceResponse(result);
    responseBody.append(reply);
    if (engineResult == 0) {
      WriteLog("AuthenticateWithCADevice - ProcessRequest - Success!!", kLogInfo);
      status = 200;
    } else {
      WriteLog("AuthenticateWithCADevice - ProcessRequest - Failed!!", kLogInfo);
    }
  } catch (const std::exception& exception) {
    responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
  }
  if (status != 200) status = 500;
  LogInfo("AuthenticateWithCADevice | ProcessRequest - ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
