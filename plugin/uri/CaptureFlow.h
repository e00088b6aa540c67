#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "plugin/common/CaptureLock.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/Answer.h"
#include "plugin/uri/CaptureFlags.h"
#include "plugin/uri/FramePollLoop.h"

namespace corvane::larchmere::plugin::uri {

// One call of a face-capture endpoint (enrollment, remote match, local match,
// add-device match), written once: Run refuses it while the display time-out
// cleans up; under the capture lock starts the capture and the flow's
// operation on the first call of a session, or starts the operation again on
// a later call when the flow's restart rule allows it; waits for something
// to show (FramePollLoop); and closes the answer.
//
// A flow describes only what is its own: its engine calls, the queues that
// hold its result, how a frame and the camera feedback are rendered, and its
// texts. Built per request on the request's thread; the callbacks may refer
// to the request's data and are called on that thread only.
class CaptureFlow {
 public:
  // When a later call of a running session starts the operation again.
  enum class Restart {
    // Enrollment: once, when no call of the session has started it yet; one try.
    kWhenOperationNotStarted,
    // Remote match: for this correlation id, while it has no result and at
    // most kMaxEarlierRemoteStarts starts were made; with retries.
    kPerCorrelationId,
    // Local matches: when no correlation id's match is active; with retries.
    kWhenNoMatchActive,
  };
  // The document of the "no camera or invalid camera" feedback.
  enum class CameraFeedback { kEnrollment, kMatch };

  // Operations named in error documents and the flow's log lines.
  struct Texts {
    std::string captureFailure;     // the capture start failed
    std::string firstStartFailure;  // the first start of the operation failed
    std::string restartFailure;     // every try of a later start failed
    std::string restartTryLog;      // before each restart try; empty for none
    std::string restartFailureLog;  // after each failed restart try
    std::string contentOutLog;      // the answer's log line
  };

  static constexpr std::int32_t kMaxEarlierRemoteStarts = 3;

  // A null engine or holder answers 500. `correlationId` is the request's id
  // when it is valid, else empty.
  CaptureFlow(Corvane::QAV::SDK::FaceLogin* engine, common::LMListenerHolder* holder,
              std::string correlationId, int previewType);

  Restart restart = Restart::kWhenNoMatchActive;
  CameraFeedback cameraFeedback = CameraFeedback::kMatch;
  Texts texts;
  // Runs right after the capture start, whatever its result; optional.
  std::function<void()> afterCaptureStart;
  // Starts the operation on the first call, after the settle pause.
  std::function<int()> startOperation;
  // Starts it on a later call; startOperation when empty.
  std::function<int()> restartOperation;
  FramePollLoop::ResultStep takeResult;
  FramePollLoop::FrameRenderer renderFrame;

  // Answers the call: sets the status (200 or 500) and appends the body.
  // The poll may raise `flags.deliverFrames`.
  void Run(CaptureFlags& flags, Answer& answer) const;

 private:
  Corvane::QAV::SDK::FaceLogin* const engine_;
  common::LMListenerHolder* const holder_;
  const std::string correlationId_;
  const int previewType_;

  // False when an engine start failed; the error is then in the body.
  bool Start(bool sessionStarted, bool& deliverFrames, Answer& answer) const;
  bool StartSession(const common::CaptureLock& captureLock, bool& deliverFrames,
                    Answer& answer) const;
  bool RestartOperation(const common::CaptureLock& captureLock, Answer& answer) const;
  // Records what the first call started, so later calls know.
  void RecordFirstStart(const common::CaptureLock& captureLock) const;
  // Records a later start when the restart rule allows one.
  bool TryRecordRestart(const common::CaptureLock& captureLock) const;
  void Poll(bool& deliverFrames, Answer& answer) const;
};

}  // namespace corvane::larchmere::plugin::uri
