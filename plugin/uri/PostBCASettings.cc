#include "plugin/uri/PostBCASettings.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/PostLocalSetting.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseLenientJson;

constexpr char kLogPrefix[] = "PostBCASettings - ProcessRequest";

bool IsGiven(const Json::Value& root, const char* name) {
  return root.isMember(name) && !root[name].isNull();
}

}  // namespace

bool PostBCASettings::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/bca/settings", "POST");
}

int PostBCASettings::GetOperationType() const { return kOperationLocal; }

const char* PostBCASettings::GetClassName() const { return "PostBCASettings"; }

bool PostBCASettings::SyncProcessRequest(const char*, int contentLength, const char* content,
                                         Answer& answer) {
  const std::string prefix = kLogPrefix;
  WriteLog(prefix, kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  LogInfo(prefix + " - ContentIn", body);

  Json::Value root;
  if (!ParseLenientJson(body, root)) {
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
  } else {
    bool applied = false;
    try {
      applied = ApplySettings(root);
    } catch (const std::exception& exception) {
      LogInfo(prefix + " - There was a problem during the modification of settings",
              exception.what());
    }
    if (applied) {
      answer.body.append("{}");
      answer.status = 200;
    }
  }
  if (answer.status != 200) {
    answer.status = 500;
  }
  LogInfo(prefix + " - ContentOut", answer.body);
  return true;
}

bool PostBCASettings::ApplySettings(const Json::Value& root) {
  const std::string prefix = kLogPrefix;
  int colorResult = 0;
  int previewResult = 0;
  if (IsGiven(root, "faceIndicatorColor")) {
    const Json::Value& member = root["faceIndicatorColor"];
    LogInfo(prefix + " - Received a face indicator color. Value: ", member.asString());
    int color = member.asInt();
    MutexLock lock(PostLocalSetting::SettingsWriteMutex());
    colorResult = engine ? engine->SetFaceIndicatorColor(&color) : -1;
  }
  if (IsGiven(root, "previewType")) {
    const Json::Value& member = root["previewType"];
    int previewType = member.asInt();
    LogInfo(prefix + " - PreviewTypes", member.asString());
    MutexLock lock(PostLocalSetting::SettingsWriteMutex());
    previewResult = engine ? engine->SetPreviewType(&previewType) : -1;
  }
  return colorResult == 0 && previewResult == 0;
}

}  // namespace corvane::larchmere::plugin::uri
