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

bool PostAuthenticate::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                          const char* content, unsigned short& status,
                                          std::string& responseHeaders, std::string& responseBody) {
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
    responseHeaders.append("Access-Control-Expose-Headers: ").append(kTokenHeader).append("\r\n");
    responseHeaders.append(kTokenHeader).append(": ").append(signedToken).append("\r\n");
    responseBody.append(ResponseDocument(kVerified));
    status = 200;
  } else {
    LogError(prefix + " - AnonymousPairing", kNotVerified);
    responseBody.append(ResponseDocument(kNotVerified));
    if (status != 200) {
      status = 403;
    }
  }
  // The logger masks the value of the "x-jwstoken" header line.
  LogInfo(prefix + " - HeaderOut", responseHeaders);
  LogInfo(prefix + " - ContentOut", responseBody);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
