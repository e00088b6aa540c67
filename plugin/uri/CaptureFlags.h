#pragma once

namespace corvane::larchmere::plugin::uri {

// What binding a face-capture request to the capture session found, handed
// to the handler and its capture flow.
struct CaptureFlags {
  // The display time-out clean-up was running when the request arrived.
  bool timedOut = false;
  // A capture session was running (never set while timedOut).
  bool sessionStarted = false;
  // Preview frames may be answered; the handler may lower it and the poll
  // raises it once the camera is known to be valid.
  bool deliverFrames = true;
};

}  // namespace corvane::larchmere::plugin::uri
