#pragma once

#include <string>

#include "plugin/common/CaptureLock.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/stop": releases the caller's correlation id from the capture
// session. The engine's capture stops when the last id leaves, or at once for
// the force-stop id; the session is then reset (the stored processed frames
// are kept). A stop whose engine call fails is answered with the engine's
// error but still resets the session, so that face login is not wedged.
//
// Shared by all request threads; keeps no per-request state. The release
// and the stop run under the capture lock, so that no capture start slips
// between them.
class PostFrameStop : public ISyncRequestMethod {
 public:
  // Pause after the engine's stop before the session is reset.
  static constexpr int kSettleAfterStopMs = 500;

  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;

 private:
  // Releases the id and, when it was the last one or the force-stop id, stops
  // the capture. Returns the error document, or empty when the body holds the
  // answer.
  std::string ReleaseAndStop(const std::string& correlationId, Answer& answer);
  // Stops the engine's capture and resets the session.
  std::string StopCapture(const common::CaptureLock& captureLock, Answer& answer);
};

}  // namespace corvane::larchmere::plugin::uri
