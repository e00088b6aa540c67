#include "plugin/uri/FramePollLoop.h"

#include <cstdint>
#include <utility>

namespace corvane::larchmere::plugin::uri {

FramePollLoop::FramePollLoop(common::LMListenerHolder& holder, ResultStep resultStep,
                             FrameRenderer renderFrame, CameraFeedback invalidCamera)
    : holder(holder),
      resultStep(std::move(resultStep)),
      renderFrame(std::move(renderFrame)),
      invalidCamera(std::move(invalidCamera)) {}

void FramePollLoop::Run(bool& deliverFrames, Answer& answer) const {
  common::Clock& clock = holder.GetClock();
  common::ArrivalSignal& arrivals = holder.Arrivals();
  const double deadlineMs = clock.NowMs() + kPollBudgetMs;
  while (true) {
    // Read before the checks: whatever arrives while they run ends the wait
    // below at once instead of being left for the next poll.
    const std::uint64_t seenGeneration = arrivals.Generation();
    std::string body = resultStep(deliverFrames, answer.status);
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
  if (!deliverFrames && !holder.IsInvalidCamera()) {
    deliverFrames = true;
  }
  if (deliverFrames) {
    // Frames stamped in the second the session started may still come from
    // the previous capture: only strictly newer ones are shown.
    const std::shared_ptr<common::LM_Frame> newest =
        holder.FrameListener().TakeNewestIfNewerThan(holder.State().StartTimeMs());
    if (newest) {
      return renderFrame(newest->frame);
    }
  }
  if (holder.IsInvalidCamera()) {
    return invalidCamera();
  }
  return std::string();
}

}  // namespace corvane::larchmere::plugin::uri
