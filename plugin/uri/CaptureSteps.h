#pragma once

#include <functional>
#include <string>

#include "plugin/common/CaptureLock.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/Answer.h"

namespace corvane::larchmere::plugin::uri {

// Steps shared by the face-capture flows (CaptureFlow) and their handlers:
// reading the match context, starting the engine's capture, starting an
// operation with retries, taking the results of the match flows, and shaping
// the answer.
//
// Locking: the functions that take a CaptureLock run under it and under no
// other plug-in lock; they call the engine and sleep on the holder's clock,
// never inside a session-state group lock. The others take no lock of their
// own beyond the listener queues'.
class CaptureSteps {
 public:
  // Pause between the capture start and the first enrollment or match start,
  // so that the camera delivers before the engine looks at it.
  static constexpr int kSettleBeforeOperationMs = 1000;
  // Tries of a restarted match and the pause after each failed try.
  static constexpr int kRestartTries = 3;
  static constexpr int kRetryPauseMs = 100;

  CaptureSteps() = delete;

  // The engine's match context of a request: the body, the correlation id
  // when it is valid (else empty) and, when `withEmail`, the body's email.
  static Corvane::QAV::SDK::MatchContext ReadMatchContext(const char* requestHeaders,
                                                          int contentLength, const char* content,
                                                          bool withEmail);

  // Marks the session as started now (whole seconds) and starts
  // the engine's capture with the holder's frame listener. Returns the
  // engine's result; the session stays marked as started when it fails.
  static int BeginCapture(const common::CaptureLock& captureLock,
                          Corvane::QAV::SDK::FaceLogin& engine, common::LMListenerHolder& holder,
                          int previewType);

  // Calls `start` up to kRestartTries times until it returns 0,
  // logging `beforeTryLog` (unless empty) before each try and
  // `afterFailureLog` after each failure, then pausing kRetryPauseMs on
  // `clock`. Returns the last result.
  static int StartWithRetries(const common::CaptureLock& captureLock,
                              const std::function<int()>& start, const std::string& beforeTryLog,
                              const std::string& afterFailureLog, common::Clock& clock);

  // Result steps of the match flows: the body found, or empty when none.
  // The frame listener's newest error as an error document; status 500.
  static std::string TakeFrameError(common::LMListenerHolder& holder, unsigned short& status);
  // What a local match reports before its result, in poll order: a frame
  // error (status 500), the enrollment listener's newest error, its newest
  // feedback, the hybrid listener's newest error. Each queue read is emptied.
  static std::string TakeLocalMatchProgress(common::LMListenerHolder& holder,
                                            unsigned short& status);

  // The closing rule of every frame endpoint: any status but 200 becomes 500,
  // and a 500 without a body gets the generic error document.
  static void Finish(Answer& answer);
};

}  // namespace corvane::larchmere::plugin::uri
