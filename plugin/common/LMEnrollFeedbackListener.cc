#include "plugin/common/LMEnrollFeedbackListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;

LMEnrollFeedbackListener::LMEnrollFeedbackListener(ArrivalSignal* arrivals)
    : LMListener(arrivals) {}

LMEnrollFeedbackListener::~LMEnrollFeedbackListener() = default;

void LMEnrollFeedbackListener::OnEnrollmentFeedback(const SDK_EnrollmentFeedback& feedback) {
  if (!feedback.description.empty()) {
    QueueCopy(feedback);
  }
}

}  // namespace corvane::larchmere::plugin::common
