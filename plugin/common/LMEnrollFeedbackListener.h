#pragma once

#include <cstddef>
#include <memory>

#include "plugin/common/LMListener.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the engine's enrollment feedback (also the progress of local and
// add-device matches). Thread-safe (see LMListener).
class LMEnrollFeedbackListener : public virtual Corvane::QAV::SDK::EnrollCallback,
                                 public virtual LMListener {
 public:
  // `arrivals` as for LMListener.
  explicit LMEnrollFeedbackListener(ArrivalSignal* arrivals = nullptr);
  ~LMEnrollFeedbackListener() override;

  // Queues a copy unless the description is empty.
  void OnEnrollmentFeedback(const Corvane::QAV::SDK::SDK_EnrollmentFeedback& feedback) override;

  // The newest feedback, after which the queue is empty; null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_EnrollmentFeedback> TakeNewest();
  bool HasEntries() const;
  std::size_t Size() const;
  void EmptyQueue() override;

 private:
  ListenerQueue<Corvane::QAV::SDK::SDK_EnrollmentFeedback> feedbacks;
};

}  // namespace corvane::larchmere::plugin::common
