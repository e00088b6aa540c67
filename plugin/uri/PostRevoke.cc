#include "plugin/uri/PostRevoke.h"

#include <json/json.h>

#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

constexpr char kLogPrefix[] = "PostRevoke - SyncProcessRequest";
constexpr char kRevoked[] = "RevokeRat successful.";
constexpr char kNotRevoked[] = "RevokeRat failure.";

std::string ResponseDocument(const char* sentence) {
  Json::Value document(Json::objectValue);
  document["response"] = sentence;
  return Json::FastWriter().write(document);
}

}  // namespace

PostRevoke::PostRevoke(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                       common::LMListenerHolder* listenerHolder, void* hostContext,
                       HostCallbacks callbacks)
    : RoutedHandler(std::move(engine), listenerHolder),
      hostContext(hostContext),
      callbacks(callbacks) {}

bool PostRevoke::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                    const char* content, unsigned short& status, std::string&,
                                    std::string& responseBody) {
  using common::LarchmerePluginHelper;
  const std::string prefix = kLogPrefix;
  WriteLog(prefix, kLogInfo);
  LogInfo(prefix + " - ContentIn", LarchmerePluginHelper::ReadBody(contentLength, content));

  const std::string rat = LarchmerePluginHelper::GetJwsTokenFromHeader(requestHeaders);
  LogInfo(prefix + " - Encoded RAT", MaskToken(rat));

  if (Revoke(rat)) {
    LogInfo(prefix + " - AnonymousPairing", kRevoked);
    responseBody.append(ResponseDocument(kRevoked));
    status = 200;
  } else {
    LogError(prefix + " - AnonymousPairing", kNotRevoked);
    responseBody.append(ResponseDocument(kNotRevoked));
    if (status != 200) {
      status = 500;
    }
  }
  LogInfo(prefix + " - ContentOut", responseBody);
  return true;
}

bool PostRevoke::Revoke(const std::string& rat) const {
  if (rat.empty() || callbacks.revokeRat == nullptr) {
    return false;
  }
  return callbacks.revokeRat(hostContext, rat.c_str());
}

}  // namespace corvane::larchmere::plugin::uri
