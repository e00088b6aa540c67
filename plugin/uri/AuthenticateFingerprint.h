#pragma once

#include <json/json.h>

#include <functional>
#include <string>

#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/fingerprint/authenticate": authenticates the user by fingerprint and
// answers the cloud's result. Also home of what both fingerprint handlers and
// the companion-device handlers share: the identity-token header reader and
// the fingerprint status names.
class AuthenticateFingerprint final : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

  // The value of the first header written "x-idToken: value": the text after
  // the space up to the next space or line feed (a carriage return before the
  // line feed stays part of the value). Empty when there is none, when its
  // value is empty, or for a null text.
  static std::string ExtractIdToken(const char* requestHeaders);

  // What the engine call of a handler authorised by that header gets: the
  // token, the body and its "email", "clientId" and "culture" texts.
  struct AuthorisedRequest {
    const std::string& idToken;
    const Json::Value& root;
    std::string email, clientId, culture;
  };
  // Runs a handler authorised by that header (AddFPFactor, AddCADevice),
  // whose log lines start with `name`: logs the call and its body and sets
  // 400; when the header holds a token and the body is a JSON object
  // (HandlerSteps::ReadJsonObject), runs `call` guarded against engine
  // errors (HandlerSteps::RunGuarded) and logs the answer.
  static void RunAuthorised(const std::string& name, const char* requestHeaders, int contentLength,
                            const char* content, Answer& answer,
                            const std::function<void(const AuthorisedRequest&)>& call);

  // The name of a fingerprint status code ("FP_DB_ERROR"); empty for an
  // unknown code.
  static std::string FingerprintStatusName(int status);

  // The reply document for the engine's fingerprint result: the cloud's
  // answer on success, its error, or the status code and name when the
  // answer is not a JSON object. Never throws for bad input.
  static std::string ConvertFingerprintResponse(const Corvane::QAV::SDK::MatchResult& result);

  // The six request texts, in the engine's order.
  struct Request {
    std::string email, clientId, culture, oauthTransId, nonce, version;
  };

  // The log line of the engine call. It is not JSON, so the logger cannot
  // tell its secrets: the transaction id and nonce are masked here unless
  // full logging is on.
  static std::string CallLogLine(const Request& request);

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
