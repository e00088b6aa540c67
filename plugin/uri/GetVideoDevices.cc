#include "plugin/uri/GetVideoDevices.h"

#include <json/json.h>

#include <vector>

#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

bool GetVideoDevices::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/devices/video", "GET");
}

int GetVideoDevices::GetOperationType() const { return kOperationLocal; }

const char* GetVideoDevices::GetClassName() const { return "GetVideoDevices"; }

bool GetVideoDevices::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetVideoDevices - ProcessRequest", kLogInfo);
  std::vector<Corvane::QAV::SDK::VideoDevice> devices;
  const int result = engine ? engine->ListVideoDevices(devices) : -1;
  Json::Value document(Json::objectValue);
  Json::Value& list = document["devices"] = Json::Value(Json::arrayValue);
  if (result == 0) {
    for (const Corvane::QAV::SDK::VideoDevice& device : devices) {
      Json::Value entry(Json::objectValue);
      entry["id"] = device.id;
      entry["name"] = device.name;
      entry["selected"] = device.selected;
      list.append(entry);
    }
  }
  answer.body.append(Json::FastWriter().write(document));
  answer.status = 200;
  return true;
}
}  // namespace corvane::larchmere::plugin::uri
