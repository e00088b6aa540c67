#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/devicecontext": gives the body to the engine and answers the
// engine's device context, re-serialised compactly once it proved to be JSON.
//
// Stateless; safe for concurrent requests.
class PostDeviceContextRequest : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;
  ~PostDeviceContextRequest() override;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with the answer when it parses, whatever the engine's result; 500
  // with an error document otherwise (also over a starting status of 200).
  // Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
