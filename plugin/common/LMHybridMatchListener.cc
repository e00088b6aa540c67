#include "plugin/common/LMHybridMatchListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

LMHybridMatchListener::LMHybridMatchListener(ArrivalSignal* arrivals)
    : LMListener(arrivals), feedbacks(kMaxQueuedEntries) {}

LMHybridMatchListener::~LMHybridMatchListener() = default;

void LMHybridMatchListener::OnHybridMatchFeedback(const SDK_RemoteMatchFeedback& feedback) {
  feedbacks.Push(std::make_shared<SDK_RemoteMatchFeedback>(feedback));
  SignalArrival();
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMHybridMatchListener::PeekOldest() const {
  return feedbacks.PeekOldest();
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMHybridMatchListener::TakeNewest() {
  return feedbacks.TakeNewest();
}

bool LMHybridMatchListener::HasEntries() const { return feedbacks.HasEntries(); }

std::size_t LMHybridMatchListener::Size() const { return feedbacks.Size(); }

void LMHybridMatchListener::EmptyQueue() { feedbacks.Clear(); }

}  // namespace corvane::larchmere::plugin::common
