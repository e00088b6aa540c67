#include "plugin/uri/PostAuthenticate.h"

#include <json/json.h>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

constexpr char kLogPrefix[] = "PostAuthenticate - SyncProcessRequest";
constexpr char kTokenHeader[] = "x-jwstoken";
constexpr char kVerified[] = "RAT verification successful.";
constexpr char kNotVerified[] = "RAT verification failure.";

std::string ResponseDocument(const char* sentence) {
  Json::Value document(Json::objectValue);
  document["response"] = sentence;
  return Json::FastWriter().write(document);
}

}  // namespace

bool PostAuthenticate::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                               const char*) {
  return MatchesRequest(method, url, requestHeaders, "/authenticate", "POST");
}

int PostAuthenticate::GetOperationType() const { return kOperationRemote; }

const char* PostAuthenticate::GetClassName() const { return "PostAuthenticate"; }

bool PostAuthenticate::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                          const char* content, Answer& answer) {
  using common::LarchmerePluginHelper;
  const std::string prefix = kLogPrefix;
  WriteLog(prefix, kLogInfo);
  LogInfo(prefix + " - ContentIn", LarchmerePluginHelper::ReadBody(contentLength, content));

  const std::string rat = LarchmerePluginHelper::GetJwsTokenFromHeader(requestHeaders);
  LogInfo(prefix + " - Encoded RAT", MaskToken(rat));

  std::string signedToken;
  // The engine verifies without any plug-in lock: it accepts this call
  // alongside the others.
  const int result = engine ? engine->VerifyRat(rat, 0, signedToken) : -1;
  if (result == 0) {
    LogInfo(prefix + " - AnonymousPairing", kVerified);
    answer.headers.append("Access-Control-Expose-Headers: ").append(kTokenHeader).append("\r\n");
    answer.headers.append(kTokenHeader).append(": ").append(signedToken).append("\r\n");
    answer.body.append(ResponseDocument(kVerified));
    answer.status = 200;
  } else {
    LogError(prefix + " - AnonymousPairing", kNotVerified);
    answer.body.append(ResponseDocument(kNotVerified));
    if (answer.status != 200) {
      answer.status = 403;
    }
  }
  // The logger masks the value of the "x-jwstoken" header line.
  LogInfo(prefix + " - HeaderOut", answer.headers);
  LogInfo(prefix + " - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
