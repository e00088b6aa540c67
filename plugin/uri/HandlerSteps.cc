#include "plugin/uri/HandlerSteps.h"

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

namespace {

// The reply of a failed cloud call: "success" "false" and the error with
// source 4, `code` and `description`.
Json::Value CloudFailureReply(const Json::Value& code, const Json::Value& description) {
  Json::Value reply(Json::objectValue);
  reply["success"] = "false";
  reply["error"]["source"] = common::kErrorSourceEngineService;
  reply["error"]["code"] = code;
  reply["error"]["description"] = description;
  return reply;
}

}  // namespace

void HandlerSteps::Fail(Answer& answer, int source, int code, const std::string& description,
                        unsigned short status) {
  answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(source, code, description));
  answer.status = status;
}

void HandlerSteps::FailEngine(Answer& answer, int result, const std::string& operation) {
  Fail(answer, common::kErrorSourceEngineService, result,
       operation + common::kQAVServiceErrorSuffix);
}

bool HandlerSteps::ReadJsonObject(const std::optional<std::string>& body, const std::string& name,
                                  const std::string& parseFailureLog, Json::Value& root,
                                  Answer& answer) {
  if (body && !common::ParseStrictJson(*body, root)) {
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    WriteLog(parseFailureLog, kLogInfo);
    return false;
  }
  if (!root.isObject()) {
    WriteLog(name + " | ProcessRequest failed - jsonMessageFromUI is not an object", kLogInfo);
    return false;
  }
  return true;
}

void HandlerSteps::RunOnJsonObject(const std::optional<std::string>& body, const std::string& name,
                                   const std::string& parseFailureLog, Answer& answer,
                                   const std::function<void(const Json::Value& root)>& call) {
  Json::Value root;
  if (!ReadJsonObject(body, name, parseFailureLog, root, answer)) {
    return;
  }
  RunGuarded(common::kErrorSourceEngineService, answer, [&] { call(root); });
  LogInfo(name + " | ProcessRequest - ContentOut", answer.body);
}

Corvane::QAV::SDK::MatchResult HandlerSteps::UnansweredResult() {
  Corvane::QAV::SDK::MatchResult result;
  // An engine that fails without writing the status must not read as success.
  result.status = 100;
  return result;
}

void HandlerSteps::AnswerEngineReply(const std::string& name, bool succeeded,
                                     const std::string& reply, Answer& answer) {
  answer.body.append(reply);
  if (succeeded) {
    WriteLog(name + " - ProcessRequest - Success!!", kLogInfo);
    answer.status = 200;
  } else {
    WriteLog(name + " - ProcessRequest - Failed!!", kLogInfo);
  }
}

std::string HandlerSteps::StatusName(const std::map<int, std::string>& table, int status) {
  const auto found = table.find(status);
  return found != table.end() ? found->second : std::string();
}

std::optional<Json::Value> HandlerSteps::SucceededCloudAnswer(
    const std::string& name, const Corvane::QAV::SDK::MatchResult& result,
    const std::map<int, std::string>& statusNames,
    Json::Value (*errorValue)(const Json::Value& member), std::string& failureReply) {
  LogInfo(name + " | Parsing match response ", result.response);
  Json::Value response;
  if (!common::ParseStrictJson(result.response, response) || !response.isObject()) {
    failureReply = common::WriteCompact(
        CloudFailureReply(std::to_string(result.status), StatusName(statusNames, result.status)));
    return std::nullopt;
  }
  if (result.status != 0) {
    const Json::Value& responseResult = common::MemberOf(response, "ResponseResult");
    failureReply = common::WriteCompact(
        CloudFailureReply(errorValue(common::MemberOf(responseResult, "ErrorCode")),
                          errorValue(common::MemberOf(responseResult, "ErrorDescription"))));
    return std::nullopt;
  }
  return response;
}

void HandlerSteps::RunGuarded(int errorSource, Answer& answer, const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& exception) {
    answer.body.append(
        LarchmerePluginHelper::CreateJsonErrorResponse(errorSource, 3, exception.what()));
  }
  if (answer.status != 200) {
    answer.status = 500;
  }
}

std::string HandlerSteps::ReadRat(const std::string& prefix, const char* requestHeaders,
                                  int contentLength, const char* content) {
  WriteLog(prefix, kLogInfo);
  LogInfo(prefix + " - ContentIn", LarchmerePluginHelper::ReadBody(contentLength, content));
  std::string rat = LarchmerePluginHelper::GetJwsTokenFromHeader(requestHeaders);
  LogInfo(prefix + " - Encoded RAT", MaskToken(rat));
  return rat;
}

void HandlerSteps::AnswerRatOutcome(const std::string& prefix, bool succeeded, const char* sentence,
                                    unsigned short failureStatus, Answer& answer) {
  if (succeeded) {
    LogInfo(prefix + " - AnonymousPairing", sentence);
  } else {
    LogError(prefix + " - AnonymousPairing", sentence);
  }
  Json::Value document(Json::objectValue);
  document["response"] = sentence;
  answer.body.append(Json::FastWriter().write(document));
  if (succeeded) {
    answer.status = 200;
  } else if (answer.status != 200) {
    answer.status = failureStatus;
  }
}

}  // namespace corvane::larchmere::plugin::uri
