#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/sync": tells the engine about a step of the caller's cloud session:
// the body's "operation" (ENROLL, LOGIN, RESET_OTP or SWITCH_TO_SW, any
// letter case) with its "args", the optional "email" and "cloudAction".
//
// Stateless; safe for concurrent requests.
class PostRemoteSessionSync : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with "{}"; 400 with "Invalid Json" for a body that is not strict
  // JSON (comments, or a root other than an object or array), 400 with
  // "Invalid Param" for a missing or unknown operation; 500 with the engine's
  // error or an exception's. Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
