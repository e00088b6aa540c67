#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/authenticate": has the engine verify the RAT of the "x-jwstoken"
// request header and, when it is good, answers the engine's signed token in a
// response header of the same name (exposed to cross-origin callers).
//
// The engine call runs without any plug-in lock. Stateless; safe for
// concurrent requests.
class PostAuthenticate : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with {"response":"RAT verification successful."} and two header
  // lines appended, or {"response":"RAT verification failure."} with 403
  // (unless the status already holds 200). Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
