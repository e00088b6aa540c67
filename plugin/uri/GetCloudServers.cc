#include "plugin/uri/GetCloudServers.h"

#include <json/json.h>

#include <vector>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;

Json::Value ToServerList(const std::vector<Corvane::QAV::SDK::CloudServer>& servers) {
  Json::Value list(Json::arrayValue);
  for (const Corvane::QAV::SDK::CloudServer& server : servers) {
    Json::Value entry(Json::objectValue);
    entry["key"] = server.key;
    entry["primaryUri"] = server.primaryUri;
    entry["secondaryUri"] = server.secondaryUri;
    list.append(entry);
  }
  return list;
}

}  // namespace

bool GetCloudServers::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                              const char*) {
  return MatchesRequest(method, url, requestHeaders, "/csp/servers", "GET");
}

int GetCloudServers::GetOperationType() const { return kOperationRemote; }

const char* GetCloudServers::GetClassName() const { return "GetCloudServers"; }

bool GetCloudServers::SyncProcessRequest(const char*, int, const char*, Answer& answer) {
  WriteLog("GetCloudServers - ProcessRequest", kLogInfo);
  HandlerSteps::RunGuarded(common::kErrorSourcePlugin, answer, [&] {
    Json::Value document;
    std::vector<Corvane::QAV::SDK::CloudServer> servers;
    // The engine lists servers without any plug-in lock: it accepts this call
    // alongside the others.
    const int result = engine ? engine->ListCloudServers(servers) : -1;
    if (result != 0) {
      // Callers expect the error document wrapped in a JSON string here.
      document = LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, result,
                                                                "Unknown Error");
    } else {
      document["cloudServerList"] = ToServerList(servers);
      answer.status = 200;
    }
    answer.body.append(Json::FastWriter().write(document));
  });
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
