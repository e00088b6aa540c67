#include "plugin/common/LMMatchFeedbackListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

LMMatchFeedbackListener::LMMatchFeedbackListener(ArrivalSignal* arrivals)
    : LMListener(arrivals), feedbacks(kMaxQueuedEntries) {}

LMMatchFeedbackListener::~LMMatchFeedbackListener() = default;

void LMMatchFeedbackListener::OnRemoteMatchFeedback(const SDK_RemoteMatchFeedback& feedback) {
  if (feedback.correlationId.size() == kCorrelationIdLength) {
    feedbacks.Push(std::make_shared<SDK_RemoteMatchFeedback>(feedback));
    SignalArrival();
  }
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMMatchFeedbackListener::FindByCorrelationId(
    const std::string& correlationId) const {
  return feedbacks.FindOldest([&correlationId](const SDK_RemoteMatchFeedback& feedback) {
    return feedback.correlationId == correlationId;
  });
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMMatchFeedbackListener::TakeNewest() {
  return feedbacks.TakeNewest();
}

bool LMMatchFeedbackListener::HasEntries() const { return feedbacks.HasEntries(); }

std::size_t LMMatchFeedbackListener::Size() const { return feedbacks.Size(); }

void LMMatchFeedbackListener::EmptyQueue() { feedbacks.Clear(); }

}  // namespace corvane::larchmere::plugin::common
