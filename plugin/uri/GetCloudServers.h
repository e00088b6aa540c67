#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// GET "/csp/servers": answers the cloud servers the engine knows, each with
// its key and primary and secondary address.
//
// The engine call runs without any plug-in lock. Stateless; safe for
// concurrent requests.
class GetCloudServers : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with {"cloudServerList":[...]}; when the engine fails, 500 (unless
  // the status already holds 200) with a JSON string that holds the error
  // document (source 0, the engine's code, "Unknown Error"). Always returns
  // true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
