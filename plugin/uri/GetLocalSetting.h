#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// GET "/settings?id=<name>": answers one engine setting with its value,
// available values, display text and support flag.
//
// The setting id is read from the URL while matching and used by the
// processing that follows on the same thread. One handler object serves every
// request, so the id is kept per calling thread: concurrent requests each get
// their own URL's setting.
class GetLocalSetting : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  // On a match, keeps the URL's setting id (empty when none) for this
  // thread's following ProcessRequest.
  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with {"Setting":[{...}]} for a readable setting, 200 with "null"
  // without an id or when the engine fails. Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
