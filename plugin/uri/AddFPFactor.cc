#include "plugin/uri/AddFPFactor.h"

#include <json/json.h>

#include <optional>
#include <string>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/AuthenticateFingerprint.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

using common::WriteCompact;

bool AddFPFactor::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                          const char*) {
  return MatchesRequest(method, url, requestHeaders, "/fingerprint/addfactor", "POST");
}

int AddFPFactor::GetOperationType() const { return kOperationRemote; }

const char* AddFPFactor::GetClassName() const { return "AddFPFactor"; }

bool AddFPFactor::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                     const char* content, Answer& answer) {
  AuthenticateFingerprint::RunAuthorised(
      "AddFPFactor", requestHeaders, contentLength, content, answer,
      [&](const AuthenticateFingerprint::AuthorisedRequest& request) {
        WriteLog("AddFPFactor | calling AddFingerprintFactor: " + request.email + "-" +
                     request.clientId + "-" + request.culture,
                 kLogInfo);
        int factorStatus = 100;
        int engineResult = -1;
        if (engine) {
          engineResult = engine->AddFingerprintFactor(factorStatus, request.email, request.clientId,
                                                      request.culture, request.idToken);
        }
        Json::Value reply(Json::objectValue);
        const bool added = engineResult == 0 && factorStatus == 0;
        if (added) {
          reply["success"] = "true";
        } else {
          reply["success"] = "false";
          reply["error"]["code"] = factorStatus;
          reply["error"]["description"] =
              AuthenticateFingerprint::FingerprintStatusName(factorStatus);
        }
        answer.body.append(WriteCompact(reply));
        answer.status = added ? 200 : 500;
      });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
