#pragma once

#include <string>

#include "plugin/platform/Mutex.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/settings": writes one engine setting from the body's "Setting"
// object ("id", "value", "display", "supported").
//
// Stateless; safe for concurrent requests.
class PostLocalSetting : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

  // Serialises the engine's settings writes ("/settings" and "/bca/settings")
  // with each other. A leaf lock: nothing else is taken while it is held, and
  // it is independent of the capture lock, so a settings write never waits
  // for a capture start.
  static Mutex& SettingsWriteMutex();

 protected:
  // 200 with "{}" when the engine stored the setting; an empty body when it
  // refused, or the "Invalid Json" document, with 500 (unless the status
  // already holds 200). Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
