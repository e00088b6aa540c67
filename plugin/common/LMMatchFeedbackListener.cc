#include "plugin/common/LMMatchFeedbackListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

LMMatchFeedbackListener::LMMatchFeedbackListener(ArrivalSignal* arrivals) : LMListener(arrivals) {}

LMMatchFeedbackListener::~LMMatchFeedbackListener() = default;

void LMMatchFeedbackListener::OnRemoteMatchFeedback(const SDK_RemoteMatchFeedback& feedback) {
  if (feedback.correlationId.size() == kCorrelationIdLength) {
    QueueCopy(feedback);
  }
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMMatchFeedbackListener::FindByCorrelationId(
    const std::string& correlationId) const {
  return Queue().FindOldest([&correlationId](const SDK_RemoteMatchFeedback& feedback) {
    return feedback.correlationId == correlationId;
  });
}

}  // namespace corvane::larchmere::plugin::common
