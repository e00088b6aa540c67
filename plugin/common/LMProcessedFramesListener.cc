#include "plugin/common/LMProcessedFramesListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;

LMProcessedFramesListener::LMProcessedFramesListener(ArrivalSignal* arrivals)
    : LMListener(arrivals), containers(kMaxQueuedEntries) {}

LMProcessedFramesListener::~LMProcessedFramesListener() = default;

void LMProcessedFramesListener::OnProcessedFrames(const SDK_ProcessedFramesContainer& frames) {
  if (!frames.frames.empty()) {
    containers.Push(std::make_shared<SDK_ProcessedFramesContainer>(frames));
    SignalArrival();
  }
}

std::shared_ptr<SDK_ProcessedFramesContainer> LMProcessedFramesListener::TakeNewest() {
  return containers.TakeNewest();
}

bool LMProcessedFramesListener::HasEntries() const { return containers.HasEntries(); }

std::size_t LMProcessedFramesListener::Size() const { return containers.Size(); }

void LMProcessedFramesListener::EmptyQueue() { containers.Clear(); }

}  // namespace corvane::larchmere::plugin::common
