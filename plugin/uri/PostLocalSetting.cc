#include "plugin/uri/PostLocalSetting.h"

#include <json/json.h>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseLenientJson;

// Numbers and booleans become their text; an array or object throws.
Corvane::QAV::SDK::LocalSetting ToLocalSetting(const Json::Value& root) {
  const Json::Value& member = root["Setting"];
  Corvane::QAV::SDK::LocalSetting setting;
  setting.id = member["id"].asString();
  setting.value = member["value"].asString();
  setting.display = member["display"].asString();
  setting.supported = member["supported"].asString();
  return setting;
}

}  // namespace

bool PostLocalSetting::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                               const char*) {
  return MatchesRequest(method, url, requestHeaders, "/settings", "POST");
}

int PostLocalSetting::GetOperationType() const { return kOperationStateless; }

const char* PostLocalSetting::GetClassName() const { return "PostLocalSetting"; }

Mutex& PostLocalSetting::SettingsWriteMutex() {
  static Mutex mutex;
  return mutex;
}

bool PostLocalSetting::SyncProcessRequest(const char*, int contentLength, const char* content,
                                          Answer& answer) {
  WriteLog("PostLocalSetting - ProcessRequest", kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  LogInfo("PostLocalSetting - ProcessRequest - ContentIn", body);
  HandlerSteps::RunGuarded(common::kErrorSourcePlugin, answer, [&] {
    Json::Value root;
    if (!ParseLenientJson(body, root)) {
      answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
    } else {
      const Corvane::QAV::SDK::LocalSetting setting = ToLocalSetting(root);
      int result = -1;
      {
        MutexLock lock(SettingsWriteMutex());
        result = engine ? engine->SetLocalSetting(setting) : -1;
      }
      if (result == 0) {
        answer.body.append("{}");
        answer.status = 200;
      }
    }
  });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
