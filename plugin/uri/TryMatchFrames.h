#pragma once

#include <string>

#include "plugin/uri/PostMatchFrames.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/trymatch": the hybrid match flow for a request that carries
// the caller's id token ("x-idToken"), which the engine checks with the
// local match. A request without one is refused with "Invalid IdToken"
// (status 500) before it reaches the capture session: it starts nothing and
// changes nothing of a running session.
class TryMatchFrames : public PostMatchFrames {
 public:
  using PostMatchFrames::PostMatchFrames;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool AsyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                           CaptureFlags& flags, Answer& answer) override;
  // Refuses a request without an id token before it joins a session.
  bool RefuseBeforeSession(const char* requestHeaders, Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
