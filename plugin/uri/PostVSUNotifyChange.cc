#include "plugin/uri/PostVSUNotifyChange.h"

#include <json/json.h>

#include <exception>
#include <string_view>
#include <utility>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;

namespace {

// The suite reads the notice as appId + " " + email: a text holding white
// space or control characters would split it somewhere else.
bool IsCommandSafe(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool IsValidNoticeText(const std::string& text) { return !text.empty() && IsCommandSafe(text); }

}  // namespace

PostVSUNotifyChange::PostVSUNotifyChange(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                                         common::LMListenerHolder* listenerHolder,
                                         Corvane::Keystead::Vessa::KSInstHelper* installHelper)
    : ISyncRequestMethod(std::move(engine), listenerHolder), installHelper(installHelper) {}

bool PostVSUNotifyChange::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                  int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/vsu/notifychange", "POST");
}

int PostVSUNotifyChange::GetOperationType() const { return kOperationStateless; }

const char* PostVSUNotifyChange::GetClassName() const { return "PostVSUNotifyChange"; }

bool PostVSUNotifyChange::SyncProcessRequest(const char*, int contentLength, const char* content,
                                             Answer& answer) {
  WriteLog("PostVSUNotifyChange - SyncProcessRequest", kLogInfo);
  try {
    const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
    LogInfo("PostVSUNotifyChange - ContentIn", body);
    Json::Value root;
    if (!ParseStrictJson(body, root)) {
      WriteLog("PostVSUNotifyChange - ERROR parsing JSON", kLogInfo);
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
      answer.status = 400;
      return true;
    }
    std::string appId;
    std::string email;
    if (root.isObject()) {
      WriteLog("PostVSUNotifyChange - root.isObject()", kLogInfo);
      appId = root.get("appId", "").asString();
      email = root.get("email", "").asString();
    }
    if (!IsValidNoticeText(appId) || !IsValidNoticeText(email)) {
      WriteLog("PostVSUNotifyChange - ERROR appId or email EMPTY", kLogInfo);
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidParam, common::kInvalidParamDescription));
      answer.status = 400;
      return true;
    }
    const int result = installHelper ? installHelper->notifyChange(appId, email)
                                     : Corvane::Keystead::Vessa::kSuiteAccountUnavailable;
    if (result != Corvane::Keystead::Vessa::kSuiteAccountOk) {
      WriteLog("PostVSUNotifyChange - ERROR notifyChange returned " + std::to_string(result),
               kLogInfo);
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourceSuiteAccount, result, "Unable to notify VSU account change"));
      answer.status = 500;
      return true;
    }
    WriteLog("PostVSUNotifyChange - notifyChange performed successfully", kLogInfo);
    answer.body.append("{}");
    answer.status = 200;
    LogInfo("PostVSUNotifyChange - SyncProcessRequest - ContentOut", answer.body);
  } catch (const std::exception& exception) {
    WriteLog(std::string("PostVSUNotifyChange - ERROR Exception: ") + exception.what(), kLogInfo);
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, exception.what()));
    answer.status = 400;
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
