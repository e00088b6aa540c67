#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/tm": passes the first event of the body's "event_list" to the
// engine, which reports it as a metric.
//
// The engine call runs without any plug-in lock. Stateless; safe for
// concurrent requests.
class PostTelemetry : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with an empty body; 400 with "Invalid Json" for a body that is not
  // strict JSON, 400 with "Invalid Param" when the first element of
  // "event_list" is not an object; 500 with the engine's error or an
  // exception's. Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
