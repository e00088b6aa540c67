#include "plugin/uri/AddCADevice.h"

#include <json/json.h>

#include <optional>
#include <string>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/AuthenticateFingerprint.h"
#include "plugin/uri/AuthenticateWithCADevice.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::WriteCompact;

bool AddCADevice::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                          const char*) {
  return MatchesRequest(method, url, requestHeaders, "/ca/adddevice", "POST");
}

int AddCADevice::GetOperationType() const { return kOperationRemote; }

const char* AddCADevice::GetClassName() const { return "AddCADevice"; }

bool AddCADevice::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                     const char* content, Answer& answer) {
  AuthenticateFingerprint::RunAuthorised(
      "AddCADevice", requestHeaders, contentLength, content, answer,
      [&](const AuthenticateFingerprint::AuthorisedRequest& request) {
        // The engine takes the device as JSON text: an absent member is the empty string.
        const std::string proximityDevice = WriteCompact(request.root.get("proximityDevice", ""));
        WriteLog("AddCADevice | calling AddCADevice: " + request.email + "-" + proximityDevice +
                     "-" + request.clientId + "-" + request.culture,
                 kLogInfo);
        Corvane::QAV::SDK::MatchResult result = HandlerSteps::UnansweredResult();
        int engineResult = -1;
        if (engine) {
          engineResult = engine->AddCADevice(result, request.email, proximityDevice,
                                             request.clientId, request.culture, request.idToken);
        }
        const std::string reply = AuthenticateWithCADevice::ConvertDeviceResponse(result);
        answer.body.append(reply);
        if (engineResult == 0 && result.status == 0) {
          answer.status = 200;
        } else {
          WriteLog("AddCADevice - ProcessRequest - Failed!!", kLogInfo);
        }
      });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
