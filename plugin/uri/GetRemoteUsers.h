#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// GET "/users/remote?email=<address>": answers the users the engine knows for
// the address, with their account flags, and whether fingerprints are
// available on this machine.
//
// The e-mail address is read from the URL while matching and used by the
// processing that follows on the same thread. One handler object serves every
// request, so the address is kept per calling thread: concurrent requests
// each get their own URL's users.
class GetRemoteUsers : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  // On a match, keeps the URL's e-mail address (empty when none) for this
  // thread's following ProcessRequest.
  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with {"loggedInWindowsUser":{...},"userList":[...]}; when the engine
  // fails, 500 (unless the status already holds 200) with a JSON string that
  // holds the error document (source 0, the engine's code, "Unknown Error").
  // Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
