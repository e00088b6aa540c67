#include "plugin/uri/AuthenticateFingerprint.h"

#include <json/json.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

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

constexpr std::string_view kIdTokenTag = "x-idToken:";

const std::map<int, std::string>& FingerprintStatusTable() {
  static const std::map<int, std::string> kTable = {
      {0, "FP_AUTH_OK"},         {1, "FP_TOO_HIGH"},           {2, "FP_TOO_LOW"},
      {3, "FP_TOO_LEFT"},        {4, "FP_TOO_RIGHT"},          {5, "FP_TOO_FAST"},
      {6, "FP_TOO_SLOW"},        {7, "FP_POOR_QUALITY"},       {8, "FP_TOO_SKEWED"},
      {9, "FP_TOO_SHORT"},       {10, "FP_MERGE_FAILURE"},     {100, "FP_SYSTEM_ERROR"},
      {101, "FP_DB_ERROR"},      {102, "FP_POSTCLOUD_ERROR"},  {103, "FP_CRYPT_ERROR"},
      {104, "FP_DECRYPT_ERROR"}, {105, "FP_NOT_LINKED_ERROR"}, {106, "FP_UNAUTHORIZED_ERROR"},
  };
  return kTable;
}

// The member copied as it is, or the empty text when it is absent.
Json::Value CopyOrEmpty(const Json::Value& member) {
  return member.isNull() ? Json::Value("") : member;
}

int IntegerOr0(const Json::Value& member) {
  return member.isNumeric() && member.isConvertibleTo(Json::intValue) ? member.asInt() : 0;
}

bool BooleanOrFalse(const Json::Value& member) {
  if (member.isBool()) return member.asBool();
  return member.isNumeric() && member.isConvertibleTo(Json::booleanValue) && member.asBool();
}

std::string StringMember(const Json::Value& root, const char* name) {
  return root.get(name, "").asString();
}

}  // namespace

std::string AuthenticateFingerprint::ExtractIdToken(const char* requestHeaders) {
  const std::string_view headers = requestHeaders == nullptr ? "" : requestHeaders;
  // The header text is split at single spaces; line breaks stay inside the
  // tokens. The tag's token must end with the tag: when it does not ("x-idToken:"
  // without a space after it), the next token lies on another line and is some
  // other header's text.
  std::string_view value;
  bool found = false;
  for (std::size_t tokenStart = 0, tokenEnd = headers.find(' '); tokenEnd != std::string_view::npos;
       tokenStart = tokenEnd + 1, tokenEnd = headers.find(' ', tokenStart)) {
    const std::string_view token = headers.substr(tokenStart, tokenEnd - tokenStart);
    if (token.size() >= kIdTokenTag.size() &&
        token.substr(token.size() - kIdTokenTag.size()) == kIdTokenTag) {
      value = headers.substr(tokenEnd + 1);
      value = value.substr(0, value.find_first_of(" \n"));
      found = true;
      break;
    }
  }
  // A header without a value ends its line at once.
  if (!found || value.empty() || value == "\r") {
    WriteLog("x-idToken not found", kLogError);
    return {};
  }
  std::string token(value);
  LogDebug("x-idToken found", MaskToken(token));
  return token;
}

void AuthenticateFingerprint::RunAuthorised(
    const std::string& name, const char* requestHeaders, int contentLength, const char* content,
    Answer& answer, const std::function<void(const AuthorisedRequest&)>& call) {
  WriteLog(name + " | ProcessRequest", kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  WriteLog(name + " | JSON: [" + body + "]", kLogInfo);
  answer.status = 400;

  const std::string idToken = ExtractIdToken(requestHeaders);
  HandlerSteps::RunOnJsonObject(
      idToken.empty() ? std::nullopt : std::optional(body), name,
      name + " | ProcessRequest FAILED parsing JSON or invalid idToken. Returning true.", answer,
      [&](const Json::Value& root) {
        call(AuthorisedRequest{idToken, root, root.get("email", "").asString(),
                               root.get("clientId", "").asString(),
                               root.get("culture", "").asString()});
      });
}

std::string AuthenticateFingerprint::FingerprintStatusName(int status) {
  return HandlerSteps::StatusName(FingerprintStatusTable(), status);
}

std::string AuthenticateFingerprint::ConvertFingerprintResponse(
    const Corvane::QAV::SDK::MatchResult& result) {
  std::string failureReply;
  const std::optional<Json::Value> response = HandlerSteps::SucceededCloudAnswer(
      "AuthenticateFingerprint", result, FingerprintStatusTable(), CopyOrEmpty, failureReply);
  if (!response) {
    return failureReply;
  }
  const Json::Value& responseResult = MemberOf(*response, "ResponseResult");
  Json::Value reply(Json::objectValue);
  reply["success"] = "true";
  reply["idToken"] = TextOf(MemberOf(*response, "idToken"));
  reply["profileUID"] = CopyOrEmpty(MemberOf(*response, "ProfileUId"));
  reply["retryCount"] = IntegerOr0(MemberOf(*response, "RetryCount"));
  reply["TransactionId"] = CopyOrEmpty(MemberOf(responseResult, "TransactionId"));
  reply["cloudKey"] = CopyOrEmpty(MemberOf(*response, "cloudKey"));
  reply["isTrustedDevice"] = BooleanOrFalse(MemberOf(*response, "isTrustedDevice"));
  reply["riskAnalysisInfo"] = MemberOf(*response, "riskAnalysisInfo");
  return WriteCompact(reply);
}

std::string AuthenticateFingerprint::CallLogLine(const Request& request) {
  return "AuthenticateFingerprint | calling AuthenticateFingerprint: " + request.email + "-" +
         request.clientId + "-" + request.culture + "-" + MaskToken(request.oauthTransId) + "-" +
         MaskToken(request.nonce) + "-" + request.version;
}

bool AuthenticateFingerprint::SyncProcessRequest(const char*, int contentLength,
                                                 const char* content, Answer& answer) {
  WriteLog("AuthenticateFingerprint | ProcessRequest", kLogInfo);
  answer.status = 400;
  HandlerSteps::RunOnJsonObject(
      LarchmerePluginHelper::ReadBody(contentLength, content), "AuthenticateFingerprint",
      "AuthenticateFingerprint | ProcessRequest FAILED parsing JSON.  Returns true", answer,
      [&](const Json::Value& root) {
        const Request request{StringMember(root, "email"),   StringMember(root, "clientId"),
                              StringMember(root, "culture"), StringMember(root, "oauthTransId"),
                              StringMember(root, "nonce"),   StringMember(root, "version")};
        WriteLog(CallLogLine(request), kLogInfo);
        Corvane::QAV::SDK::MatchResult result = HandlerSteps::UnansweredResult();
        int engineResult = -1;
        if (engine) {
          engineResult = engine->AuthenticateFingerprint(result, request.email, request.clientId,
                                                         request.culture, request.oauthTransId,
                                                         request.nonce, request.version);
        }
        HandlerSteps::AnswerEngineReply("AuthenticateFingerprint", engineResult == 0,
                                        ConvertFingerprintResponse(result), answer);
      });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
