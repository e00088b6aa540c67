#include "plugin/uri/PostRemoteSessionSync.h"

#include <json/json.h>

#include <cctype>
#include <exception>
#include <map>
#include <optional>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;

constexpr char kLogPrefix[] = "PostRemoteSessionSync - ProcessRequest";

std::string ToUpper(std::string text) {
  for (char& character : text) {
    character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  }
  return text;
}

// The engine's code for an upper-cased operation name.
std::optional<int> OperationCode(const std::string& operation) {
  static const std::map<std::string, int> kCodes = {
      {"ENROLL", 0}, {"LOGIN", 1}, {"RESET_OTP", 2}, {"SWITCH_TO_SW", 3}};
  const auto found = kCodes.find(operation);
  return found != kCodes.end() ? std::optional<int>(found->second) : std::nullopt;
}

struct SyncRequest {
  std::string args;
  std::string operation;
  std::string email;
};

// Only an object root supplies the members; members of the wrong type are
// logged and leave what was read so far.
SyncRequest ReadSyncRequest(const Json::Value& root) {
  SyncRequest request;
  if (!root.isObject()) {
    return request;
  }
  const std::string prefix = kLogPrefix;
  try {
    request.args = root["args"].asString();
    request.operation = ToUpper(root["operation"].asString());
  } catch (const std::exception& exception) {
    LogError(prefix + " - Exception while gathering 'args' and/or 'operation'", exception.what());
  }
  try {
    request.email = root["email"].asString();
  } catch (const std::exception& exception) {
    LogInfo(prefix + " - Exception while gathering 'email' (OPTIONAL)", exception.what());
  }
  return request;
}

}  // namespace

bool PostRemoteSessionSync::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                    int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/sync", "POST");
}

int PostRemoteSessionSync::GetOperationType() const { return kOperationRemote; }

const char* PostRemoteSessionSync::GetClassName() const { return "PostRemoteSessionSync"; }

bool PostRemoteSessionSync::SyncProcessRequest(const char*, int contentLength, const char* content,
                                               Answer& answer) {
  WriteLog(kLogPrefix, kLogInfo);
  Corvane::QAV::SDK::SDK_CloudAction cloudAction =
      LarchmerePluginHelper::GetCloudActionFromRequest(contentLength, content);
  answer.status = 200;
  try {
    const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
    LogInfo("ContentIn", body);

    Json::Value root;
    if (!ParseStrictJson(body, root)) {
      HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kInvalidJson,
                         common::kInvalidJsonDescription, 400);
      return true;
    }
    const SyncRequest request = ReadSyncRequest(root);
    const std::optional<int> operationCode = OperationCode(request.operation);
    if (!operationCode) {
      HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kInvalidParam,
                         common::kInvalidParamDescription, 400);
      return true;
    }
    int result = -1;
    {
      common::CaptureLock captureLock(SessionState());
      if (engine) {
        result =
            engine->RemoteSessionSync(request.args, *operationCode, request.email, &cloudAction);
      }
    }
    if (result != 0) {
      HandlerSteps::FailEngine(answer, result, "RemoteSessionSync");
      return true;
    }
    answer.body.append("{}");
  } catch (const std::exception& exception) {
    // The error replaces whatever the body held.
    answer.body.clear();
    HandlerSteps::Fail(answer, common::kErrorSourcePlugin, 3, exception.what());
  }
  LogInfo("ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
