#include "plugin/uri/PostRemoteSessionSync.h"

#include <json/json.h>

#include <cctype>
#include <exception>
#include <map>
#include <optional>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

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

std::string PluginErrorDocument(int code, const std::string& description) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, code,
                                                        description);
}

}  // namespace

bool PostRemoteSessionSync::SyncProcessRequest(const char*, int contentLength, const char* content,
                                               unsigned short& status, std::string&,
                                               std::string& responseBody) {
  WriteLog(kLogPrefix, kLogInfo);
  Corvane::QAV::SDK::SDK_CloudAction cloudAction =
      LarchmerePluginHelper::GetCloudActionFromRequest(contentLength, content);
  status = 200;
  try {
    const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
    LogInfo("ContentIn", body);

    Json::Value root;
    if (!ParseStrictJson(body, root)) {
      responseBody.append(
          PluginErrorDocument(common::kInvalidJson, common::kInvalidJsonDescription));
      status = 400;
      return true;
    }
    const SyncRequest request = ReadSyncRequest(root);
    const std::optional<int> operationCode = OperationCode(request.operation);
    if (!operationCode) {
      responseBody.append(
          PluginErrorDocument(common::kInvalidParam, common::kInvalidParamDescription));
      status = 400;
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
      responseBody.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourceEngineService, result,
          std::string("RemoteSessionSync") + common::kQAVServiceErrorSuffix));
      status = 500;
      return true;
    }
    responseBody.append("{}");
  } catch (const std::exception& exception) {
    responseBody = PluginErrorDocument(3, exception.what());
    status = 500;
  }
  LogInfo("ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
