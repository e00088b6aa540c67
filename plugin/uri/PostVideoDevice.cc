#include "plugin/uri/PostVideoDevice.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool PostVideoDevice::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/devices/video", "POST");
}

int PostVideoDevice::GetOperationType() const { return kOperationLocal; }

const char* PostVideoDevice::GetClassName() const { return "PostVideoDevice"; }

namespace {

constexpr char kSelectionFailedDescription[] =
    "An error occured while selecting the camera. Most likely the device does not exist";

}  // namespace

bool PostVideoDevice::SyncProcessRequest(const char*, int contentLength, const char* content,
                                         Answer& answer) {
  using common::LarchmerePluginHelper;
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  LogDebug("PostVideoDevice - ProcessRequest - ContentIn: ", body);
  // Every failure answers 500, whatever status the request started with.
  answer.status = 500;
  try {
    Json::Value document;
    if (!common::ParseLenientJson(body, document)) {
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    } else {
      const Json::Value& request = document;
      // All three must be readable; only the name chooses the camera.
      (void)request["id"].asInt();
      (void)request["selected"].asBool();
      const std::string name = request["name"].asString();
      const int result = engine ? engine->SelectVideoDevice(name) : -1;
      if (result == 0) {
        answer.status = 200;
        answer.body.append("{}");
      } else {
        answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
            common::kErrorSourceCameraSelection, result, kSelectionFailedDescription));
      }
    }
  } catch (const std::exception& exception) {
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, 3,
                                                                      exception.what()));
  }
  LogInfo("PostVideoDevice - ProcessRequest - ContentOut", answer.body);
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
