#pragma once

#include <json/json.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/Answer.h"

namespace corvane::larchmere::plugin::uri {

// Steps that several handlers take the same way: shaping a failed answer,
// reading a JSON object body, guarding an engine call, shaping the reply of
// a cloud call, and reading and answering the page's pairing token (RAT).
// Each handler keeps its own texts and engine calls. Stateless; takes no
// lock; the engine calls are the callers'.
class HandlerSteps {
 public:
  HandlerSteps() = delete;

  // Appends the error document of `source` and sets `status`.
  static void Fail(Answer& answer, int source, int code, const std::string& description,
                   unsigned short status = 500);
  // Fail with source 4, the engine's code and `operation` followed by
  // " Communication Error with QAVService".
  static void FailEngine(Answer& answer, int result, const std::string& operation);

  // Parses `body` into `root` for the handler whose log lines start with
  // `name`. True for a JSON object. Otherwise: a body that does not parse
  // gets the "Invalid Json" document and the log line `parseFailureLog`; a
  // body that is no object is logged as such. A request with nothing to
  // parse (nullopt) reads as no object.
  static bool ReadJsonObject(const std::optional<std::string>& body, const std::string& name,
                             const std::string& parseFailureLog, Json::Value& root, Answer& answer);

  // Appends the reply document of an engine call; when `succeeded` logs
  // "<name> - ProcessRequest - Success!!" and sets 200, else logs
  // "<name> - ProcessRequest - Failed!!".
  static void AnswerEngineReply(const std::string& name, bool succeeded, const std::string& reply,
                                Answer& answer);
  // The name `table` gives a status code; empty for an unknown code.
  static std::string StatusName(const std::map<int, std::string>& table, int status);
  // The cloud's answer in an engine result (its text logged as "<name> |
  // Parsing match response ") when the call succeeded: a JSON object and
  // status 0. Otherwise nullopt, and `failureReply` holds the compact reply of
  // the failed call ("success" "false" and an error of source 4): the status
  // and its name in `statusNames` when the answer is no object, else the
  // answer's "ResponseResult" "ErrorCode" and "ErrorDescription" as
  // `errorValue` reads them.
  static std::optional<Json::Value> SucceededCloudAnswer(
      const std::string& name, const Corvane::QAV::SDK::MatchResult& result,
      const std::map<int, std::string>& statusNames,
      Json::Value (*errorValue)(const Json::Value& member), std::string& failureReply);

  // Runs an engine call on a JSON object body for the handler whose log
  // lines start with `name`: reads the body (ReadJsonObject); when it is an
  // object runs `call` guarded against engine errors (RunGuarded, source 4)
  // and logs the answer as "<name> | ProcessRequest - ContentOut".
  static void RunOnJsonObject(const std::optional<std::string>& body, const std::string& name,
                              const std::string& parseFailureLog, Answer& answer,
                              const std::function<void(const Json::Value& root)>& call);
  // An engine result that reads as failed until the engine writes its status.
  static Corvane::QAV::SDK::MatchResult UnansweredResult();

  // Runs `call`, which appends its document and sets 200 on success. An
  // exception appends the error document of `errorSource` with code 3 and
  // its message; any status but 200 then becomes 500.
  static void RunGuarded(int errorSource, Answer& answer, const std::function<void()>& call);

  // The RAT of the request's "x-jwstoken" header; logs `prefix`, the body as
  // "<prefix> - ContentIn" and the token masked as "<prefix> - Encoded RAT".
  static std::string ReadRat(const std::string& prefix, const char* requestHeaders,
                             int contentLength, const char* content);
  // Answers what became of the RAT: {"response": sentence}, logged as
  // "<prefix> - AnonymousPairing"; status 200 on success, else
  // `failureStatus` unless the status already holds 200.
  static void AnswerRatOutcome(const std::string& prefix, bool succeeded, const char* sentence,
                               unsigned short failureStatus, Answer& answer);
};

}  // namespace corvane::larchmere::plugin::uri
