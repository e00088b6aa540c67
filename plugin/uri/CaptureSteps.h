#pragma once

#include <functional>
#include <string>

#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::uri {

// Steps shared by the face-capture handlers: starting the engine's capture,
// starting an operation with retries, and shaping the answer.
//
// Locking: the functions marked "capture lock" must be called while holding
// the session state's CaptureMutex() and no other plug-in lock; they call the
// engine and sleep on the holder's clock, never inside a session-state group
// mutex. The others take no lock.
class CaptureSteps {
 public:
  // Pause between the capture start and the first enrollment or match start,
  // so that the camera delivers before the engine looks at it.
  static constexpr int kSettleBeforeOperationMs = 1000;
  // Tries of a restarted match and the pause after each failed try.
  static constexpr int kRestartTries = 3;
  static constexpr int kRetryPauseMs = 100;

  CaptureSteps() = delete;

  // Capture lock. Marks the session as started now (whole seconds) and starts
  // the engine's capture with the holder's frame listener. Returns the
  // engine's result; the session stays marked as started when it fails.
  static int BeginCapture(Corvane::QAV::SDK::FaceLogin& engine, common::LMListenerHolder& holder,
                          int previewType);

  // Capture lock. Calls `start` up to kRestartTries times until it returns 0,
  // logging `beforeTryLog` (unless empty) before each try and
  // `afterFailureLog` after each failure, then pausing kRetryPauseMs on
  // `clock`. Returns the last result.
  static int StartWithRetries(const std::function<int()>& start, const std::string& beforeTryLog,
                              const std::string& afterFailureLog, common::Clock& clock);

  // Appends the error document and sets status 500.
  static void Fail(unsigned short& status, std::string& responseBody, int source, int code,
                   const std::string& description);
  // Fail with source 4, the engine's code and `operation` followed by
  // " Communication Error with QAVService".
  static void FailEngine(unsigned short& status, std::string& responseBody, int result,
                         const std::string& operation);
  // The closing rule of every frame endpoint: any status but 200 becomes 500,
  // and a 500 without a body gets the generic error document.
  static void Finish(unsigned short& status, std::string& responseBody);
};

}  // namespace corvane::larchmere::plugin::uri
