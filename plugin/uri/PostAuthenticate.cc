#include "plugin/uri/PostAuthenticate.h"

#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

constexpr char kLogPrefix[] = "PostAuthenticate - SyncProcessRequest";
constexpr char kTokenHeader[] = "x-jwstoken";
constexpr char kVerified[] = "RAT verification successful.";
constexpr char kNotVerified[] = "RAT verification failure.";

}  // namespace

bool PostAuthenticate::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                               const char*) {
  return MatchesRequest(method, url, requestHeaders, "/authenticate", "POST");
}

int PostAuthenticate::GetOperationType() const { return kOperationRemote; }

const char* PostAuthenticate::GetClassName() const { return "PostAuthenticate"; }

bool PostAuthenticate::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                          const char* content, Answer& answer) {
  const std::string prefix = kLogPrefix;
  const std::string rat = HandlerSteps::ReadRat(prefix, requestHeaders, contentLength, content);

  std::string signedToken;
  // The engine verifies without any plug-in lock: it accepts this call
  // alongside the others.
  const int result = engine ? engine->VerifyRat(rat, 0, signedToken) : -1;
  const bool verified = result == 0;
  if (verified) {
    answer.headers.append("Access-Control-Expose-Headers: ").append(kTokenHeader).append("\r\n");
    answer.headers.append(kTokenHeader).append(": ").append(signedToken).append("\r\n");
  }
  HandlerSteps::AnswerRatOutcome(prefix, verified, verified ? kVerified : kNotVerified, 403,
                                 answer);
  // The logger masks the value of the "x-jwstoken" header line.
  LogInfo(prefix + " - HeaderOut", answer.headers);
  LogInfo(prefix + " - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
