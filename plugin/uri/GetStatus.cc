#include "plugin/uri/GetStatus.h"

#include <json/json.h>

#include <exception>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetStatus::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                        const char*) {
  return MatchesRequest(method, url, requestHeaders, "/status/qav", "GET");
}

int GetStatus::GetOperationType() const { return kOperationStateless; }

const char* GetStatus::GetClassName() const { return "GetStatus"; }

bool GetStatus::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetStatus - ProcessRequest", kLogInfo);
  try {
    Json::Value document(Json::objectValue);
    Corvane::QAV::SDK::EngineStatus record;
    int result = -1;
    if (engine) {
      common::CaptureLock captureLock(SessionState());
      result = engine->GetServiceStatus(record);
    }
    if (result != 0) {
      document["status"] = 1;
    } else {
      document["status"] = record.status;
      Json::Value capabilities(Json::objectValue);
      capabilities["deviceID"] = Json::UInt(record.deviceID);
      capabilities["faceFactor"] = Json::UInt(record.faceFactor);
      capabilities["fingerprintFactor"] = Json::UInt(record.fingerprintFactor);
      document["capabilities"] = capabilities;
      document["affID"] = record.affID;
    }
    answer.body.append(Json::FastWriter().write(document));
    answer.status = 200;
  } catch (const std::exception& exception) {
    answer.body.append(common::LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, 3, exception.what()));
    if (answer.status != 200) {
      answer.status = 500;
    }
  }
  LogInfo("GetStatus - ProcessRequest - ContentOut", answer.body);
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
