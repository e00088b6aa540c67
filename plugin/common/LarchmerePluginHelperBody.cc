#include <json/json.h>

#include <exception>
#include <optional>
#include <string>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::common {

namespace {

using Corvane::QAV::SDK::SDK_CloudAction;

// A strict JSON body whose root is an object; nullopt for anything else.
std::optional<Json::Value> ParseObjectBody(const std::string& body) {
  Json::Value root;
  if (!ParseStrictJson(body, root) || !root.isObject()) return std::nullopt;
  return root;
}

// root/userData/<name>, read without adding members; throws Json::Exception
// when userData is neither an object nor missing.
const Json::Value& UserDataMember(const Json::Value& root, const char* name) {
  return root["userData"][name];
}

// A member of userData and what to log when it cannot be read.
struct UserDataRead {
  const char* member;
  void (*logFailure)(const std::string& prefix, const std::string& content);
  const char* failureText;
};

std::string AsString(const Json::Value& value) { return value.asString(); }
bool AsBool(const Json::Value& value) { return value.asBool(); }

// The member converted by `convert` (which throws for the wrong type); the
// value-initialised default when the body is not a JSON object or the
// conversion fails, logging the failure.
template <typename Convert>
auto ReadUserDataMember(const std::string& body, const UserDataRead& read, Convert convert)
    -> decltype(convert(Json::Value())) {
  using Value = decltype(convert(Json::Value()));
  const std::optional<Json::Value> root = ParseObjectBody(body);
  if (!root) return Value();
  try {
    return convert(UserDataMember(*root, read.member));
  } catch (const std::exception& error) {
    read.logFailure(read.failureText, error.what());
    return Value();
  }
}

}  // namespace

// --- Request body ---

std::string LarchmerePluginHelper::ReadBody(int contentLength, const char* content) {
  if (content == nullptr || contentLength <= 0) return {};
  const auto limit = static_cast<std::size_t>(contentLength);
  std::size_t length = 0;
  while (length < limit && content[length] != '\0') ++length;
  return std::string(content, length);
}

std::string LarchmerePluginHelper::GetOauthTransactionIdFromRequest(int contentLength,
                                                                    const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("ContentIn", body);
  return ReadUserDataMember(
      body,
      {"oTransId", LogError, "Retrieving oauth transaction id. Most likely malformed json request"},
      AsString);
}

bool LarchmerePluginHelper::GetReEnrollFromRequest(int contentLength, const char* content) {
  return ReadUserDataMember(ReadBody(contentLength, content),
                            {"reEnroll", LogDebug,
                             "WARNING: Could not retrieve ReEnroll optional parameter. Either not "
                             "present or malformed json request. Details"},
                            AsBool);
}

std::string LarchmerePluginHelper::GetEmailFromEnrollRequest(int contentLength,
                                                             const char* content) {
  return ReadUserDataMember(ReadBody(contentLength, content),
                            {"email", LogDebug,
                             "WARNING: Could not retrieve email optional parameter from enroll "
                             "request. Either not present or malformed json request. Details"},
                            AsString);
}

std::string LarchmerePluginHelper::GetEmailFromMatchRequest(int contentLength,
                                                            const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("GetEmailFromMatchRequest: Searching email in match request", body);
  return ReadUserDataMember(body,
                            {"email", LogError,
                             "Retrieving EMAIL from Match request. Malformed request does not "
                             "have email property under userData as expected"},
                            AsString);
}

SDK_CloudAction LarchmerePluginHelper::GetCloudActionFromRequest(int contentLength,
                                                                 const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("ContentIn", body);
  const std::optional<Json::Value> root = ParseObjectBody(body);
  if (!root) {
    WriteLog("Malformed json received. Will assume default value for optional cloudAction property",
             kLogError);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  int value = 0;
  try {
    // Throws for a text, or a number beyond the int range.
    value = (*root)["cloudAction"].asInt();
  } catch (const std::exception&) {
    WriteLog(
        "cloudAction property not found or value out of range in request, will assume default "
        "value",
        kLogInfo);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  if (value < Corvane::QAV::SDK::CLOUD_ACTION_NONE || value > Corvane::QAV::SDK::CLOUD_ACTION_2) {
    WriteLog("WARNING: CloudAction OUT OF RANGE. Assigning default value. Value received = " +
                 std::to_string(value),
             kLogInfo);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  WriteLog("CloudAction successfully retreived: value = " + std::to_string(value), kLogDebug);
  return static_cast<SDK_CloudAction>(value);
}

}  // namespace corvane::larchmere::plugin::common
