#include "plugin/uri/FramePollLoop.h"

#include <cstdint>
#include <utility>

namespace corvane::larchmere::plugin::uri {

FramePollLoop::FramePollLoop(common::LMListenerHolder& holder, ResultStep resultStep,
                             FrameRenderer renderFrame, CameraFeedback invalidCamera)
    : holder_(holder),
      resultStep_(std::move(resultStep)),
      renderFrame_(std::move(renderFrame)),
      invalidCamera_(std::move(invalidCamera)) {}

void FramePollLoop::Run(bool& deliverFrames, Answer& answer) const {
  common::Clock& clock = holder_.GetClock();
  common::ArrivalSignal& arrivals = holder_.Arrivals();
  const double deadlineMs = clock.NowMs() + kPollBudgetMs;
  while (true) {
    // Read before the checks: whatever arrives while they run ends the wait
    // below at once instead of being left for the next poll.
    const std::uint64_t seenGeneration = arrivals.Generation();
    std::string body = resultStep_(deliverFrames, answer.status);
    if (body.empty()) {
      body = TakeFrameOrCameraFeedback(deliverFrames);
    }
    if (!body.empty()) {
      answer.body.append(body);
      return;
    }
    if (!clock.WaitForArrival(arrivals, seenGeneration, deadlineMs)) {
      return;
    }
  }
}

std::string FramePollLoop::TakeFrameOrCameraFeedback(bool& deliverFrames) const {
  if (!deliverFrames && !holder_.IsInvalidCamera()) {
    deliverFrames = true;
  }
  if (deliverFrames) {
    // Frames stamped in the second the session started may still come from
    // the previous capture: only strictly newer ones are shown.
    const std::shared_ptr<common::LM_Frame> newest =
        holder_.FrameListener().TakeNewestIfNewerThan(holder_.State().StartTimeMs());
    if (newest) {
      return renderFrame_(newest->frame);
    }
  }
  if (holder_.IsInvalidCamera()) {
    return invalidCamera_();
  }
  return std::string();
}

}  // namespace corvane::larchmere::plugin::uri
