#include "plugin/uri/PostRevoke.h"

#include <utility>

#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

constexpr char kLogPrefix[] = "PostRevoke - SyncProcessRequest";
constexpr char kRevoked[] = "RevokeRat successful.";
constexpr char kNotRevoked[] = "RevokeRat failure.";

}  // namespace

PostRevoke::PostRevoke(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                       common::LMListenerHolder* listenerHolder, void* hostContext,
                       HostCallbacks callbacks)
    : ISyncRequestMethod(std::move(engine), listenerHolder),
      hostContext(hostContext),
      callbacks(callbacks) {}

bool PostRevoke::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                         const char*) {
  return MatchesRequest(method, url, requestHeaders, "/revoke", "POST");
}

int PostRevoke::GetOperationType() const { return kOperationStateless; }

const char* PostRevoke::GetClassName() const { return "PostRevoke"; }

bool PostRevoke::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                    const char* content, Answer& answer) {
  const std::string prefix = kLogPrefix;
  const std::string rat = HandlerSteps::ReadRat(prefix, requestHeaders, contentLength, content);
  const bool revoked = Revoke(rat);
  HandlerSteps::AnswerRatOutcome(prefix, revoked, revoked ? kRevoked : kNotRevoked, 500, answer);
  LogInfo(prefix + " - ContentOut", answer.body);
  return true;
}

bool PostRevoke::Revoke(const std::string& rat) const {
  if (rat.empty() || callbacks.revokeRat == nullptr) {
    return false;
  }
  return callbacks.revokeRat(hostContext, rat.c_str());
}

}  // namespace corvane::larchmere::plugin::uri
