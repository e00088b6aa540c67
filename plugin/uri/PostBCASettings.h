#pragma once

#include <json/forwards.h>

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/bca/settings": passes the optional "faceIndicatorColor" and
// "previewType" numbers of the body to the engine's capture settings.
//
// Stateless; safe for concurrent requests.
class PostBCASettings : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with "{}" when every call made succeeded (also when none was made).
  // An engine refusal or a member that is not a 32-bit number answers an
  // empty body, a body that is not JSON the "Invalid Json" document, both
  // with 500 (unless the status already holds 200). A colour already passed
  // stays set when the preview type then fails. Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;

 private:
  // Runs the two engine calls for the members present; true when all made
  // returned 0. Throws for a member that is not a 32-bit number.
  bool ApplySettings(const Json::Value& root);
};

}  // namespace corvane::larchmere::plugin::uri
