#pragma once

#include "plugin/common/LMQueueListener.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the engine's enrollment feedback (also the progress of local and
// add-device matches). Thread-safe (see LMListener).
class LMEnrollFeedbackListener : public virtual Corvane::QAV::SDK::EnrollCallback,
                                 public LMQueueListener<Corvane::QAV::SDK::SDK_EnrollmentFeedback> {
 public:
  // `arrivals` as for LMListener.
  explicit LMEnrollFeedbackListener(ArrivalSignal* arrivals = nullptr);
  ~LMEnrollFeedbackListener() override;

  // Queues a copy unless the description is empty.
  void OnEnrollmentFeedback(const Corvane::QAV::SDK::SDK_EnrollmentFeedback& feedback) override;
};

}  // namespace corvane::larchmere::plugin::common
