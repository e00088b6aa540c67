#include "plugin/uri/AuthenticateWithCADevice.h"

#include <json/json.h>

#include <map>
#include <optional>
#include <string>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::MemberOf;
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

std::string AuthenticateWithCADevice::ConvertDeviceResponse(
    const Corvane::QAV::SDK::MatchResult& result) {
  std::string failureReply;
  const std::optional<Json::Value> response = HandlerSteps::SucceededCloudAnswer(
      "AuthenticateWithCADevice", result, DeviceStatusTable(),
      [](const Json::Value& member) { return Json::Value(TextOf(member)); }, failureReply);
  if (!response) {
    return failureReply;
  }
  Json::Value reply(Json::objectValue);
  reply["success"] = "true";
  reply["response"] = *response;
  return WriteCompact(reply);
}

bool AuthenticateWithCADevice::SyncProcessRequest(const char*, int contentLength,
                                                  const char* content, Answer& answer) {
  WriteLog("AuthenticateWithCADevice | ProcessRequest", kLogInfo);
  answer.status = 400;
  HandlerSteps::RunOnJsonObject(
      LarchmerePluginHelper::ReadBody(contentLength, content), "AuthenticateWithCADevice",
      "AuthenticateWithCADevice | ProcessRequest FAILED parsing JSON.  Returns true", answer,
      [&](const Json::Value& root) {
        const std::string email = root.get("email", "").asString();
        const std::string clientId = root.get("clientId", "").asString();
        const std::string culture = root.get("culture", "").asString();
        WriteLog("AuthenticateWithCADevice | calling AuthenticateWithCADevice: " + email + "-" +
                     clientId + "-" + culture,
                 kLogInfo);
        Corvane::QAV::SDK::MatchResult result = HandlerSteps::UnansweredResult();
        int engineResult = -1;
        if (engine)
          engineResult = engine->AuthenticateWithCADevice(result, email, clientId, culture);
        HandlerSteps::AnswerEngineReply("AuthenticateWithCADevice", engineResult == 0,
                                        ConvertDeviceResponse(result), answer);
      });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
