#include "plugin/uri/GetRemoteUsers.h"

#include <json/json.h>

#include <exception>
#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;

// The router matches and then processes a request on the same host thread.
thread_local std::string matchedEmail;

// The engine's second text of a user is its own and never shown.
Json::Value ToUserObject(const Corvane::QAV::SDK::RemoteUser& user) {
  Json::Value object(Json::objectValue);
  object["email"] = user.email;
  object["face"] = user.face;
  object["masterPassword"] = user.masterPassword;
  object["outOfBounds"] = user.outOfBounds;
  object["emailVerified"] = user.emailVerified;
  object["securityLevel"] = user.securityLevel;
  object["autoLockTime"] = user.autoLockTime;
  object["cloudKeyAvailable"] = user.cloudKeyAvailable;
  object["fpEnabled"] = user.fpEnabled;
  object["firstStep"] = user.firstStep;
  object["altFirstStep"] = user.altFirstStep;
  return object;
}

Json::Value ToUsersDocument(const Corvane::QAV::SDK::RemoteUserList& list) {
  Json::Value document(Json::objectValue);
  Json::Value users(Json::arrayValue);
  for (const Corvane::QAV::SDK::RemoteUser& user : list.users) {
    users.append(ToUserObject(user));
  }
  document["userList"] = users;
  document["loggedInWindowsUser"]["fpAvailable"] = list.fpAvailable;
  return document;
}

}  // namespace

bool GetRemoteUsers::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                             const char*) {
  const bool matched = MatchesRequest(method, url, requestHeaders, "/users/remote", "GET");
  if (matched) {
    matchedEmail = LarchmerePluginHelper::GetEmail(url);
  }
  return matched;
}

int GetRemoteUsers::GetOperationType() const { return kOperationStateless; }

const char* GetRemoteUsers::GetClassName() const { return "GetRemoteUsers"; }

bool GetRemoteUsers::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetRemoteUsers - ProcessRequest", kLogInfo);
  // Taken, not copied: a later request on this thread never sees this address.
  const std::string email = std::exchange(matchedEmail, std::string());
  try {
    Json::Value document;
    Corvane::QAV::SDK::RemoteUserList list;
    int result = -1;
    {
      common::CaptureLock captureLock(SessionState());
      result = engine ? engine->ListRemoteUsers(list, email) : -1;
    }
    if (result != 0) {
      // Callers expect the error document wrapped in a JSON string here.
      document = LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, result,
                                                                "Unknown Error");
    } else {
      document = ToUsersDocument(list);
      answer.status = 200;
    }
    answer.body.append(Json::FastWriter().write(document));
    WriteLog("GetRemoteUsers - Response: " + answer.body, kLogInfo);
    if (answer.status != 200) {
      answer.status = 500;
    }
  } catch (const std::exception& exception) {
    answer.body = LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, 3,
                                                                 exception.what());
    answer.status = 500;
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
