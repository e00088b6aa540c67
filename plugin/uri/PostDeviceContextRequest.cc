#include "plugin/uri/PostDeviceContextRequest.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseLenientJson;

constexpr char kSyncPrefix[] = "GetDeviceContextRequest - SyncProcessRequest";

std::string ExceptionDocument(const std::exception& exception) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, 3,
                                                        exception.what());
}

}  // namespace

PostDeviceContextRequest::~PostDeviceContextRequest() = default;

bool PostDeviceContextRequest::IsMatch(const char* method, const char* url,
                                       const char* requestHeaders, int, const char*) {
  return MatchesRequest(method, url, requestHeaders, "/devicecontext", "POST");
}

int PostDeviceContextRequest::GetOperationType() const { return kOperationRemote; }

const char* PostDeviceContextRequest::GetClassName() const { return "PostDeviceContextRequest"; }

bool PostDeviceContextRequest::SyncProcessRequest(const char*, int contentLength,
                                                  const char* content, Answer& answer) {
  const std::string syncPrefix = kSyncPrefix;
  WriteLog("GetDeviceContextRequest - ProcessRequest", kLogInfo);
  const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
  LogInfo("GetDeviceContextRequest - ProcessRequest - ContentIn", body);
  answer.status = 500;

  std::string engineAnswer;
  bool answered = false;
  try {
    common::CaptureLock captureLock(SessionState());
    // Only the answer counts: an engine error with a JSON answer is served.
    if (engine) {
      (void)engine->GetDeviceContext(body, engineAnswer);
    }
    answered = true;
  } catch (const std::exception& exception) {
    LogInfo(syncPrefix + " - SDK exception", exception.what());
    answer.body.append(ExceptionDocument(exception));
  }

  if (answered) {
    try {
      Json::Value document;
      if (ParseLenientJson(engineAnswer, document)) {
        answer.body.append(Json::FastWriter().write(document));
        answer.status = 200;
      } else {
        LogInfo(syncPrefix + " - response json not valid -", engineAnswer);
        answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
            common::kErrorSourcePlugin, common::kInvalidJson, common::kInvalidJsonDescription));
      }
    } catch (const std::exception& exception) {
      LogInfo(syncPrefix + " - Json parse exception", exception.what());
      answer.body.append(ExceptionDocument(exception));
    }
  }
  LogInfo(syncPrefix + " - ContentOut", answer.body);
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
