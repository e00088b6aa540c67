#include "plugin/uri/GetVSUAccount.h"

#include <json/json.h>

#include <utility>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::WriteCompact;

using Corvane::Keystead::Vessa::kSuiteAccountOk;
using Corvane::Keystead::Vessa::kSuiteAccountUnavailable;
using Corvane::Keystead::Vessa::kUserNameMissing;
using Corvane::Keystead::Vessa::kUserNameRead;

GetVSUAccount::GetVSUAccount(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                             common::LMListenerHolder* listenerHolder,
                             Corvane::Keystead::Vessa::KSInstHelper* installHelper)
    : ISyncRequestMethod(std::move(engine), listenerHolder), installHelper(installHelper) {}

bool GetVSUAccount::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/vsu/account", "GET");
}

int GetVSUAccount::GetOperationType() const { return kOperationStateless; }

const char* GetVSUAccount::GetClassName() const { return "GetVSUAccount"; }

bool GetVSUAccount::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetVSUAccount - SyncProcessRequest", kLogInfo);
  std::string firstName;
  std::string lastName;
  std::string email;
  const int nameResult =
      installHelper ? installHelper->getVsuAccountUserName(firstName, lastName) : kUserNameMissing;
  if (nameResult == kUserNameRead) {
    WriteLog("GetVSUAccount - getVsuAccountUserName retrieved successfully - FirstName:" +
                 firstName + " LastName: " + lastName,
             kLogInfo);
  } else {
    WriteLog("GetVSUAccount - getVsuAccountUserName WARNING: Couldn't find user name", kLogInfo);
  }

  const int emailResult =
      installHelper ? installHelper->getVsuAccountEmail(email) : kSuiteAccountUnavailable;
  if (emailResult != kSuiteAccountOk) {
    answer.body.append(common::LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceSuiteAccount, emailResult, "Unable to retrieve VSU account email"));
    // Always 500, even when the host started from 200: the document is an error.
    answer.status = 500;
  } else {
    LogInfo("GetVSUAccount - getVsuAccountEmail retrieved successfully - email", email);
    Json::Value reply(Json::objectValue);
    reply["email"] = email;
    reply["firstName"] = firstName;
    reply["lastName"] = lastName;
    answer.body.append(WriteCompact(reply));
    answer.status = 200;
  }
  LogDebug("GetVSUAccount - SyncProcessRequest - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
