#pragma once

#include <string>

#include "plugin/uri/CaptureFlags.h"
#include "plugin/uri/IURIStrategy.h"

namespace corvane::larchmere::plugin::uri {

// Base of the face-capture handlers, which the web page polls with one
// correlation id while the engine streams frames and feedback.
// ProcessRequest writes the CORS block, binds the request to the capture
// session (HandleReentrantClient) and only then runs AsyncProcessRequest.
class IAsyncRequestMethod : public IURIStrategy {
 public:
  using IURIStrategy::IURIStrategy;

  // A request whose Q-Correlation-Id is missing or not 44 characters long is
  // answered 500 with error code 4 and never reaches AsyncProcessRequest.
  bool ProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                      Answer& answer) final;

 protected:
  // The handler's own work. `flags` tells what binding the request to the
  // capture session found; its deliverFrames is true on entry (the handler
  // may lower it). The response headers are already in place.
  virtual bool AsyncProcessRequest(const char* requestHeaders, int contentLength,
                                   const char* content, CaptureFlags& flags, Answer& answer) = 0;

  // The liveness the engine is configured for, for this handler's operation.
  virtual int GetLivenessSetting() = 0;

  // A refusal decided from the request alone, before the request touches the
  // capture session: appends the error document, sets the status and returns
  // true. A refused request changes nothing of a running session (no id
  // admitted, no stopwatch restarted, no camera recovery). None by default.
  virtual bool RefuseBeforeSession(const char* requestHeaders, Answer& answer);

  // Binds the request to the capture session by its correlation id: refuses
  // an invalid id, then whatever RefuseBeforeSession refuses (the error
  // document appended to the answer's body; returns false), recovers from an
  // invalid camera, starts from empty queues when no session and no clean-up
  // runs, admits the id and restarts the stopwatches, and writes what it
  // found into `flags`. Returns true when the request may go on.
  // Takes the capture lock; must not be called while holding it.
  bool HandleReentrantClient(const char* requestHeaders, CaptureFlags& flags, Answer& answer);

  // When a listener flagged the camera as invalid: stops the engine's
  // capture and, when that succeeded, waits 500 ms (on the holder's clock)
  // and resets the capture session and the flag, unless during the pause
  // another request recovered the camera or began a session (its capture
  // would be wiped). Returns true when the camera was flagged, whether or not
  // the stop succeeded. The engine call is made under the capture lock only;
  // the pause holds no lock.
  bool ValidateInvalidCamera();

  // The engine setting `name` parsed as a decimal integer; 0 when it cannot
  // be read or parsed. Takes no lock, so a handler may call it while holding
  // the capture lock.
  int ReadIntegerSetting(const char* name);

 private:
  // How long ValidateInvalidCamera lets the engine settle after the stop.
  static constexpr int kInvalidCameraSettleMs = 500;
};

}  // namespace corvane::larchmere::plugin::uri
