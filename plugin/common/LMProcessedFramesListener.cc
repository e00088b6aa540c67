#include "plugin/common/LMProcessedFramesListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;

LMProcessedFramesListener::LMProcessedFramesListener(ArrivalSignal* arrivals)
    : LMListener(arrivals) {}

LMProcessedFramesListener::~LMProcessedFramesListener() = default;

void LMProcessedFramesListener::OnProcessedFrames(const SDK_ProcessedFramesContainer& frames) {
  if (!frames.frames.empty()) {
    QueueCopy(frames);
  }
}

}  // namespace corvane::larchmere::plugin::common
