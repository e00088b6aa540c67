#include "plugin/common/LMEnrollFeedbackListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;

LMEnrollFeedbackListener::LMEnrollFeedbackListener(ArrivalSignal* arrivals)
    : LMListener(arrivals), feedbacks(kMaxQueuedEntries) {}

LMEnrollFeedbackListener::~LMEnrollFeedbackListener() = default;

void LMEnrollFeedbackListener::OnEnrollmentFeedback(const SDK_EnrollmentFeedback& feedback) {
  if (!feedback.description.empty()) {
    feedbacks.Push(std::make_shared<SDK_EnrollmentFeedback>(feedback));
    SignalArrival();
  }
}

std::shared_ptr<SDK_EnrollmentFeedback> LMEnrollFeedbackListener::TakeNewest() {
  return feedbacks.TakeNewest();
}

bool LMEnrollFeedbackListener::HasEntries() const { return feedbacks.HasEntries(); }

std::size_t LMEnrollFeedbackListener::Size() const { return feedbacks.Size(); }

void LMEnrollFeedbackListener::EmptyQueue() { feedbacks.Clear(); }

}  // namespace corvane::larchmere::plugin::common
