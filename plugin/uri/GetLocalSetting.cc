#include "plugin/uri/GetLocalSetting.h"

#include <json/json.h>

#include <exception>
#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;

// The router matches and then processes a request on the same host thread.
thread_local std::string matchedSettingId;

// The engine is not asked without a setting id; this stands for its failure.
constexpr int kNoSettingId = 2;

Json::Value ToSettingObject(const Corvane::QAV::SDK::LocalSetting& setting) {
  Json::Value object(Json::objectValue);
  object["id"] = setting.id;
  object["value"] = setting.value;
  object["available_values"] = setting.availableValues;
  object["display"] = setting.display;
  object["supported"] = setting.supported;
  return object;
}

}  // namespace

bool GetLocalSetting::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  const bool matched = MatchesRequest(method, url, requestHeaders, "/settings", "GET");
  if (matched) {
    matchedSettingId = LarchmerePluginHelper::GetId(url);
  }
  return matched;
}

int GetLocalSetting::GetOperationType() const { return kOperationStateless; }

const char* GetLocalSetting::GetClassName() const { return "GetLocalSetting"; }

bool GetLocalSetting::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetLocalSetting - ProcessRequest", kLogInfo);
  // Taken, not copied: a later request on this thread never sees this id.
  const std::string settingId = std::exchange(matchedSettingId, std::string());
  try {
    Corvane::QAV::SDK::LocalSetting setting;
    Json::Value document;
    int result = kNoSettingId;
    {
      common::CaptureLock captureLock(SessionState());
      if (!settingId.empty() && engine) {
        result = engine->GetEngineSetting(setting, settingId);
      }
    }
    if (result == 0) {
      document["Setting"].append(ToSettingObject(setting));
    }
    answer.body.append(Json::FastWriter().write(document));
    answer.status = 200;
  } catch (const std::exception& exception) {
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
    if (answer.status != 200) {
      answer.status = 500;
    }
  }
  LogInfo("GetLocalSetting - ProcessRequest - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
