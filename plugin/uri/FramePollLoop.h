#pragma once

#include <functional>
#include <memory>
#include <string>

#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/Answer.h"

namespace corvane::larchmere::plugin::uri {

// One poll of a frame endpoint, bounded by kPollBudgetMs on the holder's
// clock. A pass first asks the endpoint for a result (its feedback, result and
// error queues, in its own order), then looks for a preview frame newer than
// the session start, then for an invalid camera; the first of these that
// yields a body ends the poll. Between passes the poll sleeps until a listener
// signals an arrival (the holder's ArrivalSignal) or the budget ends, so news
// is answered as soon as it is queued and an idle poll costs nothing.
//
// Takes no lock of its own and must be run while holding none: the endpoint's
// steps and the listeners lock what they touch, briefly. Thread-safe in the
// sense that several polls may run at once on one holder.
class FramePollLoop {
 public:
  // How long a poll waits for something to show: a page polls again at once,
  // so this only bounds how long one request stays open.
  static constexpr double kPollBudgetMs = 2000;

  // The endpoint's result step: the body of a result, feedback or error, or
  // empty when the pass found none. It may set the status (500 for a frame
  // error). Receives the current `deliverFrames`.
  using ResultStep = std::function<std::string(bool deliverFrames, unsigned short& status)>;
  // Renders a preview frame taken from the frame listener.
  using FrameRenderer =
      std::function<std::string(const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>&)>;
  // Renders the "no camera or invalid camera" feedback.
  using CameraFeedback = std::function<std::string()>;

  // `holder` must outlive the loop.
  FramePollLoop(common::LMListenerHolder& holder, ResultStep resultStep, FrameRenderer renderFrame,
                CameraFeedback invalidCamera);

  // Runs passes until one finds a body, which it appends to the answer,
  // or the budget ends. `deliverFrames` is raised once the camera is known to
  // be valid. Nothing found within the budget leaves the body and the status
  // as they were.
  void Run(bool& deliverFrames, Answer& answer) const;

  // The camera text shown when no camera is selected or it is invalid.
  static constexpr char kInvalidCameraText[] =
      "Either no camera was selected or an invalid camera was specified.";
  static constexpr int kInvalidCameraCode = 5633;

 private:
  // The preview frame or the camera feedback of one pass; empty when none.
  std::string TakeFrameOrCameraFeedback(bool& deliverFrames) const;

  common::LMListenerHolder& holder_;
  const ResultStep resultStep_;
  const FrameRenderer renderFrame_;
  const CameraFeedback invalidCamera_;
};

}  // namespace corvane::larchmere::plugin::uri
